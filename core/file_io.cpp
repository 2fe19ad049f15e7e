#include "core/file_io.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

}  // namespace

SafeFileWriter::~SafeFileWriter() { Abort(); }

bool SafeFileWriter::Open(const char* path) {
  Abort();
  steps_ = 0;
  failed_ = false;
  used_ = 0;
  error_ = 0;
  if (path == nullptr || path[0] == '\0') return Refuse(ENOENT);

  // A symbolic link keeps pointing at the file it names: the file behind it is the
  // one replaced. A link to nowhere is replaced like a missing file would be created.
  target_ = path;
  struct stat st {};
  if (::lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(path, nullptr)) {
      target_ = real;
      std::free(real);
    }
  }

  std::size_t slash = target_.find_last_of('/');
  std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  if (name.empty()) return Refuse(EISDIR);  // "folder/" names no file
  folder_ = slash == std::string::npos ? "." : (slash == 0 ? "/" : target_.substr(0, slash));

  bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return Refuse(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    // A file the user made read-only is not replaced behind their back.
    if (::access(target_.c_str(), W_OK) != 0) return Refuse(errno);
  } else if (errno != ENOENT) {
    return Refuse(errno);
  }

  temp_ = folder_ == "/" ? std::string("/") + kTempPattern : folder_ + "/" + kTempPattern;
  int fd = ::mkostemp(temp_.data(), O_CLOEXEC);
  if (fd < 0) {
    temp_.clear();
    return Refuse(errno);
  }
  fd_ = fd;
  // New files get rw-r--r-- less the umask; a replaced file keeps its mode and, where
  // the system lets us, its owner.
  mode_t mode = exists ? (st.st_mode & 07777) : (0644 & ~CurrentUmask());
  ::fchmod(fd_, mode);
  // (An ordinary user may not give a file away: the new file is then their own.)
  if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) && ::fchown(fd_, st.st_uid, st.st_gid) != 0) {
    errno = 0;
  }
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

bool SafeFileWriter::Commit() {
  if (!Step() || !Flush()) {
    Abort();
    return false;
  }
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
}

}  // namespace luckyscope
