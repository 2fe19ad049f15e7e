#include "app/running_copy.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace luckyscope {
namespace {

constexpr char kAnswer[] = "OK\n";
constexpr int kPeerTimeoutMs = 5000;

// Whether the process at the other end of the socket runs as this user.
bool PeerIsThisUser(const QLocalSocket& peer) {
  struct ucred credentials {};
  socklen_t size = sizeof credentials;
  if (::getsockopt(static_cast<int>(peer.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
    return false;
  }
  return credentials.uid == ::getuid();
}

// The files of a complete list, or nothing while the list has not ended yet.
std::optional<QStringList> ReadList(const QByteArray& bytes) {
  QStringList files;
  qsizetype start = 0;
  while (start < bytes.size()) {
    const qsizetype end = bytes.indexOf('\0', start);
    if (end < 0) return std::nullopt;
    if (end == start) return files;  // the closing NUL
    files.append(QFile::decodeName(bytes.mid(start, end - start)));
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace

std::string RunningCopySocketPath(const std::string& lockPath) { return lockPath + ".socket"; }

RunningCopyChannel::RunningCopyChannel(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
  // Read and write for the owner only (the folder is closed to others as well).
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &RunningCopyChannel::Accept);
}

RunningCopyChannel::~RunningCopyChannel() { server_->close(); }

bool RunningCopyChannel::Listen(const std::string& socketPath) {
  const QString path = QFile::decodeName(socketPath.c_str());
  QLocalServer::removeServer(path);
  return server_->listen(path);
}

void RunningCopyChannel::Accept() {
  while (QLocalSocket* peer = server_->nextPendingConnection()) {
    if (!PeerIsThisUser(*peer)) {
      peer->abort();
      peer->deleteLater();
      continue;
    }
    connect(peer, &QLocalSocket::readyRead, this, [this, peer] { Read(peer); });
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    // A peer that never finishes its list is let go.
    QTimer::singleShot(kPeerTimeoutMs, peer, [peer] { peer->abort(); });
    Read(peer);
  }
}

void RunningCopyChannel::Read(QLocalSocket* peer) {
  // The list gathers in the socket's own buffer until its closing NUL has come.
  if (peer->bytesAvailable() > kMaxBytes) {
    peer->abort();
    return;
  }
  const std::optional<QStringList> files = ReadList(peer->peek(peer->bytesAvailable()));
  if (!files) return;
  peer->readAll();
  peer->write(kAnswer, sizeof kAnswer - 1);
  peer->flush();
  peer->disconnectFromServer();
  if (files->size() > kMaxFiles) return;
  emit FilesHandedOver(*files);
}

bool HandOverToRunningCopy(const std::vector<std::string>& socketPaths, const QStringList& files, int timeoutMs) {
  QByteArray list;
  for (const QString& file : files) list += QFile::encodeName(file) + '\0';
  list += '\0';
  QElapsedTimer clock;
  clock.start();
  auto left = [&] { return static_cast<int>(std::max<qint64>(0, timeoutMs - clock.elapsed())); };
  for (const std::string& socketPath : socketPaths) {
    QLocalSocket socket;
    socket.connectToServer(QFile::decodeName(socketPath.c_str()));
    if (!socket.waitForConnected(left())) continue;
    socket.write(list);
    socket.waitForBytesWritten(left());
    QByteArray answer;
    while (answer.size() < qsizetype(sizeof kAnswer - 1) && socket.waitForReadyRead(left())) answer += socket.readAll();
    if (answer.startsWith(kAnswer)) return true;
  }
  return false;
}

}  // namespace luckyscope
