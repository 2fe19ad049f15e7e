#pragma once
// The single-instance guard: an exclusive lock on a file named "luckyscope" that the
// running copy holds for its whole life. The kernel drops the lock when the process
// ends, crashed or not, so a stale lock file never keeps the program from starting.

#include <string>

namespace luckyscope {

// Where the lock lives: $XDG_RUNTIME_DIR/luckyscope, or /tmp/luckyscope-<uid>/luckyscope
// when XDG_RUNTIME_DIR is unset or empty.
std::string DefaultLockPath();

class SingleInstanceLock {
 public:
  enum class Result {
    Acquired,
    HeldByAnother,  // another copy holds the lock
    Failed,         // the lock file could not be made or locked
  };

  // The program's lock at DefaultLockPath().
  SingleInstanceLock();
  // A lock file at `path`. With privateFolder, the folder of the path is made when
  // missing (readable by this user only) and refused unless it is this user's own
  // folder, closed to everybody else: the /tmp fallback, where anybody could have
  // made that folder first.
  SingleInstanceLock(std::string path, bool privateFolder);
  ~SingleInstanceLock();  // releases the lock
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // Takes the lock without waiting.
  Result Acquire();
  void Release();
  bool Held() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // What went wrong when Acquire answered Failed, for the terminal.
  const std::string& Error() const { return error_; }

 private:
  std::string path_;
  bool privateFolder_ = false;
  std::string error_;
  int fd_ = -1;
};

}  // namespace luckyscope
