// One Tavisto per user: the command line's paths, where the socket lives and who may use it, the
// lock that tells a running instance from a socket file left behind, the hand-off of paths to the
// running instance (in this process, with the sending start on a thread of its own), what the
// listener refuses (other users, silent, flooding, oversize and malformed connections), and the
// real program started twice.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QtEndian>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <set>

#include "app/single_instance.h"
#include "core/settings.h"
#include "platform/mmstream/tests/media_fixtures.h"

using media_fixtures::TempDir;
using Paths = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

// The user the tests play "another local user" with (as root only).
constexpr uid_t kOtherUser = 65534;

TEST(StartArguments, FilesAreMadeAbsoluteAndOptionsAreNotFiles) {
  struct Case {
    const char* what;
    Paths arguments;
    Paths paths;
    Paths unknownOptions;
  };
  const Case cases[] = {
      {"relative names from the working folder, absolute ones kept, in their order",
       {"song.flac", "folder/", "/music/a.wma", "../up.ogg"},
       {"/work/here/song.flac", "/work/here/folder/", "/music/a.wma", "/work/here/../up.ogg"},
       {}},
      {"options are no files, until --",
       {"-x", "", "song one.mp4", "--geometry", "-", "--", "-dash.wav", "--"},
       {"/work/here/song one.mp4", "/work/here/-dash.wav", "/work/here/--"},
       {"-x", "--geometry", "-"}},
  };
  for (const Case& c : cases) {
    const StartArguments read = ReadStartArguments(c.arguments, "/work/here");
    EXPECT_EQ(read.paths, c.paths) << c.what;
    EXPECT_EQ(read.unknownOptions, c.unknownOptions) << c.what;
  }
}

// Sets (or, for nullptr, removes) environment variables for its life.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(std::vector<std::pair<std::string, const char*>> values) {
    for (const auto& [name, value] : values) {
      const char* old = std::getenv(name.c_str());
      saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
      if (value != nullptr)
        setenv(name.c_str(), value, 1);
      else
        unsetenv(name.c_str());
    }
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(SingleInstanceSocketPath, IsInAFolderOfTheUsersOwnNamedForTheApplicationAndDisplay) {
  TempDir dir;
  const std::string runtime = dir.Path() + "/runtime";
  const std::string shared = dir.Path() + "/shared";
  const std::string open = dir.Path() + "/open";
  for (const std::string& folder : {runtime, shared, open}) fs::create_directory(folder);
  chmod(runtime.c_str(), 0700);
  chmod(open.c_str(), 0777);
  const std::string fallback = shared + "/org.quorlen.Tavisto-" + std::to_string(geteuid());
  struct Case {
    const char* what;
    const char* runtime;
    const char* wayland;
    const char* display;
    const char* chosen;
    std::string socket;
  };
  const Case cases[] = {
      {"the runtime folder, with the X display", runtime.c_str(), nullptr, ":7", nullptr,
       runtime + "/org.quorlen.Tavisto/:7.socket"},
      {"a Wayland display wins, its slashes made harmless", runtime.c_str(), "/run/x/wayland-1", ":7", nullptr,
       runtime + "/org.quorlen.Tavisto/_run_x_wayland-1.socket"},
      {"no display at all", runtime.c_str(), nullptr, nullptr, nullptr,
       runtime + "/org.quorlen.Tavisto/default.socket"},
      {"no runtime folder: one of the user's own in the temporary folder", nullptr, nullptr, ":7", nullptr,
       fallback + "/:7.socket"},
      {"a runtime folder others can write is passed over", open.c_str(), nullptr, ":7", nullptr,
       fallback + "/:7.socket"},
      {"a runtime folder that is not there is passed over", "/nonexistent/run", nullptr, ":7", nullptr,
       fallback + "/:7.socket"},
      {"TAVISTO_INSTANCE, absolute", runtime.c_str(), nullptr, ":7", "/elsewhere/mine.socket",
       "/elsewhere/mine.socket"},
      {"TAVISTO_INSTANCE, relative: in the private folder", nullptr, nullptr, ":7", "mine.socket",
       fallback + "/mine.socket"},
  };
  for (const Case& c : cases) {
    const ScopedEnvironment environment({{"XDG_RUNTIME_DIR", c.runtime},
                                         {"WAYLAND_DISPLAY", c.wayland},
                                         {"DISPLAY", c.display},
                                         {"TAVISTO_INSTANCE", c.chosen},
                                         {"TMPDIR", shared.c_str()}});
    EXPECT_EQ(SingleInstance::DefaultSocketPath().toStdString(), c.socket) << c.what;
  }
  EXPECT_FALSE(fs::exists(fallback)) << "only Start makes the folder";
}

