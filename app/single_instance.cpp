#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QtEndian>

namespace {

constexpr char kApplicationId[] = "org.quorlen.Tavisto";
constexpr char kMagic[] = "TAV2";
constexpr qsizetype kMagicBytes = 4;
constexpr qsizetype kHeaderBytes = kMagicBytes + 4;
constexpr char kAccepted = '+';
constexpr char kRefused = '-';
// What Qt reads ahead of us from one connection: a sender that writes past its message fills
// this, not the memory.
constexpr qint64 kReadAheadBytes = 64 * 1024;
// Between two tries of a start that waits for the lock holder's socket.
constexpr int kRetryMs = 50;

QString SystemError(const QString& path) {
  return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
}

// Why `folder` cannot hold the socket, or nothing when it can: whoever else may write in it
// could put a socket of their own there, or remove ours. lstat, so a link to a good folder made
// by someone else does not pass.
QString FolderProblem(const QString& folder) {
  struct stat info {};
  if (lstat(QFile::encodeName(folder).constData(), &info) != 0) return SystemError(folder);
  if (S_ISLNK(info.st_mode)) return QStringLiteral("%1 is a symbolic link").arg(folder);
  if (!S_ISDIR(info.st_mode)) return QStringLiteral("%1 is not a folder").arg(folder);
  if (info.st_uid != geteuid())
    return QStringLiteral("%1 belongs to another user (uid %2)").arg(folder).arg(info.st_uid);
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return QStringLiteral("%1 can be written by other users (mode %2)")
        .arg(folder)
        .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
  return {};
}

// The user on the other end of a connected socket.
std::optional<uid_t> PeerUser(const QLocalSocket& socket) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
    return std::nullopt;
  return credentials.uid;
}

QString LockPathFor(const QString& socketPath) {
  const QLatin1StringView suffix(".socket");
  if (socketPath.endsWith(suffix)) return socketPath.chopped(suffix.size()) + QStringLiteral(".lock");
  return socketPath + QStringLiteral(".lock");
}

quint32 BodyLength(const QByteArray& header) {
  return qFromBigEndian<quint32>(header.constData() + kMagicBytes);
}

// The paths of a complete message's body, or nothing when it is not a list of zero-ended names.
// One pass over the bytes.
std::optional<std::vector<std::string>> SplitPaths(const char* body, qsizetype size) {
  std::vector<std::string> paths;
  if (size == 0) return paths;
  if (body[size - 1] != '\0') return std::nullopt;
  for (const char* at = body; at < body + size;) {
    const std::size_t length = std::strlen(at);
    if (length > 0) paths.emplace_back(at, length);
    at += length + 1;
  }
  return paths;
}

}  // namespace

StartArguments ReadStartArguments(const std::vector<std::string>& arguments,
                                  const std::filesystem::path& workingFolder) {
  StartArguments result;
  bool options = true;
  for (const std::string& argument : arguments) {
    if (argument.empty()) continue;
    if (options && argument == "--") {
      options = false;
    } else if (options && (argument == "-h" || argument == "--help")) {
      result.help = true;
    } else if (options && argument == "--version") {
      result.version = true;
    } else if (options && argument.front() == '-') {
      result.unknownOptions.push_back(argument);
    } else {
      const std::filesystem::path path(argument);
      result.paths.push_back(path.is_absolute() ? argument : (workingFolder / path).string());
    }
  }
  return result;
}

QString SingleInstance::DefaultSocketPath() {
  // Only a folder nobody else can write will do: the shared temporary folder gets one of the
  // user's own, which Start makes and checks.
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const QString folder =
      !runtime.isEmpty() && FolderProblem(runtime).isEmpty()
          ? runtime + QLatin1Char('/') + QLatin1String(kApplicationId)
          : QDir::tempPath() + QLatin1Char('/') + QLatin1String(kApplicationId) + QLatin1Char('-') +
                QString::number(geteuid());
  const QString chosen = qEnvironmentVariable("TAVISTO_INSTANCE");
  if (!chosen.isEmpty()) return QDir::isAbsolutePath(chosen) ? chosen : folder + QLatin1Char('/') + chosen;
  // Two displays of one user are two desktops, each with its own Tavisto.
  QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
  if (display.isEmpty()) display = QStringLiteral("default");
  return folder + QLatin1Char('/') + display.replace(QLatin1Char('/'), QLatin1Char('_')) + QStringLiteral(".socket");
}

