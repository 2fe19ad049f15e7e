#include "app/single_instance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace luckyscope {
namespace {

constexpr const char* kLockName = "luckyscope";

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string Describe(const char* what, const std::string& path, int error) {
  return std::string(what) + " " + path + ": " + std::strerror(error);
}

}  // namespace

std::string DefaultLockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] != '\0') return std::string(runtime) + "/" + kLockName;
  return "/tmp/luckyscope-" + std::to_string(::getuid()) + "/" + kLockName;
}

SingleInstanceLock::SingleInstanceLock() : path_(DefaultLockPath()) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  privateFolder_ = runtime == nullptr || runtime[0] == '\0';
}

SingleInstanceLock::SingleInstanceLock(std::string path, bool privateFolder)
    : path_(std::move(path)), privateFolder_(privateFolder) {}

SingleInstanceLock::~SingleInstanceLock() { Release(); }

SingleInstanceLock::Result SingleInstanceLock::Acquire() {
  if (fd_ >= 0) return Result::Acquired;
  error_.clear();
  // The private folder under /tmp is made on demand; a folder of that name that
  // belongs to someone else, or is open to others, could be used to hold the lock
  // against this user or to plant a link, so it is not used.
  const std::string folder = FolderOf(path_);
  if (privateFolder_ && !folder.empty()) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      error_ = Describe("cannot create", folder, errno);
      return Result::Failed;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
      error_ = Describe("cannot read", folder, errno);
      return Result::Failed;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
      error_ = "unsafe lock folder " + folder + ": not a private folder of this user";
      return Result::Failed;
    }
  }
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    error_ = Describe("cannot open", path_, errno);
    return Result::Failed;
  }
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return Result::HeldByAnother;
    error_ = Describe("cannot lock", path_, error);
    return Result::Failed;
  }
  fd_ = fd;
  return Result::Acquired;
}

void SingleInstanceLock::Release() {
  if (fd_ < 0) return;
  // The file stays: removing it would let a copy that opened the old file and one
  // that creates a new file both believe they hold the lock.
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace luckyscope
