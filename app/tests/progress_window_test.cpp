// Conversion runs in the progress window: real WMA files, the real encoder, several files at
// once, every message answered through the message window's answerer.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QMenu>
#include <QTimer>
#include <QListWidget>

#include <filesystem>
#include <functional>
#include <set>
#include <utility>

#include "core/settings.h"
#include "decoded_audio.h"
#include "engine/mp3_frames.h"
#include "app/message_window.h"
#include "app/progress_window.h"
#include "app/collision_dialog.h"
#include "app/desktop.h"
#include "platform/errtext.h"
#include "platform/paths/tests/test_support.h"

using namespace engine;

namespace {

constexpr std::int64_t kSecond = 10'000'000;  // 100-ns units
const std::string kCancelQuestion = "Are you sure you want to cancel the conversion?";
const std::string kOpenFolderQuestion = "\nWould you like to open the output folder to see the converted files?";

// Runs `step` every `ms` milliseconds while the run's loop turns, until it returns true.
class Poller {
 public:
  Poller(int ms, std::function<bool()> step) : step_(std::move(step)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (step_()) timer_.stop();
    });
    timer_.start(ms);
  }

 private:
  std::function<bool()> step_;
  QTimer timer_;
};

// The channel-mode bits of the first MPEG audio frame (0 stereo, 1 joint, 2 dual, 3 mono).
int FirstFrameMode(const std::vector<std::uint8_t>& bytes) {
  for (std::size_t i = Id3v2TagSize(bytes.data(), bytes.size()).value_or(0); i + 4 <= bytes.size(); ++i)
    if (IsFrameHeader(&bytes[i], bytes.size() - i)) return bytes[i + 3] >> 6;
  return -1;
}

class ProgressRun : public ::testing::Test {
 protected:
  void SetUp() override {
    Tasks.Clear();
    DefaultSettings.outputFileDir = dir.Path() + "/";
    DefaultSettings.jobs = 2;
    SetMessageAnswerer([this](const MessageRequest& request) {
      // The one message window cannot show a second message while it shows one.
      EXPECT_EQ(messagesOpen, 0) << "\"" << request.text << "\" asked over another message";
      messages.push_back(request);
      ++messagesOpen;
      const int result = answer ? answer(request) : 2;
      --messagesOpen;
      return result;
    });
    SetDesktopOpener([this](const QUrl& url) { opened.push_back(url.toLocalFile().toStdString()); });
    window = std::make_unique<ProgressWindow>();
    // A run that hangs fails here rather than at the test's time-out.
    QTimer::singleShot(30000, window.get(), [] {
      ADD_FAILURE() << "the run did not end within 30 seconds";
      std::abort();
    });
  }
  void TearDown() override {
    window.reset();
    SetMessageAnswerer({});
    SetCollisionAnswerer({});
    SetDesktopOpener({});
    Tasks.Clear();
  }

  std::string Wma(const std::string& name, int frequency, double seconds) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(media_fixtures::Ffmpeg(media_fixtures::SineInput(frequency, 44100, seconds) + " -ac 2 -c:a wmav2", path));
    return path;
  }

  ConversionTask& AddTask(const std::string& source, const std::string& output, double seconds,
                           const std::string& title = "Title") {
    ConversionTask task;
    task.sourceFile = source;
    task.outputFile = output;
    task.duration = static_cast<std::int64_t>(seconds * kSecond);
    task.sampleRate = 44100;
    task.channelMode = 2;
    task.bitrate = 192;
    task.title = title;
    task.checked = true;
    return Tasks[Tasks.Append(task)];
  }

  // Clicks the pause button once task `task` is `percent` converted.
  void PauseAt(int task, int percent) {
    pauser = std::make_unique<Poller>(1, [this, task, percent] {
      if (window->TaskPercent(task) < percent) return false;
      window->pauseButton->click();
      return true;
    });
  }

  std::vector<std::string> Texts(MessageKind kind) const {
    std::vector<std::string> texts;
    for (const MessageRequest& m : messages)
      if (m.kind == kind) texts.push_back(m.text);
    return texts;
  }
  // The names in the folder, hidden temporary files included.
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) names.insert(entry.path().filename());
    return names;
  }

  testsupport::TempDir dir;
  std::unique_ptr<ProgressWindow> window;
  std::unique_ptr<Poller> pauser;
  std::vector<MessageRequest> messages;
  int messagesOpen = 0;
  std::function<int(const MessageRequest&)> answer;
  std::vector<std::string> opened;
};

}  // namespace