// Runs the event loop until `done` or the deadline; the result of `done`.
template <typename Condition>
bool WaitUntil(Condition done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const QDeadlineTimer deadline(limit);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

sockaddr_un AddressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}

// A socket file with nobody behind it, as a killed program leaves it.
void MakeStaleSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  const sockaddr_un address = AddressOf(path);
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

ino_t InodeOf(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// The lock a running instance holds, taken here as another process would: through a file
// description of its own.
class HeldLock {
 public:
  explicit HeldLock(const QString& path)
      : fd_(open(path.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    held_ = fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) == 0;
  }
  ~HeldLock() {
    if (fd_ >= 0) close(fd_);
  }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  bool Held() const { return held_; }

 private:
  int fd_;
  bool held_ = false;
};


// The header of a hand-off message announcing `length` bytes of names.
std::string HeaderFor(quint32 length, const char* magic = "TAV2") {
  char size[4];
  qToBigEndian(length, size);
  return std::string(magic, 4) + std::string(size, 4);
}

// A hand-off message as a later start writes it.
std::string Message(const Paths& paths) {
  std::string body;
  for (const std::string& path : paths) body += path + '\0';
  return HeaderFor(static_cast<quint32>(body.size())) + body;
}

// A connection made here, not by a later start: it says what a test wants, when it wants.
class RawClient {
 public:
  // Connects while the event loop runs, so that the listener takes it off a full queue.
  explicit RawClient(const QString& path) : fd_(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
    const sockaddr_un address = AddressOf(path.toStdString());
    bool connected = false;
    WaitUntil([&] {
      connected = connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
      return connected || errno != EAGAIN;
    });
    if (!connected) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~RawClient() {
    if (fd_ >= 0) close(fd_);
  }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool Connected() const { return fd_ >= 0; }

  // Sends `bytes`, then `filler` bytes more, as long as the listener takes them; how many it
  // took before it closed the connection. `onWait` runs whenever the listener is behind.
  std::size_t Send(const std::string& bytes, std::size_t filler = 0, const std::function<void()>& onWait = {}) {
    const std::string chunk(64 * 1024, 'a');
    std::size_t sent = 0;
    const std::size_t total = bytes.size() + filler;
    WaitUntil([&] {
      if (onWait) onWait();
      while (sent < total) {
        const char* from = sent < bytes.size() ? bytes.data() + sent : chunk.data();
        const std::size_t length =
            sent < bytes.size() ? bytes.size() - sent : std::min(chunk.size(), total - sent);
        const ssize_t written = send(fd_, from, length, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (written < 0) return errno != EAGAIN;  // EAGAIN: the listener has to read first
        sent += static_cast<std::size_t>(written);
      }
      return true;
    });
    return sent;
  }

  // Everything the listener sent until it closed the connection, or nothing when it did not
  // close it in time.
  std::optional<std::string> ReadUntilClosed() {
    std::string received;
    const bool closed = WaitUntil([&] {
      char buffer[256];
      const ssize_t length = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
      if (length > 0) received.append(buffer, static_cast<std::size_t>(length));
      return length == 0 || (length < 0 && errno != EAGAIN);
    });
    if (!closed) return std::nullopt;
    return received;
  }

  // Whether the listener closed the connection (without waiting for it).
  bool ClosedByListener() const {
    char byte = 0;
    const ssize_t length = recv(fd_, &byte, 1, MSG_DONTWAIT | MSG_PEEK);
    return length == 0 || (length < 0 && errno != EAGAIN);
  }

 private:
  int fd_;
};

struct SingleInstanceTest : ::testing::Test {
  TempDir dir;
  QString socketPath = QString::fromStdString(dir.File("instance"));
  InstanceLimits limits;
  std::string laterError;  // of the last StartLater

  // A later start on a thread of its own, which blocks while this thread serves the running
  // instance's event loop; its role once it is done.
  std::optional<SingleInstance::Role> StartLater(const Paths& paths, int timeoutMs = 10000) {
    std::future<SingleInstance::Role> role = std::async(std::launch::async, [&] {
      SingleInstance later(socketPath, limits);
      const SingleInstance::Role result = later.Start(paths, timeoutMs);
      laterError = later.Error().toStdString();
      return result;
    });
    if (!WaitUntil([&] { return role.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }))
      return std::nullopt;
    return role.get();
  }
};

TEST_F(SingleInstanceTest, HandedOffPathsArriveIntactAndInOrderOverAStaleSocketAndLockFile) {
  MakeStaleSocket(socketPath.toStdString());
  SingleInstance running(socketPath, limits);
  // What a crashed instance, or an older Tavisto, left: a lock file nobody holds.
  std::ofstream(running.LockPath().toStdString()) << "4242\ntavisto\nsomehost\n";
  ASSERT_EQ(running.Start({"/first.wma"}), SingleInstance::Role::Listening) << running.Error().toStdString();
  std::vector<Paths> received;
  QObject::connect(&running, &SingleInstance::PathsReceived, [&](const Paths& paths) { received.push_back(paths); });

  Paths many;  // more than one read of the socket holds
  for (int i = 0; i < 3000; ++i) many.push_back("/music/" + std::string(200, 'a' + i % 26) + std::to_string(i));
  const std::vector<Paths> batches = {
      {"/home/me/My Music/a b.flac", "/tmp/Müsik/Ærø ♫ 曲.wma", "/tmp/line\nbreak.ogg", "/tmp/\xff\xfe.wav"},
      {},  // a start without files: only asks for the window
      many,
  };
  for (const Paths& paths : batches) EXPECT_EQ(StartLater(paths), SingleInstance::Role::HandedOff) << laterError;
  ASSERT_TRUE(WaitUntil([&] { return received.size() == batches.size(); }));
  EXPECT_EQ(received, batches);
  EXPECT_EQ(running.Connections(), 0u);
}

TEST_F(SingleInstanceTest, WhileTheLockIsHeldTheSocketIsNeverReplaced) {
  struct Case {
    const char* what;
    bool stale;   // a socket file nobody listens on
    bool listen;  // a holder that accepts and never answers
  };
  const Case cases[] = {
      {"the holder listens but never answers", false, true},
      {"the holder has no socket yet", false, false},
      {"the socket file is there but nobody accepts on it", true, false},
  };
  for (const Case& c : cases) {
    QLocalServer::removeServer(socketPath);
    if (c.stale) MakeStaleSocket(socketPath.toStdString());
    QLocalServer mute;
    if (c.listen) {
      ASSERT_TRUE(mute.listen(socketPath)) << c.what;
    }
    const ino_t socketFile = InodeOf(socketPath.toStdString());
    {
      HeldLock lock(SingleInstance(socketPath).LockPath());
      ASSERT_TRUE(lock.Held()) << c.what;
      EXPECT_EQ(StartLater({"/d.wma"}, 300), SingleInstance::Role::NotAnswered) << c.what;
      EXPECT_NE(laterError.find(socketPath.toStdString()), std::string::npos) << c.what << ": " << laterError;
      EXPECT_EQ(InodeOf(socketPath.toStdString()), socketFile) << c.what << ": the socket file is the holder's";
      if (c.listen) {
        QLocalSocket again;
        again.connectToServer(socketPath);
        EXPECT_TRUE(again.waitForConnected(5000)) << c.what << ": the socket still leads to the holder";
      }
    }
    // Once the holder is gone, the next start takes over whatever it left.
    SingleInstance next(socketPath, limits);
    EXPECT_EQ(next.Start({}), SingleInstance::Role::Listening) << c.what << ": " << next.Error().toStdString();
  }
}

TEST_F(SingleInstanceTest, APlaceOthersCanWriteNeverCarriesAHandOff) {
  // As on a machine without XDG_RUNTIME_DIR: the socket's folder is made in a temporary folder
  // every user can write, so another user may have been there first.
  const std::string shared = dir.File("shared");
  const ScopedEnvironment environment({{"XDG_RUNTIME_DIR", nullptr},
                                       {"WAYLAND_DISPLAY", nullptr},
                                       {"DISPLAY", ":7"},
                                       {"TAVISTO_INSTANCE", nullptr},
                                       {"TMPDIR", shared.c_str()}});
  const std::string user = std::to_string(geteuid());
  const std::string oldSocket = shared + "/tavisto-" + user + "-:7.socket";
  // Each sets the place up and says where a socket of someone else's listens ("" for nowhere).
  using Plant = std::function<std::string(const std::string& folder)>;
  struct Case {
    const char* what;
    bool asRoot;  // needs a second user
    Plant plant;
    SingleInstance::Role role;
    const char* why;  // in Error() when alone
  };
  const Case cases[] = {
      {"another user made the folder first", true,
       [](const std::string& folder) {
         fs::create_directory(folder);
         EXPECT_EQ(chown(folder.c_str(), kOtherUser, kOtherUser), 0);
         return folder + "/:7.socket";
       },
       SingleInstance::Role::Alone, "belongs to another user"},
      {"the folder is writable by everyone", false,
       [](const std::string& folder) {
         fs::create_directory(folder);
         chmod(folder.c_str(), 0777);
         return folder + "/:7.socket";
       },
       SingleInstance::Role::Alone, "can be written by other users"},
      {"the folder is writable by its group", false,
       [](const std::string& folder) {
         fs::create_directory(folder);
         chmod(folder.c_str(), 0770);
         return folder + "/:7.socket";
       },
       SingleInstance::Role::Alone, "can be written by other users"},
      {"the folder is a link to a private folder", false,
       [&](const std::string& folder) {
         const std::string elsewhere = shared + "/elsewhere";
         fs::create_directory(elsewhere);
         chmod(elsewhere.c_str(), 0700);
         fs::create_directory_symlink(elsewhere, folder);
         return elsewhere + "/:7.socket";
       },
       SingleInstance::Role::Alone, "is a symbolic link"},
      {"a file stands in its place", false,
       [](const std::string& folder) {
         std::ofstream(folder) << "mine";
         return std::string();
       },
       SingleInstance::Role::Alone, "is not a folder"},
      {"someone listens where the socket used to be, beside a lock file", false,
       [&](const std::string&) {
         std::ofstream(oldSocket + ".lock") << "1\n";
         return oldSocket;
       },
       SingleInstance::Role::Listening, ""},
      {"nothing is there yet", false, [](const std::string&) { return std::string(); },
       SingleInstance::Role::Listening, ""},
  };
  for (const Case& c : cases) {
    if (c.asRoot && geteuid() != 0) continue;  // no second user to play the other one
    fs::remove_all(shared);
    fs::create_directory(shared);
    chmod(shared.c_str(), 01777);
    const QString socket = SingleInstance::DefaultSocketPath();
    const std::string folder = fs::path(socket.toStdString()).parent_path();
    ASSERT_EQ(folder, shared + "/org.quorlen.Tavisto-" + user);
    const std::string planted = c.plant(folder);
    QLocalServer other;
    if (!planted.empty()) {
      ASSERT_TRUE(other.listen(QString::fromStdString(planted))) << c.what;
    }

    SingleInstance instance;
    EXPECT_EQ(instance.Start({"/home/me/secret.wma"}, 300), c.role) << c.what;
    EXPECT_NE(instance.Error().toStdString().find(c.why), std::string::npos)
        << c.what << ": " << instance.Error().toStdString();
    if (!planted.empty()) {
      EXPECT_FALSE(other.waitForNewConnection(0)) << c.what << ": nobody was asked";
    }
    if (c.role == SingleInstance::Role::Listening) {
      struct stat info {};
      ASSERT_EQ(lstat(folder.c_str(), &info), 0) << c.what;
      EXPECT_TRUE(S_ISDIR(info.st_mode)) << c.what;
      EXPECT_EQ(info.st_mode & 0777, 0700u) << c.what;
      EXPECT_EQ(info.st_uid, geteuid()) << c.what;
      EXPECT_EQ(instance.SocketPath(), socket) << c.what;
    }
  }
}

// Runs `child` in a process of its own that becomes the other user, and waits for it while the
// event loop runs; its exit code, or -1 when it had to be killed. The child may only make system
// calls: the test's other threads did not come along.
int RunAsOtherUser(const std::function<int()>& beforeSwitch, const std::function<int()>& afterSwitch,
                   const std::function<void()>& meanwhile = {}) {
  const pid_t child = fork();
  if (child == 0) {
    if (const int failed = beforeSwitch(); failed != 0) _exit(failed);
    if (setgroups(0, nullptr) != 0 || setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0) _exit(100);
    _exit(afterSwitch());
  }
  if (meanwhile) meanwhile();
  int status = 0;
  if (!WaitUntil([&] { return waitpid(child, &status, WNOHANG) == child; })) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SingleInstanceTest, TheRunningInstanceTakesNothingFromAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to play a second user";
  SingleInstance running(socketPath, limits);
  ASSERT_EQ(running.Start({}), SingleInstance::Role::Listening) << running.Error().toStdString();
  std::vector<Paths> received;
  QObject::connect(&running, &SingleInstance::PathsReceived, [&](const Paths& paths) { received.push_back(paths); });
  // Opened up, so that only the check of the peer keeps the other user out.
  chmod(dir.Path().c_str(), 0711);
  chmod(socketPath.toLocal8Bit().constData(), 0777);

  const std::string message = Message({"/tmp/planted.wma"});
  const sockaddr_un address = AddressOf(socketPath.toStdString());
  const int result = RunAsOtherUser([] { return 0; },
                                    [&] {
                                      const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
                                      if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
                                        return 3;  // could not even connect: the test is wrong
                                      if (write(fd, message.data(), message.size()) < 0) return 1;
                                      char answer = 0;
                                      return read(fd, &answer, 1) == 1 && answer == '+' ? 0 : 1;
                                    });
  chmod(dir.Path().c_str(), 0700);
  EXPECT_EQ(result, 1) << "0: the paths were taken, 3: no connection";
  WaitUntil([] { return false; }, std::chrono::milliseconds(100));  // whatever was queued
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(running.Connections(), 0u);
}

TEST_F(SingleInstanceTest, ALaterStartHandsNothingToAnotherUsersListener) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to play a second user";
  SingleInstance later(socketPath, limits);
  HeldLock lock(later.LockPath());  // as if that listener were the running Tavisto
  ASSERT_TRUE(lock.Held());
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const sockaddr_un address = AddressOf(socketPath.toStdString());
  int listener = -1;
  std::optional<SingleInstance::Role> role;
  // Its socket file is made as root, in the folder only root may write; it listens as the
  // other user, which is who SO_PEERCRED names to a start that connects.
  const int result = RunAsOtherUser(
      [&] {
        listener = socket(AF_UNIX, SOCK_STREAM, 0);
        return bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : 3;
      },
      [&] {
        if (listen(listener, 4) != 0 || write(ready[1], "r", 1) != 1) return 3;
        const int peer = accept(listener, nullptr, nullptr);
        char buffer[256];
        ssize_t total = 0;
        for (ssize_t length; (length = read(peer, buffer, sizeof buffer)) > 0;) total += length;
        return total == 0 ? 0 : 1;
      },
      [&] {
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        role = later.Start({"/home/me/secret.wma"}, 2000);
      });
  close(ready[0]);
  close(ready[1]);
  EXPECT_EQ(role, SingleInstance::Role::NotAnswered);
  EXPECT_NE(later.Error().toStdString().find("another user"), std::string::npos) << later.Error().toStdString();
  EXPECT_EQ(result, 0) << "1: the other user got the paths";
}

TEST_F(SingleInstanceTest, SilentConnectionsAreClosed) {
  limits.idleMs = 300;
  SingleInstance running(socketPath, limits);
  ASSERT_EQ(running.Start({}), SingleInstance::Role::Listening) << running.Error().toStdString();
  std::vector<Paths> received;
  QObject::connect(&running, &SingleInstance::PathsReceived, [&](const Paths& paths) { received.push_back(paths); });
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"says nothing", ""},
      {"stops in the header", "TAV"},
      {"stops in the names", Message({"/music/a.wma", "/music/b.wma"}).substr(0, 15)},
  };
  for (const Case& c : cases) {
    RawClient client(socketPath);
    ASSERT_TRUE(client.Connected()) << c.what;
    client.Send(c.bytes);
    EXPECT_EQ(client.ReadUntilClosed(), std::string()) << c.what << ": closed without an answer";
    EXPECT_TRUE(WaitUntil([&] { return running.Connections() == 0; })) << c.what;
  }
  EXPECT_EQ(StartLater({"/music/c.wma"}), SingleInstance::Role::HandedOff) << laterError;
  ASSERT_TRUE(WaitUntil([&] { return !received.empty(); }));
  EXPECT_EQ(received, std::vector<Paths>{{"/music/c.wma"}});
}

