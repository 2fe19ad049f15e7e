#include "core/file_io.h"

#include <algorithm>
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
#include <utility>
#include <vector>

namespace luckyscope {

int OpenRegularFile(const char* path, struct stat* info) {
  if (path == nullptr || path[0] == '\0') {
    errno = ENOENT;
    return -1;
  }
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  if (info != nullptr) *info = st;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

// ---------------------------------------------------------------------------
// PieceReader

PieceReader::~PieceReader() { Close(); }

bool PieceReader::Open(const char* path) {
  Close();
  struct stat st {};
  const int fd = OpenRegularFile(path, &st);
  if (fd < 0) {
    error_ = errno;
    return false;
  }
  if (st.st_size > kReadLimitBytes) {
    error_ = kRefusedTooLarge;
    ::close(fd);
    return false;
  }
  fd_ = fd;
  owner_ = st.st_uid;
  pos_ = len_ = 0;
  total_ = 0;
  atEnd_ = false;
  return true;
}

void PieceReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pos_ = len_ = 0;
  atEnd_ = true;
  error_ = 0;
}

bool PieceReader::Fill() {
  if (atEnd_ || fd_ < 0) return false;
  for (;;) {
    if (total_ >= kReadLimitBytes) {
      // The file grew past the limit after it was opened.
      error_ = kRefusedTooLarge;
      atEnd_ = true;
      return false;
    }
    ssize_t n = ::read(fd_, buf_, sizeof buf_);
    if (n > 0) {
      pos_ = 0;
      len_ = static_cast<std::size_t>(n);
      total_ += n;
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

bool IsSharedFolder(mode_t folderMode) { return (folderMode & S_ISVTX) != 0 && (folderMode & S_IWOTH) != 0; }

bool MayUseInFolder(uid_t user, uid_t itemOwner, mode_t folderMode, uid_t folderOwner) {
  return !IsSharedFolder(folderMode) || itemOwner == user || itemOwner == folderOwner;
}

int ResolveWritePath(const std::string& path, std::string& out) {
  if (path.empty()) return ENOENT;
  // `done` is the part already walked, free of links ("" is the root, "." the current
  // folder); `todo` the names still to walk, the next one last.
  std::string done = path[0] == '/' ? std::string() : std::string(".");
  std::vector<std::string> todo;
  auto push = [&todo](const std::string& text) {
    std::vector<std::string> names;
    for (std::size_t at = 0; at <= text.size();) {
      std::size_t slash = text.find('/', at);
      if (slash == std::string::npos) slash = text.size();
      if (slash > at) names.push_back(text.substr(at, slash - at));
      at = slash + 1;
    }
    todo.insert(todo.end(), names.rbegin(), names.rend());
  };
  push(path);
  int hops = 0;
  while (!todo.empty()) {
    const std::string name = todo.back();
    todo.pop_back();
    if (name == ".") continue;
    const std::string candidate = done + "/" + name;
    struct stat item {};
    if (::lstat(candidate.c_str(), &item) != 0) {
      // A missing last name is the file a writer creates; a missing folder is an error.
      if (errno != ENOENT || !todo.empty()) return errno;
      done = candidate;
      break;
    }
    if (!S_ISLNK(item.st_mode)) {
      if (!todo.empty() && !S_ISDIR(item.st_mode)) return ENOTDIR;
      done = candidate;
      continue;
    }
    struct stat folder {};
    if (::stat(done.empty() ? "/" : done.c_str(), &folder) != 0) return errno;
    if (!MayUseInFolder(::geteuid(), item.st_uid, folder.st_mode, folder.st_uid)) return kRefusedLink;
    if (++hops > 40) return ELOOP;
    std::string dest(PATH_MAX, '\0');
    const ssize_t n = ::readlink(candidate.c_str(), dest.data(), dest.size());
    if (n < 0) return errno;
    if (static_cast<std::size_t>(n) >= dest.size()) return ENAMETOOLONG;
    dest.resize(static_cast<std::size_t>(n));
    if (dest.empty()) return ENOENT;
    if (dest[0] == '/') done.clear();
    push(dest);
  }
  out = done.empty() ? std::string("/") : done.substr(0, 2) == "./" ? done.substr(2) : done;
  return 0;
}

namespace {

// The shared-folder rule for an existing file about to be written: 0, or the refusal.
int CheckExistingFile(const std::string& target, const struct stat& file) {
  struct stat folder {};
  if (::stat(FolderOf(target).c_str(), &folder) != 0) return errno;
  return MayUseInFolder(::geteuid(), file.st_uid, folder.st_mode, folder.st_uid) ? 0 : kRefusedOthersFile;
}

std::string g_failedSave;      // the path given to the last save that failed in place
std::string g_failedSaveCopy;  // and where the copy of its old content is

}  // namespace

int OpenForAppend(const char* path, int& errorNumber) {
  std::string target;
  errorNumber = ResolveWritePath(path == nullptr ? std::string() : std::string(path), target);
  if (errorNumber != 0) return -1;
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      errorNumber = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
      return -1;
    }
    if ((errorNumber = CheckExistingFile(target, st)) != 0) return -1;
  }
  // O_NONBLOCK keeps a FIFO without a reader from blocking the open; it is refused
  // below like every other name that is not a regular file.
  const int fd =
      ::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    errorNumber = errno;
    return -1;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errorNumber = EINVAL;
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

bool ReadWholeFile(const char* path, std::string& out, long long limit) {
  out.clear();
  if (path == nullptr || path[0] == '\0') return false;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= limit;
  if (ok) {
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < out.size()) {
      const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    ok = got == out.size();
  }
  ::close(fd);
  return ok;
}

bool ExceedsReadLimit(const char* path) {
  struct stat st {};
  return path != nullptr && ::stat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > kReadLimitBytes;
}

std::string UserStateFolder(const char* stateHome, const char* home) {
  if (stateHome != nullptr && stateHome[0] == '/') return std::string(stateHome) + "/luckyscope";
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/luckyscope";
  return {};
}

std::string KeptCopiesFolder() {
  const std::string state = UserStateFolder(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
  return state.empty() ? state : state + "/copies";
}

std::string KeptCopyOfFailedSave(const std::string& path) {
  return path == g_failedSave ? g_failedSaveCopy : std::string();
}

namespace {

// Opens the copies folder, making it (and the folders above it) private to the user
// when missing; -1 unless it is a folder of this user that nobody else may write to.
int OpenCopiesFolder(const std::string& folder) {
  if (folder.empty()) return -1;
  for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
    ::mkdir(folder.substr(0, slash).c_str(), 0700);
  }
  ::mkdir(folder.c_str(), 0700);
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st {};
  if (dirFd < 0 || ::fstat(dirFd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 022) != 0) {
    if (dirFd >= 0) ::close(dirFd);
    return -1;
  }
  return dirFd;
}

// Removes the oldest copies (regular files of this user) beyond the newest `keep`.
void TrimCopies(int dirFd, int keep) {
  const int listFd = ::dup(dirFd);
  DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
  if (dir == nullptr) {
    if (listFd >= 0) ::close(listFd);
    return;
  }
  std::vector<std::pair<std::string, std::string>> copies;  // modification stamp, name
  while (const dirent* entry = ::readdir(dir)) {
    struct stat st {};
    if (entry->d_name[0] == '.' || ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%020lld.%09ld", static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec);
    copies.emplace_back(stamp, entry->d_name);
  }
  ::closedir(dir);
  if (static_cast<int>(copies.size()) <= keep) return;
  std::sort(copies.begin(), copies.end());
  for (std::size_t i = 0; i + static_cast<std::size_t>(keep) < copies.size(); ++i)
    ::unlinkat(dirFd, copies[i].second.c_str(), 0);
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
  keptCopy_.clear();
  g_failedSave.clear();
  g_failedSaveCopy.clear();
  if (path == nullptr || path[0] == '\0') return Refuse(ENOENT);

  given_ = path;
  if (given_.back() == '/') return Refuse(EISDIR);  // "folder/" names no file
  // A symbolic link keeps pointing at the file it names: the file behind it is the
  // one written, where the shared-folder rule lets the link be followed.
  if (int refused = ResolveWritePath(given_, target_); refused != 0) return Refuse(refused);
  folder_ = FolderOf(target_);

  struct stat st {};
  bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return Refuse(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    // Another user's file in /tmp would hand them the user's tickets: refused, as the
    // kernel's protected_regular=2 refuses it.
    if (int refused = CheckExistingFile(target_, st); refused != 0) return Refuse(refused);
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

void SafeFileWriter::KeepCopyOfOldContent() {
  const int dirFd = OpenCopiesFolder(KeptCopiesFolder());
  if (dirFd < 0) return;
  const int from = ::open(target_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat old {
  }, writing{};
  if (from < 0 || ::fstat(from, &old) != 0 || ::fstat(fd_, &writing) != 0 || old.st_ino != writing.st_ino ||
      old.st_dev != writing.st_dev) {
    if (from >= 0) ::close(from);
    ::close(dirFd);
    return;
  }
  // <name>.<date-time>[-n]: what it was and when, in a listing sorted by time.
  const std::size_t slash = target_.find_last_of('/');
  const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  char stamp[64];
  const time_t now = ::time(nullptr);
  struct tm local {};
  ::localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string copyName;
  int to = -1;
  for (int n = 1; to < 0 && n <= 100; ++n) {
    copyName = name;
    copyName.append(".").append(stamp);
    if (n > 1) copyName.append("-").append(std::to_string(n));
    to = ::openat(dirFd, copyName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (to < 0 && errno != EEXIST) break;
  }
  bool ok = to >= 0;
  char buf[64 * 1024];
  for (ssize_t n; ok && (n = ::read(from, buf, sizeof buf)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0 && WriteAll(to, buf, static_cast<std::size_t>(n));
  }
  ok = ok && ::fsync(to) == 0;
  if (to >= 0) ok = ::close(to) == 0 && ok;
  ::close(from);
  if (ok) {
    keptCopy_ = KeptCopiesFolder() + "/" + copyName;
    TrimCopies(dirFd, kKeptCopies);
  } else if (to >= 0) {
    ::unlinkat(dirFd, copyName.c_str(), 0);
  }
  ::close(dirFd);
}

bool SafeFileWriter::CommitInPlace() {
  const off_t size = static_cast<off_t>(content_.size());
  KeepCopyOfOldContent();
  // The whole new size is taken from the disk first: a full disk fails here, while
  // the old bytes are still all there.
  int failure = size > 0 ? ::posix_fallocate(fd_, 0, size) : 0;
  if (failure == EOPNOTSUPP || failure == ENOSYS) failure = 0;
  // The test seam's overwrite step: half the text goes in, then the write stops.
  const bool torn = failure == 0 && fault_ != nullptr && fault_->failAtStep == steps_ + 1;
  if (failure == 0) {
    const char* data = content_.data();
    std::size_t left = torn ? content_.size() / 2 : content_.size();
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
    if (torn && failure == 0) failure = EIO;
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
    g_failedSave = given_;
    g_failedSaveCopy = keptCopy_;
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