// The checked tasks convert two at a time; the task list's record of each follows: a converted
// task is unchecked and done, with the size of its MP3. Pausing shows plainly and holds.
TEST_F(ProgressRun, ConvertsTheCheckedTasksSideBySideAndRecordsEachTask) {
  AddTask(Wma("a.wma", 1000, 6), dir.File("a.mp3"), 6, "Song A");
  AddTask(Wma("b.wma", 1500, 1), dir.File("b.mp3"), 1, "Song B").checked = false;
  AddTask(Wma("c.wma", 2000, 6), dir.File("c.mp3"), 6, "Song C");
  AddTask(Wma("d.wma", 500, 1), dir.File("d.mp3"), 1, "Song D");
  std::set<int> changed;
  QObject::connect(window.get(), &ProgressWindow::taskChanged, [&](int task) { changed.insert(task); });
  std::size_t mostRows = 0;
  bool pausedShown = false;
  PauseAt(0, 30);
  Poller watch(1, [&] {
    const ConversionRun* run = window->Run();
    if (run == nullptr) return false;
    mostRows = std::max(mostRows, run->Converting().size());
    if (run->Paused() && run->Holding()) {
      pausedShown = window->pausedLabel->isVisible() && window->windowTitle().startsWith(QStringLiteral("Paused")) &&
                    window->pauseButton->text() == QStringLiteral("&Resume");
      EXPECT_FALSE(std::filesystem::exists(dir.File("d.mp3"))) << "nothing starts while paused";
      window->pauseButton->click();
      return true;
    }
    return false;
  });
  answer = [](const MessageRequest&) { return 1; };  // open the output folder

  window->StartRun();

  EXPECT_TRUE(pausedShown);
  EXPECT_EQ(mostRows, 2u);
  EXPECT_EQ(window->FileRows().size(), 2u);
  EXPECT_FALSE(window->isVisible());
  for (const auto& [file, frequency] : {std::pair{"a.mp3", 1000}, std::pair{"c.mp3", 2000}, std::pair{"d.mp3", 500}}) {
    const auto decoded = testsupport::DecodeAudioFile(dir.File(file));
    ASSERT_TRUE(decoded.ok) << file << ": " << decoded.error;
    EXPECT_NEAR(decoded.DominantFrequency(0), frequency, frequency * 0.02) << file;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("b.mp3")));
  for (int task : {0, 2, 3}) {
    EXPECT_EQ(Tasks[task].state, TaskState::Done) << task;
    EXPECT_FALSE(Tasks[task].checked) << task;
    EXPECT_GT(Tasks[task].outputBytes, 10000) << task;
  }
  EXPECT_EQ(Tasks[1].state, TaskState::Ready) << "an unchecked task is left alone";
  EXPECT_EQ(changed, (std::set<int>{0, 2, 3}));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, MessageKind::Information);
  EXPECT_EQ(messages[0].text, "All files have been converted successfully." + kOpenFolderQuestion);
  EXPECT_EQ(opened, std::vector<std::string>{dir.Path() + "/"});
}

TEST_F(ProgressRun, WithNoCheckedTaskItSaysSoAndShowsNoWindow) {
  AddTask(Wma("a.wma", 1000, 1), dir.File("a.mp3"), 1).checked = false;
  window->StartRun();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, MessageKind::Question);
  EXPECT_EQ(messages[0].text, "There is nothing to convert.\nPlease check the tasks you want to convert.");
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->Run(), nullptr);
}