TEST_F(SingleInstanceTest, AMessageTooLongOrNotAHandOffIsRefusedAsSoonAsItShows) {
  limits.messageBytes = 64 * 1024;
  const auto limit = static_cast<quint32>(limits.messageBytes);
  SingleInstance running(socketPath, limits);
  ASSERT_EQ(running.Start({}), SingleInstance::Role::Listening) << running.Error().toStdString();
  std::vector<Paths> received;
  QObject::connect(&running, &SingleInstance::PathsReceived, [&](const Paths& paths) { received.push_back(paths); });
  Paths atTheLimit;  // 64 names of 1023 bytes, each with its zero byte
  for (int i = 0; i < 64; ++i) atTheLimit.push_back("/" + std::string(1019, 'a' + i % 26) + std::to_string(100 + i));
  constexpr std::size_t kFlood = 64u << 20;
  struct Case {
    const char* what;
    std::string bytes;
    std::size_t filler;  // streamed after `bytes`, as long as the listener takes them
    char answer;
    bool cutShort;  // more than the sockets' buffers hold: the listener closes before the end
  };
  const Case cases[] = {
      {"64 MiB of names announced and sent", HeaderFor(kFlood), kFlood, '-', true},
      {"one byte more than the limit", HeaderFor(limit + 1), limit + 1, '-', false},
      {"the old hand-off, 64 MiB long", HeaderFor(kFlood, "TAV1"), kFlood, '-', true},
      {"a name without its zero byte", HeaderFor(6) + "/a.wma", 0, '-', false},
      {"names up to the limit exactly", Message(atTheLimit), 0, '+', false},
  };
  for (const Case& c : cases) {
    RawClient client(socketPath);
    ASSERT_TRUE(client.Connected()) << c.what;
    qsizetype mostBuffered = 0;
    const std::size_t sent =
        client.Send(c.bytes, c.filler, [&] { mostBuffered = std::max(mostBuffered, running.BufferedBytes()); });
    EXPECT_EQ(client.ReadUntilClosed(), std::string(1, c.answer)) << c.what;
    EXPECT_LE(mostBuffered, limits.messageBytes + 8) << c.what;
    if (c.cutShort) {
      EXPECT_LT(sent, c.bytes.size() + c.filler) << c.what << ": dropped before the end";
    }
    EXPECT_TRUE(WaitUntil([&] { return running.Connections() == 0; })) << c.what;
  }
  ASSERT_TRUE(WaitUntil([&] { return !received.empty(); }));
  EXPECT_EQ(received, std::vector<Paths>{atTheLimit});
}

