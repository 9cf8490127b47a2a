// One Tavisto per user and display: the first start listens on a local socket, and a later start
// hands its files to it (or only asks it to come to the front) and ends without a window of its
// own. Also the files a start was given on its command line, made absolute, since the running
// instance does not share the caller's working folder.
//
// Where: $XDG_RUNTIME_DIR/org.quorlen.Tavisto/DISPLAY.socket, or, without a private
// XDG_RUNTIME_DIR (the user's own, writable by nobody else), TMPDIR/org.quorlen.Tavisto-UID/
// DISPLAY.socket; TAVISTO_INSTANCE names another socket (the tests use it). The socket's folder
// is made with mode 0700 when missing and must be a real folder of this user that nobody else
// can write: otherwise there is no hand-off at all (Role::Alone, Error() says why), since whoever
// can write there could answer in the running Tavisto's place.
//
// Who is running: the first start takes an exclusive lock (flock) on DISPLAY.lock beside the
// socket and holds it as long as it lives; the system releases it when the program ends, even
// by a crash. Whoever gets the lock listens, replacing a socket file a crashed instance left;
// whoever does not hands off, and never removes the socket. Both ends check with SO_PEERCRED
// that the other side is this user.
//
// A hand-off is one message: "TAV2", the length of the rest (4 bytes, big-endian) and each path's
// bytes followed by a zero byte (a file name holds any byte but zero). The running instance
// answers '+' once it has it all, or '-' and closes when it refuses it (longer than
// InstanceLimits::messageBytes, or not a hand-off). It reads a message as it arrives, at most
// that long, and parses it once, in linear time; connections that stay silent are closed, and
// one connection too many closes the one silent longest, so idle connections cannot keep a
// later start out.
//
// Thread: one thread, with an event loop while listening (the user-interface thread in the
// program). Start blocks while it hands off, up to its timeout a step.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QTimer;

// The command line after the program's name, with Qt's own arguments already removed.
struct StartArguments {
  std::vector<std::string> paths;           // absolute, in their order
  std::vector<std::string> unknownOptions;  // "-x", "--foo": neither files nor understood
  bool help = false;                         // -h, --help
  bool version = false;                      // --version
};
// Every argument is a file or a folder, relative ones taken from `workingFolder`; an argument
// starting with "-" is an option (-h, --help and --version are known) until "--", after which
// all are files.
StartArguments ReadStartArguments(const std::vector<std::string>& arguments,
                                  const std::filesystem::path& workingFolder);

// What one hand-off may cost the running instance.
struct InstanceLimits {
  // The paths of one message with their zero bytes. A command line holds at most about 2 MiB
  // (ARG_MAX); this leaves room for relative names made absolute. A start with more is refused.
  qsizetype messageBytes = 4 * 1024 * 1024;
  // A connection that sends nothing for this long is closed.
  int idleMs = 5000;
  // Connections read at once; one more closes the one silent longest.
  std::size_t connections = 16;
};

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class Role {
    Listening,   // the first start: paths handed off later arrive through PathsReceived
    HandedOff,   // another instance took the paths: this start is over
    Alone,       // no socket could be set up: the program runs without receiving hand-offs
    NotAnswered  // another instance is there but did not confirm the paths: Error() says why
  };

  // The socket path for this user and display (see above). Creates nothing.
  static QString DefaultSocketPath();

  explicit SingleInstance(QString socketPath = DefaultSocketPath(), InstanceLimits limits = {},
                          QObject* parent = nullptr);
  // Closes the socket (its file goes) and then releases the lock.
  ~SingleInstance() override;

  // Hands `paths` to the instance holding the lock, or, when none does, becomes it. Waits up to
  // `timeoutMs` for the running instance to accept the connection, and as long again for each
  // further step of a hand-off.
  Role Start(const std::vector<std::string>& paths, int timeoutMs = 10000);

  const QString& SocketPath() const { return socketPath_; }
  const QString& LockPath() const { return lockPath_; }
  const QString& Error() const { return error_; }
  // While listening: the connections being read, and the bytes of their messages held so far.
  std::size_t Connections() const { return connections_.size(); }
  qsizetype BufferedBytes() const;

 signals:
  // A later start handed these over (none when it was started without files: it only asks for
  // the window). Emitted from the event loop, after the sender has its answer.
  void PathsReceived(const std::vector<std::string>& paths);

 private:
  // A connection whose message is not complete yet.
  struct Connection {
    QLocalSocket* socket;
    QByteArray received;    // the message so far: never longer than the header and the limit
    qint64 lastActivityMs;  // on clock_
  };

  bool HandOff(QLocalSocket& socket, const std::vector<std::string>& paths, int timeoutMs);
  bool Listen();
  void ReleaseLock();
  void OnNewConnection();
  void ReadFrom(QLocalSocket* socket);
  void Answer(QLocalSocket* socket, char answer);
  void Drop(QLocalSocket* socket);
  void Forget(QLocalSocket* socket);
  void DropIdle();

  QString socketPath_;
  QString lockPath_;
  InstanceLimits limits_;
  QString error_;
  int lockFile_ = -1;  // open, and locked, while listening
  QLocalServer* server_ = nullptr;
  QTimer* idleTimer_ = nullptr;
  QElapsedTimer clock_;
  std::vector<Connection> connections_;
};