// A bit rate outside the table gives the program's 192 kbps.
TEST_F(ProgressRun, EachTaskEncodesWithItsOwnSettingsAndTags) {
  struct Expect {
    int bitrate, sampleRate, channelMode;
    bool vbr;
    int kbps, rateHz, modeBits;
  } expects[] = {{100, 22050, 0, false, 192, 44100, 2},
                 {128, 32000, 1, false, 128, 32000, 0},
                 {100, 48000, 2, false, 192, 48000, 1},
                 {160, 44100, 3, true, 0, 44100, 3}};
  const std::string source = Wma("tone.wma", 1000, 1);
  for (std::size_t i = 0; i < std::size(expects); ++i) {
    ConversionTask& task = AddTask(source, dir.File(std::to_string(i) + ".mp3"), 1, "Title " + std::to_string(i));
    task.bitrate = expects[i].bitrate;
    task.sampleRate = expects[i].sampleRate;
    task.channelMode = expects[i].channelMode;
    task.vbr = expects[i].vbr;
    task.vbrMinBitrate = 96;
    task.vbrMaxBitrate = 192;
    task.artist = "Artist";
    task.genre = "Jazz";
  }

  window->StartRun();

  for (std::size_t i = 0; i < std::size(expects); ++i) {
    SCOPED_TRACE("task " + std::to_string(i));
    const std::string file = dir.File(std::to_string(i) + ".mp3");
    const auto bytes = testsupport::ReadBytes(file);
    EXPECT_EQ(testsupport::DecodeAudioFile(file).sampleRate, expects[i].rateHz);
    EXPECT_EQ(FirstFrameMode(bytes), expects[i].modeBits);
    const auto walk = testsupport::WalkFrames(bytes);
    ASSERT_TRUE(walk.clean && walk.bitrates.size() > 1);
    if (expects[i].vbr) {
      EXPECT_EQ(testsupport::ReadXingTag(bytes).name, "Xing");
    } else {
      EXPECT_EQ(std::set<int>(walk.bitrates.begin() + 1, walk.bitrates.end()), std::set<int>{expects[i].kbps});
    }
    const auto tag = testsupport::ReadId3v1(bytes);
    EXPECT_EQ(tag.title, "Title " + std::to_string(i));
    EXPECT_EQ(tag.artist, "Artist");
    EXPECT_EQ(tag.genre, 8);  // Jazz
  }
}

// Cancel asked and answered No goes on; Yes ends the run, and the files that were converting
// leave nothing behind, whole or hidden.
TEST_F(ProgressRun, CancelAnsweredNoGoesOnAndYesEndsTheRunLeavingNoPartialFile) {
  AddTask(Wma("long.wma", 1000, 20), dir.File("long.mp3"), 20, "Long");
  AddTask(Wma("other.wma", 1000, 20), dir.File("other.mp3"), 20, "Other");
  AddTask(Wma("next.wma", 1000, 1), dir.File("next.mp3"), 1);
  const std::set<std::string> sources = Files();
  int cancelAnswer = 2;
  answer = [&](const MessageRequest& m) {
    if (m.text != kCancelQuestion) return 2;
    EXPECT_EQ(m.defaultButton, DefaultButton::Second) << "Enter must not cancel a run";
    return cancelAnswer;
  };
  Poller script(1, [&] {
    if (window->TaskPercent(0) < 5) return false;
    window->close();  // from the title bar: asks, as the cancel button does
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->Run()->Cancelled());
    cancelAnswer = 1;
    window->cancelButton->click();
    return true;
  });

  window->StartRun();

  EXPECT_EQ(Texts(MessageKind::Question), std::vector<std::string>(2, kCancelQuestion));
  EXPECT_EQ(Texts(MessageKind::Information), std::vector<std::string>{"The conversion was cancelled." + kOpenFolderQuestion});
  EXPECT_EQ(Files(), sources) << "no file is left by the cancelled run, whole or hidden";
  for (int task = 0; task < 3; ++task) EXPECT_EQ(Tasks[task].state, TaskState::Cancelled) << task;
}