SingleInstance::SingleInstance(QString socketPath, InstanceLimits limits, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)), lockPath_(LockPathFor(socketPath_)), limits_(limits) {}

SingleInstance::~SingleInstance() {
  for (const Connection& connection : connections_) disconnect(connection.socket, nullptr, this, nullptr);
  connections_.clear();
  // The socket file goes with the server, before the lock: a start that gets the lock then finds
  // nothing to replace.
  delete server_;
  ReleaseLock();
}

qsizetype SingleInstance::BufferedBytes() const {
  qsizetype total = 0;
  for (const Connection& connection : connections_) total += connection.received.size();
  return total;
}

void SingleInstance::ReleaseLock() {
  if (lockFile_ >= 0) close(lockFile_);
  lockFile_ = -1;
}

SingleInstance::Role SingleInstance::Start(const std::vector<std::string>& paths, int timeoutMs) {
  const QString folder = QFileInfo(socketPath_).absolutePath();
  const QByteArray folderName = QFile::encodeName(folder);
  if (mkdir(folderName.constData(), 0700) != 0 && errno != EEXIST) {
    error_ = SystemError(folder);
    return Role::Alone;
  }
  error_ = FolderProblem(folder);
  if (!error_.isEmpty()) return Role::Alone;
  lockFile_ = open(QFile::encodeName(lockPath_).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lockFile_ < 0) {
    error_ = SystemError(lockPath_);
    return Role::Alone;
  }

  // The lock decides, never whether a connection succeeds in time: a running instance that is
  // busy, or flooded with connections, is still running, and its socket stays.
  const QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    if (flock(lockFile_, LOCK_EX | LOCK_NB) == 0) {
      // Nobody runs: a socket file still there was left by a program that ended without removing
      // it.
      QLocalServer::removeServer(socketPath_);
      if (Listen()) return Role::Listening;
      ReleaseLock();
      return Role::Alone;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      error_ = SystemError(lockPath_);
      ReleaseLock();
      return Role::Alone;
    }
    // The holder may be between taking the lock and listening, or its socket's queue is full:
    // try again until the time is up.
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
      ReleaseLock();
      return HandOff(socket, paths, timeoutMs) ? Role::HandedOff : Role::NotAnswered;
    }
    if (deadline.hasExpired()) {
      error_ = QStringLiteral("%1: %2").arg(socketPath_, socket.errorString());
      ReleaseLock();
      return Role::NotAnswered;
    }
    QThread::msleep(static_cast<unsigned long>(std::min<qint64>(kRetryMs, deadline.remainingTime())));
  }
}

bool SingleInstance::HandOff(QLocalSocket& socket, const std::vector<std::string>& paths, int timeoutMs) {
  const std::optional<uid_t> peer = PeerUser(socket);
  if (peer != geteuid()) {
    socket.abort();
    error_ = peer ? QStringLiteral("%1 is served by another user (uid %2)").arg(socketPath_).arg(*peer)
                  : SystemError(socketPath_);
    return false;
  }
  QByteArray body;
  for (const std::string& path : paths) {
    if (path.find('\0') != std::string::npos) {
      error_ = QStringLiteral("a file name holds a zero byte");
      return false;
    }
    body.append(path.data(), static_cast<qsizetype>(path.size()));
    body.append('\0');
  }
  if (body.size() > limits_.messageBytes) {
    error_ = QStringLiteral("%1 file names take %2 bytes, more than the %3 one start may hand over")
                 .arg(paths.size())
                 .arg(body.size())
                 .arg(limits_.messageBytes);
    return false;
  }
  QByteArray message(kMagic, kMagicBytes);
  char length[4];
  qToBigEndian(static_cast<quint32>(body.size()), length);
  message.append(length, sizeof length);
  message.append(body);
  socket.write(message);
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(timeoutMs)) {
      error_ = QStringLiteral("%1: %2").arg(socketPath_, socket.errorString());
      return false;
    }
  }
  char answer = 0;
  if (!socket.waitForReadyRead(timeoutMs) || !socket.getChar(&answer)) {
    error_ = QStringLiteral("%1: %2").arg(socketPath_, socket.errorString());
    return false;
  }
  if (answer != kAccepted) {
    error_ = QStringLiteral("%1: %2").arg(socketPath_, answer == kRefused ? QStringLiteral("the file names were refused")
                                                                          : QStringLiteral("unexpected answer"));
    return false;
  }
  socket.disconnectFromServer();
  return true;
}

