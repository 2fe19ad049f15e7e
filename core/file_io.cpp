#include "core/file_io.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace luckyscope {

// ---------------------------------------------------------------------------
// PieceReader

PieceReader::~PieceReader() { Close(); }

bool PieceReader::Open(const char* path) {
  Close();
  if (path == nullptr || path[0] == '\0') return false;
  // O_NONBLOCK keeps the open of a pipe from waiting for a writer; such a name is
  // refused just below anyway.
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  fd_ = fd;
  pos_ = len_ = 0;
  atEnd_ = false;
  return true;
}

void PieceReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pos_ = len_ = 0;
  atEnd_ = true;
}

bool PieceReader::Fill() {
  if (atEnd_ || fd_ < 0) return false;
  for (;;) {
    ssize_t n = ::read(fd_, buf_, sizeof buf_);
    if (n > 0) {
      pos_ = 0;
      len_ = static_cast<std::size_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    atEnd_ = true;
    return false;
  }
}

int PieceReader::PeekByte() {
  if (pos_ == len_ && !Fill()) return -1;
  return static_cast<unsigned char>(buf_[pos_]);
}

int PieceReader::NextByte() {
  int c = PeekByte();
  if (c >= 0) ++pos_;
  return c;
}

int PieceReader::ReadPiece(char (&out)[kLineBufferSize]) {
  int n = 0;
  while (n < kPieceLimit) {
    int c = NextByte();
    if (c < 0) break;
    if (c == '\r' && PeekByte() == '\n') c = NextByte();
    out[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  out[n] = '\0';
  return n;
}

int StripLineFeeds(char* buffer, int length) {
  for (int i = 0; i < length; ++i) {
    if (buffer[i] == '\n') buffer[i] = '\0';
  }
  return 0;
}

int ReadStrippedLine(PieceReader& reader, char (&line)[kLineBufferSize]) {
  int n = reader.ReadPiece(line);
  StripLineFeeds(line, n);
  return n;
}

// ---------------------------------------------------------------------------
// SafeFileWriter

namespace {

constexpr char kTempPattern[] = ".luckyscope-save-XXXXXX";

mode_t CurrentUmask() {
  // umask can only be read by setting it; the program has one thread.
  mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The folder part of a path: "." for a bare name, "/" for a name in the root.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Follows the symbolic links of `path` the way open() would under the kernel's link
// protection: a link in a sticky, world-writable folder (/tmp) is followed only when
// the user or the folder's owner owns it, so that a link another user planted there
// cannot turn a save into the replacement of some other file. A link to nowhere gives
// the name it points at, which the save then creates. 0 with the name to write in
// `out`, or the error number of the refusal.
int FollowLinks(const std::string& path, std::string& out) {
  std::string current = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat link {};
    if (::lstat(current.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
      out = current;
      return 0;
    }
    const std::string folder = FolderOf(current);
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0) return errno;
    const bool shared = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
    if (shared && link.st_uid != ::geteuid() && link.st_uid != dir.st_uid) return ELOOP;
    std::string dest(PATH_MAX, '\0');
    const ssize_t n = ::readlink(current.c_str(), dest.data(), dest.size());
    if (n < 0) return errno;
    if (static_cast<std::size_t>(n) >= dest.size()) return ENAMETOOLONG;
    dest.resize(static_cast<std::size_t>(n));
    current = dest[0] == '/' ? dest : folder + "/" + dest;
  }
  return ELOOP;
}

// Temporary files of a save that never finished (the program was killed, the machine
// went down) are removed at the next save in their folder: only names of our own
// pattern, only regular files of this user, and only when a minute old, so that a
// save running right now in another copy keeps its file.
void RemoveStaleTemporaries(const std::string& folder) {
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return;
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    ::close(dirFd);
    return;
  }
  constexpr std::size_t kPrefix = sizeof kTempPattern - 1 - 6;  // without "XXXXXX"
  const time_t now = ::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (std::strncmp(name, kTempPattern, kPrefix) != 0 || std::strlen(name) != kPrefix + 6) continue;
    bool ours = true;
    for (std::size_t i = kPrefix; i < kPrefix + 6; ++i)
      ours = ours && std::isalnum(static_cast<unsigned char>(name[i]));
    struct stat st {};
    if (!ours || ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_mtime + 60 < now) ::unlinkat(dirFd, name, 0);
  }
  ::closedir(dir);
}

}  // namespace

SafeFileWriter::~SafeFileWriter() { Abort(); }

bool SafeFileWriter::Open(const char* path) {
  Abort();
  steps_ = 0;
  failed_ = false;
  used_ = 0;
  error_ = 0;
  inPlace_ = false;
  content_.clear();
  if (path == nullptr || path[0] == '\0') return Refuse(ENOENT);

  // A symbolic link keeps pointing at the file it names: the file behind it is the
  // one written.
  if (int refused = FollowLinks(path, target_); refused != 0) return Refuse(refused);

  std::size_t slash = target_.find_last_of('/');
  std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  if (name.empty()) return Refuse(EISDIR);  // "folder/" names no file
  folder_ = FolderOf(target_);

  struct stat st {};
  bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return Refuse(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    // A file the user made read-only is not replaced behind their back.
    if (::access(target_.c_str(), W_OK) != 0) return Refuse(errno);
  } else if (errno != ENOENT) {
    return Refuse(errno);
  }

  RemoveStaleTemporaries(folder_);

  // A file with other names (hard links) or of another owner would lose them, or its
  // owner, if a new file took its name: it is written in place. So is a file whose
  // folder takes no new file (no right to write there, another user's file in /tmp).
  const bool replaceable = !exists || (st.st_nlink <= 1 && st.st_uid == ::geteuid());
  if (replaceable) {
    temp_ = folder_ == "/" ? std::string("/") + kTempPattern : folder_ + "/" + kTempPattern;
    int fd = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd >= 0) {
      fd_ = fd;
      // New files get rw-rw-rw- less the umask, as any program makes them; a replaced
      // file keeps its mode and, where the system lets us, its group.
      mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
      ::fchmod(fd_, mode);
      if (exists && st.st_gid != ::getegid() && ::fchown(fd_, st.st_uid, st.st_gid) != 0) errno = 0;
      return true;
    }
    const int made = errno;
    temp_.clear();
    if (!exists) return Refuse(made);
  }

  // In place: opened without O_CREAT (which the kernel refuses for another user's
  // file in a sticky folder) and without truncating; Commit() reserves the new size
  // before it overwrites a byte.
  int fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return Refuse(errno);
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    ::close(fd);
    return Refuse(EINVAL);
  }
  fd_ = fd;
  inPlace_ = true;
  return true;
}

