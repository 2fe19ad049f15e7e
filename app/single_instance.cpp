#include "app/single_instance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "core/file_io.h"

namespace luckyscope {
namespace {

constexpr const char* kLockName = "luckyscope";

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Describe(const char* what, const std::string& path, int error) {
  return std::string(what) + " " + path + ": " + std::strerror(error);
}

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// Makes the folders leading to `folder` that are missing, closed to others as a
// state folder should be; what fails shows when the folder itself is made.
void MakeParents(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
    ::mkdir(folder.substr(0, slash).c_str(), 0700);
  }
}

enum class Outcome { Locked, Held, Absent, Failed };

// Opens and locks one lock file. A private folder is made when `mayMake` allows and
// missing; it is opened without following a link and must be a folder of this user
// that nobody else may enter, else somebody else could hold the lock against this user
// or plant a link there. The lock file is then opened inside that very folder.
Outcome LockOne(const std::string& path, bool privateFolder, bool mayMake, int& fd, std::string& error) {
  const std::string folder = FolderOf(path);
  int dir = -1;
  if (privateFolder && !folder.empty()) {
    if (mayMake) {
      MakeParents(folder);
      if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = Describe("cannot create", folder, errno);
        return Outcome::Failed;
      }
    }
    dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
      if (errno == ENOENT && !mayMake) return Outcome::Absent;
      error = errno == ELOOP || errno == ENOTDIR
                  ? "unsafe lock folder " + folder + ": not a private folder of this user"
                  : Describe("cannot open", folder, errno);
      return Outcome::Failed;
    }
    struct stat st {};
    if (::fstat(dir, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
      ::close(dir);
      error = "unsafe lock folder " + folder + ": not a private folder of this user";
      return Outcome::Failed;
    }
  }
  // Close-on-exec: a program this one starts must not keep the lock after it ends.
  const int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
  fd = dir >= 0 ? ::openat(dir, NameOf(path).c_str(), flags, 0600) : ::open(path.c_str(), flags, 0600);
  const int openError = errno;
  if (dir >= 0) ::close(dir);
  if (fd < 0) {
    error = Describe("cannot open", path, openError);
    return Outcome::Failed;
  }
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int lockError = errno;
    ::close(fd);
    fd = -1;
    if (lockError == EWOULDBLOCK) return Outcome::Held;
    error = Describe("cannot lock", path, lockError);
    return Outcome::Failed;
  }
  return Outcome::Locked;
}

}  // namespace

LockEnvironment CurrentLockEnvironment() {
  LockEnvironment env;
  env.runtimeDir = Variable("XDG_RUNTIME_DIR");
  env.stateHome = Variable("XDG_STATE_HOME");
  env.home = Variable("HOME");
  env.uid = ::getuid();
  return env;
}

std::vector<std::string> LockPaths(const LockEnvironment& env) {
  if (!env.runtimeDir.empty()) return {env.runtimeDir + "/" + kLockName};
  std::vector<std::string> paths{env.tmp + "/luckyscope-" + std::to_string(env.uid) + "/" + kLockName};
  const std::string state = UserStateFolder(env.stateHome.c_str(), env.home.c_str());
  if (!state.empty()) paths.push_back(state + "/" + kLockName);
  return paths;
}

SingleInstanceLock::SingleInstanceLock() {
  const LockEnvironment env = CurrentLockEnvironment();
  paths_ = LockPaths(env);
  privateFolders_ = env.runtimeDir.empty();
}

SingleInstanceLock::SingleInstanceLock(std::string path, bool privateFolder)
    : paths_{std::move(path)}, privateFolders_(privateFolder) {}

SingleInstanceLock::SingleInstanceLock(std::vector<std::string> paths, bool privateFolders)
    : paths_(std::move(paths)), privateFolders_(privateFolders) {}

SingleInstanceLock::~SingleInstanceLock() { Release(); }

std::vector<std::string> SingleInstanceLock::Folders() const {
  std::vector<std::string> folders;
  for (const std::string& path : paths_) folders.push_back(FolderOf(path));
  return folders;
}

SingleInstanceLock::Result SingleInstanceLock::Acquire() {
  if (!fds_.empty()) return Result::Acquired;
  error_.clear();
  for (const std::string& path : paths_) {
    int fd = -1;
    std::string why;
    // Only the first lock to be had makes its folder; later ones are taken where a
    // copy before made them.
    switch (LockOne(path, privateFolders_, fds_.empty(), fd, why)) {
      case Outcome::Locked:
        if (fds_.empty()) lockedPath_ = path;
        fds_.push_back(fd);
        break;
      case Outcome::Held:
        Release();
        error_.clear();
        return Result::HeldByAnother;
      case Outcome::Absent:
        break;
      case Outcome::Failed:
        if (fds_.empty()) error_ += (error_.empty() ? "" : "; ") + why;
        break;
    }
  }
  if (fds_.empty()) return Result::Failed;
  error_.clear();
  return Result::Acquired;
}

void SingleInstanceLock::Release() {
  // The files stay: removing one would let a copy that opened the old file and one
  // that creates a new file both believe they hold the lock.
  for (const int fd : fds_) {
    ::flock(fd, LOCK_UN);
    ::close(fd);
  }
  fds_.clear();
  lockedPath_.clear();
}

}  // namespace luckyscope
