#pragma once
// The single-instance guard: an exclusive lock on a file named "luckyscope" that the
// running copy holds for its whole life. The kernel drops the lock when the process
// ends, crashed or not, so a stale lock file never keeps the program from starting.

#include <string>
#include <sys/types.h>
#include <vector>

namespace luckyscope {

// What decides where the lock lives: the environment's folders and the user.
struct LockEnvironment {
  std::string runtimeDir;  // XDG_RUNTIME_DIR
  std::string stateHome;   // XDG_STATE_HOME
  std::string home;        // HOME
  uid_t uid = 0;
  std::string tmp = "/tmp";
};
LockEnvironment CurrentLockEnvironment();

// The lock files, in the order they are tried: $XDG_RUNTIME_DIR/luckyscope alone when
// XDG_RUNTIME_DIR is set; otherwise /tmp/luckyscope-<uid>/luckyscope, then the
// user's own $XDG_STATE_HOME/luckyscope/luckyscope (~/.local/state without it), for
// when another user has taken the /tmp folder. Relative folders do not count.
std::vector<std::string> LockPaths(const LockEnvironment& env);

class SingleInstanceLock {
 public:
  enum class Result {
    Acquired,
    HeldByAnother,  // another copy holds the lock
    Failed,         // no lock file could be made or locked
  };

  // The program's lock at LockPaths(CurrentLockEnvironment()).
  SingleInstanceLock();
  // A lock file at `path`. With privateFolder, the folder of the path is made when
  // missing (readable by this user only) and refused unless it is this user's own
  // folder, closed to everybody else: the /tmp fallback, where anybody could have
  // made that folder first.
  SingleInstanceLock(std::string path, bool privateFolder);
  // Lock files tried in order. The first one that can be had is the lock; every later
  // one whose folder already exists is taken as well, so that two copies meet
  // whichever folder each could use: a copy that fell back to the home folder while
  // the /tmp folder was taken still refuses one started after it was given back.
  SingleInstanceLock(std::vector<std::string> paths, bool privateFolders);
  ~SingleInstanceLock();  // releases the lock
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // Takes the lock without waiting.
  Result Acquire();
  void Release();
  bool Held() const { return !fds_.empty(); }
  const std::vector<std::string>& Paths() const { return paths_; }
  // The lock file that was had first (the one whose folder was made if missing);
  // empty while no lock is held.
  const std::string& LockedPath() const { return lockedPath_; }
  // The folders the lock files were to be in, for telling the user where no lock
  // could be had.
  std::vector<std::string> Folders() const;
  // What went wrong when Acquire answered Failed, for the terminal.
  const std::string& Error() const { return error_; }

 private:
  std::vector<std::string> paths_;
  bool privateFolders_ = false;
  std::string error_;
  std::string lockedPath_;
  std::vector<int> fds_;
};

}  // namespace luckyscope
