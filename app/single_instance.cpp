#include "app/single_instance.h"

#include <unistd.h>

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>

namespace {

constexpr quint32 kMagic = 0x54415631;  // "TAV1"
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;
constexpr char kAnswer = '+';

}  // namespace

StartArguments ReadStartArguments(const std::vector<std::string>& arguments,
                                  const std::filesystem::path& workingFolder) {
  StartArguments result;
  bool options = true;
  for (const std::string& argument : arguments) {
    if (argument.empty()) continue;
    if (options && argument == "--") {
      options = false;
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
  const QString chosen = qEnvironmentVariable("TAVISTO_INSTANCE");
  if (!chosen.isEmpty()) return QDir::isAbsolutePath(chosen) ? chosen : QDir::temp().filePath(chosen);
  // XDG_RUNTIME_DIR is the user's own; the shared temporary folder needs the user in the name.
  QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  QString name = QStringLiteral("tavisto");
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
    folder = QDir::tempPath();
    name += QLatin1Char('-') + QString::number(getuid());
  }
  QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
  if (!display.isEmpty()) name += QLatin1Char('-') + display.replace(QLatin1Char('/'), QLatin1Char('_'));
  return folder + QLatin1Char('/') + name + QStringLiteral(".socket");
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() {
  // The socket file goes with the server, so the next start finds nothing stale.
  if (server_ != nullptr) server_->close();
}

SingleInstance::Role SingleInstance::Start(const std::vector<std::string>& paths, int timeoutMs) {
  // Two starts at once (two files opened quickly from a file manager) must not both decide
  // that nobody is listening and both listen, the second replacing the first one's socket.
  QLockFile lock(socketPath_ + QStringLiteral(".lock"));
  const bool locked = lock.tryLock(timeoutMs);

  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  if (socket.waitForConnected(timeoutMs))
    return HandOff(socket, paths, timeoutMs) ? Role::HandedOff : Role::NotAnswered;
  // Without the lock another start may be setting up its socket, which listening would replace.
  if (!locked) {
    error_ = QStringLiteral("cannot lock %1").arg(lock.fileName());
    return Role::Alone;
  }
  // Nobody answers: a socket file still there was left by a program that ended without removing
  // it. (Listening with access options would replace it as well; this does not rely on that.)
  QLocalServer::removeServer(socketPath_);
  return Listen() ? Role::Listening : Role::Alone;
}

bool SingleInstance::HandOff(QLocalSocket& socket, const std::vector<std::string>& paths, int timeoutMs) {
  QList<QByteArray> list;
  list.reserve(static_cast<qsizetype>(paths.size()));
  for (const std::string& path : paths) list.append(QByteArray::fromStdString(path));
  QByteArray message;
  QDataStream out(&message, QIODevice::WriteOnly);
  out.setVersion(kStreamVersion);
  out << kMagic << list;
  socket.write(message);
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(timeoutMs)) {
      error_ = socket.errorString();
      return false;
    }
  }
  char answer = 0;
  if (!socket.waitForReadyRead(timeoutMs) || !socket.getChar(&answer)) {
    error_ = socket.errorString();
    return false;
  }
  if (answer != kAnswer) {
    error_ = QStringLiteral("unexpected answer");
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
  return true;
}

void SingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadMessage(socket); });
  }
}

void SingleInstance::ReadMessage(QLocalSocket* socket) {
  QDataStream in(socket);
  in.setVersion(kStreamVersion);
  in.startTransaction();
  quint32 magic = 0;
  in >> magic;
  if (in.status() == QDataStream::Ok && magic != kMagic) {
    socket->abort();  // not a Tavisto start
    return;
  }
  QList<QByteArray> list;
  in >> list;
  if (!in.commitTransaction()) {
    if (in.status() != QDataStream::ReadPastEnd) socket->abort();
    return;  // ReadPastEnd: the rest of the message is still on its way
  }
  disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
  socket->putChar(kAnswer);
  socket->flush();

  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(list.size()));
  for (const QByteArray& path : list) paths.push_back(path.toStdString());
  // The receiver may open a wizard with an event loop of its own: the sender has its answer
  // first, and this socket's handler is left before.
  QPointer<SingleInstance> self(this);
  QMetaObject::invokeMethod(
      this,
      [self, paths = std::move(paths)] {
        if (self) emit self->PathsReceived(paths);
      },
      Qt::QueuedConnection);
}