bool SingleInstance::Listen() {
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(socketPath_)) {
    error_ = server_->errorString();
    delete server_;
    server_ = nullptr;
    return false;
  }
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
  idleTimer_ = new QTimer(this);
  // A connection is closed between one and one and a quarter idle times after its last byte.
  idleTimer_->setInterval(std::max(1, limits_.idleMs / 4));
  connect(idleTimer_, &QTimer::timeout, this, &SingleInstance::DropIdle);
  clock_.start();
  return true;
}

void SingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (PeerUser(*socket) != geteuid()) {
      // The socket's mode keeps others out already; this holds should the mode be changed.
      socket->abort();
      socket->deleteLater();
      continue;
    }
    while (!connections_.empty() && connections_.size() >= limits_.connections) {
      const auto longestSilent = std::min_element(
          connections_.begin(), connections_.end(),
          [](const Connection& a, const Connection& b) { return a.lastActivityMs < b.lastActivityMs; });
      Drop(longestSilent->socket);
    }
    socket->setReadBufferSize(kReadAheadBytes);
    connections_.push_back({socket, {}, clock_.elapsed()});
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] { Forget(socket); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadFrom(socket); });
    if (!idleTimer_->isActive()) idleTimer_->start();
    if (socket->bytesAvailable() > 0) ReadFrom(socket);
  }
}

void SingleInstance::ReadFrom(QLocalSocket* socket) {
  const auto found = std::find_if(connections_.begin(), connections_.end(),
                                  [socket](const Connection& connection) { return connection.socket == socket; });
  if (found == connections_.end()) return;
  QByteArray& received = found->received;
  found->lastActivityMs = clock_.elapsed();
  // Only as many bytes as the message still lacks: the header first, which says how long the
  // rest is, then the rest. Each byte is taken once, and nothing is parsed before it is all in.
  for (;;) {
    const qsizetype wanted =
        (received.size() < kHeaderBytes ? kHeaderBytes : kHeaderBytes + qsizetype{BodyLength(received)}) -
        received.size();
    if (wanted == 0) break;
    const qint64 available = socket->bytesAvailable();
    if (available <= 0) return;  // the rest is still on its way
    received.append(socket->read(std::min<qint64>(wanted, available)));
    if (received.size() == kHeaderBytes &&
        (std::memcmp(received.constData(), kMagic, kMagicBytes) != 0 ||
         qsizetype{BodyLength(received)} > limits_.messageBytes)) {
      Answer(socket, kRefused);  // not a Tavisto start, or more than a start may send
      return;
    }
  }
  std::optional<std::vector<std::string>> paths =
      SplitPaths(received.constData() + kHeaderBytes, received.size() - kHeaderBytes);
  Answer(socket, paths ? kAccepted : kRefused);
  if (!paths) return;
  // The receiver may open a wizard with an event loop of its own: the sender has its answer
  // first, and this socket's handler is left before.
  QPointer<SingleInstance> self(this);
  QMetaObject::invokeMethod(
      this,
      [self, paths = std::move(*paths)] {
        if (self) emit self->PathsReceived(paths);
      },
      Qt::QueuedConnection);
}

void SingleInstance::Answer(QLocalSocket* socket, char answer) {
  Forget(socket);
  disconnect(socket, nullptr, this, nullptr);
  socket->putChar(answer);
  // Closes once the answer is out; the sender is not waited for.
  socket->disconnectFromServer();
}

void SingleInstance::Drop(QLocalSocket* socket) {
  Forget(socket);
  disconnect(socket, nullptr, this, nullptr);
  socket->abort();
  socket->deleteLater();
}

void SingleInstance::Forget(QLocalSocket* socket) {
  std::erase_if(connections_, [socket](const Connection& connection) { return connection.socket == socket; });
}

void SingleInstance::DropIdle() {
  const qint64 now = clock_.elapsed();
  std::vector<QLocalSocket*> idle;
  for (const Connection& connection : connections_)
    if (now - connection.lastActivityMs >= limits_.idleMs) idle.push_back(connection.socket);
  for (QLocalSocket* socket : idle) Drop(socket);
  if (connections_.empty()) idleTimer_->stop();
}
