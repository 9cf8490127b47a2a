// One Tavisto per user and display: the first start listens on a local socket, and a later start
// hands its files to it (or only asks it to come to the front) and ends without a window of its
// own. Also the files a start was given on its command line, made absolute, since the running
// instance does not share the caller's working folder.
//
// The socket is $XDG_RUNTIME_DIR/tavisto[-DISPLAY].socket (the temporary folder and the user id
// without XDG_RUNTIME_DIR), or the path in TAVISTO_INSTANCE when that is set (the tests use it). A
// lock file beside it makes the choice between handing off and listening one start at a time,
// and a socket file nobody answers on (left by a program that crashed) is replaced.
//
// A hand-off is one message, written with QDataStream: a magic number and the list of paths as
// byte arrays (the file names' own bytes, whatever they contain), answered by one byte once the
// running instance has read it all.
//
// Thread: the user-interface thread (Start blocks while it hands off, up to its timeout a step).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The command line after the program's name, with Qt's own arguments already removed.
struct StartArguments {
  std::vector<std::string> paths;           // absolute, in their order
  std::vector<std::string> unknownOptions;  // "-x", "--foo": neither files nor understood
};
// Every argument is a file or a folder, relative ones taken from `workingFolder`; an argument
// starting with "-" is an option (none is known yet) until "--", after which all are files.
StartArguments ReadStartArguments(const std::vector<std::string>& arguments,
                                  const std::filesystem::path& workingFolder);

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class Role {
    Listening,   // the first start: paths handed off later arrive through PathsReceived
    HandedOff,   // another instance took the paths: this start is over
    Alone,       // no socket could be set up: the program runs without receiving hand-offs
    NotAnswered  // another instance is there but did not confirm the paths: Error() says why
  };

  // The socket path for this user and display (see above).
  static QString DefaultSocketPath();

  explicit SingleInstance(QString socketPath = DefaultSocketPath(), QObject* parent = nullptr);
  ~SingleInstance() override;

  // Hands `paths` to the instance that answers on the socket, or, when none does, becomes it.
  // Waits up to `timeoutMs` for each step of a hand-off.
  Role Start(const std::vector<std::string>& paths, int timeoutMs = 10000);

  const QString& SocketPath() const { return socketPath_; }
  const QString& Error() const { return error_; }

 signals:
  // A later start handed these over (none when it was started without files: it only asks for
  // the window). Emitted from the event loop, after the sender has its answer.
  void PathsReceived(const std::vector<std::string>& paths);

 private:
  bool HandOff(QLocalSocket& socket, const std::vector<std::string>& paths, int timeoutMs);
  bool Listen();
  void OnNewConnection();
  void ReadMessage(QLocalSocket* socket);

  QString socketPath_;
  QString error_;
  QLocalServer* server_ = nullptr;
};