TEST_F(SingleInstanceTest, ALaterStartWithMoreNamesThanTheLimitIsToldAndTheNextStillArrives) {
  limits.messageBytes = 1024;
  SingleInstance running(socketPath, limits);
  ASSERT_EQ(running.Start({}), SingleInstance::Role::Listening) << running.Error().toStdString();
  std::vector<Paths> received;
  QObject::connect(&running, &SingleInstance::PathsReceived, [&](const Paths& paths) { received.push_back(paths); });
  EXPECT_EQ(StartLater({"/music/" + std::string(600, 'a'), "/music/" + std::string(600, 'b')}),
            SingleInstance::Role::NotAnswered);
  EXPECT_NE(laterError.find("more than"), std::string::npos) << laterError;
  EXPECT_EQ(StartLater({"/music/small.wma"}), SingleInstance::Role::HandedOff) << laterError;
  ASSERT_TRUE(WaitUntil([&] { return !received.empty(); }));
  EXPECT_EQ(received, std::vector<Paths>{{"/music/small.wma"}});
}

TEST_F(SingleInstanceTest, AFloodOfIdleConnectionsNeitherKeepsALaterStartOutNorReplacesTheSocket) {
  SingleInstance running(socketPath, limits);
  ASSERT_EQ(running.Start({}), SingleInstance::Role::Listening) << running.Error().toStdString();
  std::vector<Paths> received;
  QObject::connect(&running, &SingleInstance::PathsReceived, [&](const Paths& paths) { received.push_back(paths); });
  const ino_t socketFile = InodeOf(socketPath.toStdString());
  // Another program of the user's holds connections open and says nothing; this process holds
  // both ends of each while they last.
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  const std::size_t flood = std::min<std::size_t>(1050, (files.rlim_cur - 256) / 2);
  if (flood < 4 * limits.connections) GTEST_SKIP() << "too few file descriptors";
  std::vector<std::unique_ptr<RawClient>> clients;
  for (std::size_t i = 0; i < flood; ++i) {
    clients.push_back(std::make_unique<RawClient>(socketPath));
    ASSERT_TRUE(clients.back()->Connected()) << i;
  }
  EXPECT_EQ(StartLater({"/music/wanted.wma"}), SingleInstance::Role::HandedOff) << laterError;
  ASSERT_TRUE(WaitUntil([&] { return !received.empty(); }));
  EXPECT_EQ(received, std::vector<Paths>{{"/music/wanted.wma"}});
  EXPECT_EQ(InodeOf(socketPath.toStdString()), socketFile) << "the running instance's socket stays";
  EXPECT_LE(running.Connections(), limits.connections);
  std::size_t closed = 0;
  for (const auto& client : clients) closed += client->ClosedByListener() ? 1 : 0;
  EXPECT_GE(closed, flood - limits.connections) << "the longest silent ones made room";
}

