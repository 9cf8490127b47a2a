// One Tavisto per user: the command line's paths, the hand-off of paths to the running instance
// (in this process, with the sending start on a thread of its own) over the socket file a crashed
// instance left, and the real program started twice.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <set>

#include "app/single_instance.h"
#include "core/settings.h"
#include "platform/mmstream/tests/media_fixtures.h"

using media_fixtures::TempDir;
using Paths = std::vector<std::string>;

namespace {

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

// A socket file with nobody behind it, as a killed program leaves it.
void MakeStaleSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

struct SingleInstanceTest : ::testing::Test {
  TempDir dir;
  QString socketPath = QString::fromStdString(dir.File("instance"));

  // A later start on a thread of its own, which blocks while this thread serves the running
  // instance's event loop; its role once it is done.
  std::optional<SingleInstance::Role> StartLater(const Paths& paths, int timeoutMs = 10000) {
    std::future<SingleInstance::Role> role = std::async(std::launch::async, [&] {
      SingleInstance later(socketPath);
      return later.Start(paths, timeoutMs);
    });
    if (!WaitUntil([&] { return role.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }))
      return std::nullopt;
    return role.get();
  }
};

TEST_F(SingleInstanceTest, HandedOffPathsArriveIntactAndInOrderOverAStaleSocketFile) {
  MakeStaleSocket(socketPath.toStdString());
  SingleInstance running(socketPath);
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
  for (const Paths& paths : batches) EXPECT_EQ(StartLater(paths), SingleInstance::Role::HandedOff);
  ASSERT_TRUE(WaitUntil([&] { return received.size() == batches.size(); }));
  EXPECT_EQ(received, batches);
}

TEST_F(SingleInstanceTest, AnInstanceThatNeverAnswersIsNotReplaced) {
  QLocalServer mute;  // accepts and reads nothing
  ASSERT_TRUE(mute.listen(socketPath));
  EXPECT_EQ(StartLater({"/d.wma"}, 300), SingleInstance::Role::NotAnswered);
  QLocalSocket again;
  again.connectToServer(socketPath);
  EXPECT_TRUE(again.waitForConnected(5000)) << "the socket still leads to the first instance";
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
  LoadSettings();
  TipIndex = TipsOff;
  SaveSettings();
  MakeStaleSocket(socketPath.toStdString());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("TAVISTO_REGISTRY"), QString::fromStdString(registry));
  environment.insert(QStringLiteral("TAVISTO_INSTANCE"), socketPath);
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.Path()));

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

}  // namespace
