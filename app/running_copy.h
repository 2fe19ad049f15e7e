#pragma once
// The way a second start reaches the copy that runs already: a local socket beside the
// single-instance lock, in the same folder that only this user may enter, and itself
// open to this user alone. The second copy sends the files it was asked to open (none
// when it was started bare) and ends; the running copy comes to the front and opens
// them as if they had been dropped on it.
//
// What travels: each path as file-name bytes followed by a NUL, then one more NUL; the
// running copy answers "OK\n" once it has the whole list. A file name cannot hold a
// NUL, so no name can end the list early or smuggle in another.

#include <string>
#include <vector>

#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace luckyscope {

// The socket beside a lock file ("…/luckyscope" → "…/luckyscope.socket").
std::string RunningCopySocketPath(const std::string& lockPath);

// The running copy's end. Peers of another user are turned away even if they reached
// the socket; a list longer than the bounds, or one that does not arrive within a few
// seconds, is dropped.
class RunningCopyChannel final : public QObject {
  Q_OBJECT

 public:
  explicit RunningCopyChannel(QObject* parent = nullptr);
  ~RunningCopyChannel() override;

  // Listens at `socketPath`, replacing a socket left by a copy that ended without
  // removing it (the caller holds the lock, so no copy uses it). False when the socket
  // cannot be made; the program then runs without hand-over.
  bool Listen(const std::string& socketPath);

  // At most this many files, and this many bytes of list, are taken from one start.
  static constexpr int kMaxFiles = 1000;
  static constexpr qint64 kMaxBytes = 1 << 20;

 signals:
  // A second start came: `files` (absolute paths, possibly none) are to be opened.
  void FilesHandedOver(const QStringList& files);

 private:
  void Accept();
  void Read(QLocalSocket* peer);

  QLocalServer* server_;
};

// The second start's end: hands `files` (absolute paths) to the copy listening at one
// of `socketPaths`, tried in order. True once a running copy has answered that it has
// them; false when none could be reached within `timeoutMs`.
bool HandOverToRunningCopy(const std::vector<std::string>& socketPaths, const QStringList& files,
                           int timeoutMs = 5000);

}  // namespace luckyscope