// True once each of `names` was opened in the folder that `watch` (inotify, IN_OPEN) watches.
bool WaitForOpens(int watch, std::set<std::string> names, std::chrono::milliseconds limit) {
  const QDeadlineTimer deadline(limit);
  while (!names.empty()) {
    pollfd ready{watch, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(deadline.remainingTime())) <= 0) return false;
    alignas(inotify_event) char buffer[4096];
    const ssize_t length = read(watch, buffer, sizeof buffer);
    for (ssize_t at = 0; at < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->len > 0) names.erase(event->name);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return true;
}

TEST_F(SingleInstanceTest, TheProgramStartedAgainHandsItsFilesToTheRunningOneAndEnds) {
  // Settings of their own, no tips window at start, and a socket file a crash left behind.
  const std::string registry = dir.File("Tavisto.reg");
  setenv("TAVISTO_REGISTRY", registry.c_str(), 1);
  core::SettingsStore store(dir.Path() + "/");
  core::Settings settings = store.Load();
  settings.tips = core::kTipsOff;
  store.Save(settings);
  MakeStaleSocket(socketPath.toStdString());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("TAVISTO_REGISTRY"), QString::fromStdString(registry));
  environment.insert(QStringLiteral("TAVISTO_INSTANCE"), socketPath);
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.Path()));
  environment.insert(QStringLiteral("XDG_STATE_HOME"), QString::fromStdString(dir.Path()));  // its task list

  QProcess first;
  first.setProcessEnvironment(environment);
  first.setProcessChannelMode(QProcess::ForwardedChannels);
  first.start(QStringLiteral(TAVISTO_PROGRAM), {});
  ASSERT_TRUE(first.waitForStarted(10000));
  // Listening once a connection is accepted (the stale file refuses until then).
  const bool listening = WaitUntil([&] {
    if (first.state() == QProcess::NotRunning) return true;
    QLocalSocket probe;
    probe.connectToServer(socketPath);
    return probe.waitForConnected(100);
  });
  ASSERT_TRUE(listening && first.state() == QProcess::Running) << first.exitCode();

  // Files the running one cannot convert, so it reads each of them and goes on to the next.
  const std::string folder = dir.File("media");
  std::filesystem::create_directory(folder);
  const Paths names = {"song one.wav", "Ünïcode ♫.flac"};
  for (const std::string& name : names) std::ofstream(folder + "/" + name) << "not a media file";
  const int watch = inotify_init1(IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(watch, folder.c_str(), IN_OPEN), 0);

  QProcess later;  // from the file manager's folder, with relative names
  later.setProcessEnvironment(environment);
  later.setWorkingDirectory(QString::fromStdString(folder));
  later.setProcessChannelMode(QProcess::ForwardedChannels);
  later.start(QStringLiteral(TAVISTO_PROGRAM), {QString::fromStdString(names[0]), QString::fromStdString(names[1])});
  ASSERT_TRUE(later.waitForFinished(20000));
  EXPECT_EQ(later.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(later.exitCode(), 0);
  EXPECT_TRUE(WaitForOpens(watch, {names.begin(), names.end()}, std::chrono::seconds(30)))
      << "the running program read the files handed to it";
  close(watch);
  EXPECT_EQ(first.state(), QProcess::Running);
  first.kill();
  first.waitForFinished(10000);
}

// Help and version answer on the terminal: no window, no display, no hand-off to a running one.
TEST(StartArguments, HelpAndVersionPrintAndEndWithoutADisplay) {
  TempDir dir;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove(QStringLiteral("DISPLAY"));
  environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
  environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
  environment.insert(QStringLiteral("TAVISTO_INSTANCE"), QString::fromStdString(dir.File("never.socket")));
  const struct {
    QStringList arguments;
    const char* printed;
  } cases[] = {{{QStringLiteral("--help")}, "Usage: tavisto"},
               {{QStringLiteral("song.wma"), QStringLiteral("-h")}, "Usage: tavisto"},
               {{QStringLiteral("--version")}, "tavisto "}};
  for (const auto& c : cases) {
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TAVISTO_PROGRAM), c.arguments);
    ASSERT_TRUE(program.waitForFinished(20000)) << c.printed;
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    EXPECT_TRUE(program.readAllStandardOutput().startsWith(c.printed)) << c.printed;
    EXPECT_FALSE(std::filesystem::exists(dir.File("never.socket")));
  }
}

}  // namespace