// A file that fails never waits for the user: it goes into the list of problems and the run
// goes on at once; the end names every failed file with its reason.
TEST_F(ProgressRun, AFailedFileWaitsForNobodyAndTheEndNamesEachFailureWithItsReason) {
  const std::string good = Wma("good.wma", 1000, 1), missing = dir.File("missing.wma");
  const std::string damaged = dir.File("damaged.wma");
  media_fixtures::WriteBytes(damaged, media_fixtures::RandomBytes(20000, 7));
  const std::string longer = Wma("longer.wma", 1000, 8);
  AddTask(good, dir.File("first.mp3"), 1);
  AddTask(missing, dir.File("missing.mp3"), 1);
  media_fixtures::WriteBytes(dir.File("blocker"), {'x'});  // a file where a folder would have to be
  AddTask(good, dir.File("blocker/out.mp3"), 1);
  AddTask(longer, dir.File("longer.mp3"), 8);  // fills the small "disk" below on the worker
  AddTask(damaged, dir.File("damaged.mp3"), 1);
  AddTask(good, good, 1);
  AddTask(good, dir.File("last.mp3"), 1);
  AddTask(good, dir.File("made/for it/out.mp3"), 1);  // a folder that went missing is made again
  {
    // Room for the one-second files, not for the eight-second one.
    platform::testing::ScopedFileSizeLimit smallDisk(100 * 1024);
    window->StartRun();
  }

  const std::vector<std::pair<std::string, std::string>> failed = {
      {missing, "No such file or directory"},
      {good, "Cannot create the folder"},
      {longer, "File too large"},
      {damaged, "Invalid data found when processing input"},
      {good, "The output file is the source file itself."}};
  ASSERT_EQ(messages.size(), 1u) << "only the end question: no failure waited for an answer";
  EXPECT_EQ(messages[0].kind, MessageKind::Warning);
  EXPECT_EQ(messages[0].text.rfind("5 files could not be converted:\n", 0), 0u) << messages[0].text;
  for (const auto& [file, reason] : failed) {
    EXPECT_NE(messages[0].text.find(file + ": "), std::string::npos) << file;
    EXPECT_NE(messages[0].text.find(reason), std::string::npos) << reason;
  }
  EXPECT_EQ(window->problemsList->count(), 5);
  EXPECT_TRUE(window->problemsList->item(0)->text().startsWith(QStringLiteral("missing.wma: ")));
  for (int task : {1, 2, 3, 4, 5}) {
    EXPECT_EQ(Tasks[task].state, TaskState::Failed) << task;
    EXPECT_TRUE(Tasks[task].checked) << "a failed task stays checked for the next Start";
  }
  for (const char* file : {"first.mp3", "last.mp3", "made/for it/out.mp3"}) EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File(file)).ok);
  EXPECT_FALSE(std::filesystem::exists(dir.File("longer.mp3"))) << "a file the disk could not hold is not left";
  EXPECT_TRUE(testsupport::DecodeAudioFile(good).ok) << "the source was not overwritten";
}

// Outputs that exist already are asked about once when the user says "the same for the rest".
TEST_F(ProgressRun, AnAnswerForTheRestIsAskedOnce) {
  const std::string source = Wma("tone.wma", 1000, 1);
  for (int i = 0; i < 3; ++i) {
    const std::string output = dir.File(std::to_string(i) + ".mp3");
    media_fixtures::WriteBytes(output, {'o', 'l', 'd'});
    AddTask(source, output, 1);
  }
  std::vector<std::string> asked;
  SetCollisionAnswerer([&](const std::string& output) {
    asked.push_back(output);
    return CollisionReply{CollisionAnswer::Skip, true};
  });
  window->StartRun();
  EXPECT_EQ(asked, std::vector<std::string>{dir.File("0.mp3")});
  for (int task = 0; task < 3; ++task) {
    EXPECT_EQ(Tasks[task].state, TaskState::Skipped) << task;
    EXPECT_EQ(testsupport::ReadBytes(dir.File(std::to_string(task) + ".mp3")).size(), 3u);
  }
}