bool SafeFileWriter::Step() {
  if (failed_ || fd_ < 0) {
    failed_ = true;
    return false;
  }
  ++steps_;
  if (fault_ != nullptr && fault_->failAtStep > 0 && steps_ == fault_->failAtStep) {
    errno = ENOSPC;
    error_ = ENOSPC;
    failed_ = true;
    return false;
  }
  return true;
}

bool SafeFileWriter::Flush() {
  if (inPlace_) {
    content_.append(buf_, used_);
    used_ = 0;
    return !failed_;
  }
  if (used_ > 0 && !WriteAll(fd_, buf_, used_)) {
    if (error_ == 0) error_ = errno;
    failed_ = true;
  }
  used_ = 0;
  return !failed_;
}

bool SafeFileWriter::Append(const char* data, std::size_t size) {
  while (size > 0) {
    if (used_ == sizeof buf_ && !Flush()) return false;
    std::size_t room = sizeof buf_ - used_;
    std::size_t n = size < room ? size : room;
    std::memcpy(buf_ + used_, data, n);
    used_ += n;
    data += n;
    size -= n;
  }
  return true;
}

bool SafeFileWriter::WriteLine(const char* text) {
  return Step() && Append(text, std::strlen(text)) && Append("\r\n", 2);
}

bool SafeFileWriter::Write(const char* data, std::size_t size) { return Step() && Append(data, size); }

bool SafeFileWriter::Commit() {
  if (!Step() || !Flush()) {
    Abort();
    return false;
  }
  if (inPlace_) return CommitInPlace();
  // Some file systems cannot sync; that is no reason to refuse the save.
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != ENOTSUP) {
    error_ = errno;
    Abort();
    return false;
  }
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 || ::rename(temp_.c_str(), target_.c_str()) != 0) {
    error_ = errno;
    failed_ = true;
    ::unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  temp_.clear();
  // The rename itself is made durable by syncing the folder (best effort).
  int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool SafeFileWriter::CommitInPlace() {
  const off_t size = static_cast<off_t>(content_.size());
  // The whole new size is taken from the disk first: a full disk fails here, while
  // the old bytes are still all there.
  int failure = size > 0 ? ::posix_fallocate(fd_, 0, size) : 0;
  if (failure == EOPNOTSUPP || failure == ENOSYS) failure = 0;
  if (failure == 0) {
    const char* data = content_.data();
    std::size_t left = content_.size();
    off_t at = 0;
    while (failure == 0 && left > 0) {
      const ssize_t n = ::pwrite(fd_, data, left, at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        failure = n < 0 ? errno : ENOSPC;
        break;
      }
      data += n;
      at += n;
      left -= static_cast<std::size_t>(n);
    }
  }
  if (failure == 0 && ::ftruncate(fd_, size) != 0) failure = errno;
  if (failure == 0 && ::fsync(fd_) != 0 && errno != EINVAL && errno != ENOTSUP) failure = errno;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && failure == 0) failure = errno;
  content_.clear();
  if (failure != 0) {
    error_ = failure;
    failed_ = true;
    return false;
  }
  return true;
}

bool SafeFileWriter::Refuse(int errorNumber) {
  error_ = errorNumber != 0 ? errorNumber : EIO;
  return false;
}

void SafeFileWriter::Abort() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  failed_ = true;
  used_ = 0;
  content_.clear();
}

}  // namespace luckyscope