// The end question shows above the window of the run, which is not made to stay on top of
// everything else: it cannot end up behind it.
TEST_F(ProgressRun, TheEndQuestionShowsAboveTheRunsWindow) {
  AddTask(Wma("a.wma", 1000, 1), dir.File("a.mp3"), 1);
  QWidget* owner = nullptr;
  answer = [&](const MessageRequest& m) {
    owner = m.owner;
    return 2;
  };
  window->StartRun();
  EXPECT_EQ(owner, window.get());
  EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

// The offscreen desktop, like some real ones, has no notification area.
TEST_F(ProgressRun, WithoutANotificationAreaHidingMinimisesBothWindowsAndEitherOneBringsBothBack) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
  std::vector<QString> notified;
  ProgressWindow::SetNotifier([&notified](const QString& title, const QString& text) {
    notified.push_back(title + QStringLiteral(" / ") + text);
  });
  QWidget mainWindow;
  mainWindow.show();
  window->SetMainWindow(&mainWindow);
  AddTask(Wma("a.wma", 1000, 3), dir.File("a.mp3"), 3);
  bool shownAtTheEnd = false;
  answer = [&](const MessageRequest&) {
    shownAtTheEnd = !mainWindow.isMinimized() && !window->isMinimized();
    return 2;
  };
  PauseAt(0, 10);
  // A step per turn of the loop: the desktop reports each change of state back later.
  const std::vector<std::function<void()>> steps = {
      [&] { window->hideButton->click(); },
      [&] {
        EXPECT_TRUE(mainWindow.isMinimized() && window->isMinimized());
        mainWindow.setWindowState(mainWindow.windowState() & ~Qt::WindowMinimized);
      },
      [&] {
        EXPECT_FALSE(window->isMinimized()) << "restoring the main window brings the run back";
        window->hideButton->click();
      },
      [&] { window->setWindowState(window->windowState() & ~Qt::WindowMinimized); },
      [&] {
        EXPECT_FALSE(mainWindow.isMinimized()) << "restoring the run brings the main window back";
        window->hide();  // as hiding to a real tray leaves things
        mainWindow.hide();
        window->trayIcon->show();
        window->OnTrayIconClicked();
        EXPECT_TRUE(mainWindow.isVisible() && window->isVisible() && !window->trayIcon->isVisible());
        window->hideButton->click();  // and the run ends minimised, resumed from the tray's menu
        EXPECT_EQ(window->pauseAction->text(), QStringLiteral("&Resume"));
        window->pauseAction->trigger();
      }};
  std::size_t step = 0;
  Poller script(20, [&] {
    QCoreApplication::processEvents();
    if (step == 0 && (window->Run() == nullptr || !window->Run()->Paused())) return false;
    steps[step++]();
    return step == steps.size();
  });

  window->StartRun();

  EXPECT_TRUE(shownAtTheEnd) << "the end of the run is shown, not left minimised";
  EXPECT_EQ(notified, std::vector<QString>{QStringLiteral("Conversion finished / Converted: 1")});
  ProgressWindow::SetNotifier({});
  EXPECT_EQ(window->trayMenu->actions().size(), 3);
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("a.mp3")).ok);
}

TEST(ProgressWindow, WithoutTheEncoderLibraryItCannotBeCreatedAndSaysWhy) {
  setenv("TAVISTO_LAME_LIBRARY", "libmp3lame-missing.so.0", 1);
  try {
    ProgressWindow window;
    ADD_FAILURE() << "the window was created without an encoder";
  } catch (const PipelineError& e) {
    EXPECT_STREQ(e.what(), "libmp3lame-missing.so.0 library could not be loaded.");
  }
  unsetenv("TAVISTO_LAME_LIBRARY");
}
