// Conversion runs in the progress window: real WMA files, the real encoder, every message
// answered through the message window's answerer.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <functional>
#include <set>
#include <utility>

#include "core/settings.h"
#include "decoded_audio.h"
#include "engine/mp3_frames.h"
#include "app/message_window.h"
#include "app/progress_window.h"
#include "app/desktop.h"
#include "platform/errtext.h"
#include "platform/paths/tests/test_support.h"

using namespace engine;

namespace {

constexpr std::int64_t kSecond = 10'000'000;  // 100-ns units
const std::string kCancelQuestion = "Are you sure to cancel the converting?";
const std::string kOpenFolderQuestion = "\nWould you like to open the output folder for viewing output files?";
const std::string kCannotConvert = "The following file can NOT be converted.\n";

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

  // Clicks the pause button once the first file is `percent` converted. The output reports its
  // progress while its worker waits, so the pause comes exactly there.
  void PauseAt(int percent) {
    window->mp3Output->onProgress = [this, percent, paused = false](Component*) mutable {
      if (paused || window->taskIndex != 0 || window->mp3Output->Progress() < percent) return;
      paused = true;
      window->pauseButton->click();
    };
  }

  std::vector<std::string> Texts(MessageKind kind) const {
    std::vector<std::string> texts;
    for (const MessageRequest& m : messages)
      if (m.kind == kind) texts.push_back(m.text);
    return texts;
  }

  testsupport::TempDir dir;
  std::unique_ptr<ProgressWindow> window;
  std::vector<MessageRequest> messages;
  int messagesOpen = 0;
  std::function<int(const MessageRequest&)> answer;
  std::vector<std::string> opened;
};

}  // namespace

TEST_F(ProgressRun, ConvertsTheCheckedTasksNumberedAmongTheCheckedAndAPauseBetweenFilesHoldsTheNext) {
  AddTask(Wma("a.wma", 1000, 1), dir.File("a.mp3"), 1, "Song A");
  AddTask(Wma("b.wma", 1500, 1), dir.File("b.mp3"), 1, "Song B").checked = false;
  AddTask(Wma("c.wma", 2000, 1), dir.File("c.mp3"), 1, "Song C");
  const DoneHandler windowsOwn = window->mp3Output->onDone;
  window->mp3Output->onDone = [&](Component* sender) {
    windowsOwn(sender);
    if (window->taskIndex == 0) window->pauseButton->click();  // the next file is 100 ms away
  };
  std::vector<std::string> labels;
  QElapsedTimer paused;
  Poller watch(1, [&] {
    const std::string label = window->fileLabel->text().toStdString();
    if (!label.empty() && (labels.empty() || labels.back() != label)) labels.push_back(label);
    if (window->paused && !paused.isValid()) paused.start();
    if (window->paused && paused.elapsed() > 300) {
      EXPECT_FALSE(std::filesystem::exists(dir.File("c.mp3"))) << "the pause holds the next file";
      window->pauseButton->click();
    }
    return false;
  });
  answer = [](const MessageRequest&) { return 1; };  // open the output folder

  window->StartRun();

  EXPECT_EQ(labels, (std::vector<std::string>{"Current File(1/2): Song A", "Current File(2/2): Song C"}));
  EXPECT_FALSE(window->isVisible());
  for (const auto& [file, frequency] : {std::pair{"a.mp3", 1000}, std::pair{"c.mp3", 2000}}) {
    const auto decoded = testsupport::DecodeAudioFile(dir.File(file));
    ASSERT_TRUE(decoded.ok) << file << ": " << decoded.error;
    EXPECT_NEAR(decoded.seconds(), 1.0, 0.1) << file;
    EXPECT_NEAR(decoded.DominantFrequency(0), frequency, frequency * 0.02) << file;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("b.mp3")));
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
  EXPECT_EQ(messages[0].text, "There is nothing to convert!  \nPlease check the checkbox to select conversting tasks.");
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->stepTimer->isActive());
}

// A bit rate outside the table keeps the one before (the window's own 192 at first).
TEST_F(ProgressRun, EachTaskEncodesWithItsOwnSettingsAndTags) {
  struct Expect {
    int bitrate, sampleRate, channelMode;
    bool vbr;
    int kbps, rateHz, modeBits;
  } expects[] = {{100, 22050, 0, false, 192, 44100, 2},
                 {128, 32000, 1, false, 128, 32000, 0},
                 {100, 48000, 2, false, 128, 48000, 1},
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

TEST_F(ProgressRun, CancelAnsweredNoKeepsThePauseAndYesEndsTheRunLeavingNoPartialFile) {
  AddTask(Wma("long.wma", 1000, 3), dir.File("long.mp3"), 3, "Long");
  AddTask(Wma("next.wma", 1000, 1), dir.File("next.mp3"), 1);
  int cancelAnswer = 2;
  answer = [&](const MessageRequest& m) { return m.text == kCancelQuestion ? cancelAnswer : 2; };
  PauseAt(20);
  Poller script(1, [&] {
    // The worker finishes the block in hand, then holds still.
    if (!window->paused || !window->mp3Output->Holding()) return false;
    const std::int64_t position = window->CurrentInput()->Reader()->StreamPosition();
    window->OnDisplayTimer();
    EXPECT_EQ(window->fileProgressBar->value(), position / 10000);
    EXPECT_EQ(window->totalProgressBar->value(), static_cast<int>(position * 100 / (4 * kSecond)));
    EXPECT_TRUE(window->timeLabel->text().startsWith(QStringLiteral("Time elapsed: 0:00:0")));
    window->close();  // from the title bar: asks, as the cancel button does
    window->titleCancelButton->click();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->mp3Output->Status(), OutputStatus::Paused);
    EXPECT_EQ(window->pauseButton->text(), QStringLiteral("&Resume"));
    cancelAnswer = 1;
    window->cancelButton->click();
    return true;
  });

  window->StartRun();

  EXPECT_EQ(Texts(MessageKind::Question), std::vector<std::string>(3, kCancelQuestion));
  EXPECT_EQ(Texts(MessageKind::Information), std::vector<std::string>{"User has canceled the converting." + kOpenFolderQuestion});
  EXPECT_FALSE(std::filesystem::exists(dir.File("next.mp3"))) << "no file starts after a cancel";
  std::set<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) left.insert(entry.path().filename());
  EXPECT_EQ(left, (std::set<std::string>{"long.wma", "next.wma"})) << "the cancelled file is not left, whole or hidden";
}

// Every failed file is reported with its reason and counted at the end; the run goes on. A
// failure that comes in while the cancel question is open is reported after the answer.
TEST_F(ProgressRun, FilesThatCannotBeConvertedAreReportedAndTheOthersStillConvert) {
  const std::string good = Wma("good.wma", 1000, 1), missing = dir.File("missing.wma");
  const std::string damaged = dir.File("damaged.wma");
  media_fixtures::WriteBytes(damaged, media_fixtures::RandomBytes(20000, 7));
  const std::string longer = Wma("longer.wma", 1000, 8);
  AddTask(good, dir.File("first.mp3"), 1);
  AddTask(missing, dir.File("missing.mp3"), 1);
  AddTask(good, dir.File("no/folder/out.mp3"), 1);
  AddTask(longer, dir.File("longer.mp3"), 8);  // fills the small "disk" below on the worker
  AddTask(damaged, dir.File("damaged.mp3"), 1);
  AddTask(good, good, 1);
  AddTask(good, dir.File("last.mp3"), 1);
  // The user asks to cancel just before the first failure of the output reaches the window,
  // and answers once it has come in.
  const ErrorHandler windowsOwn = window->mp3Output->onError;
  window->mp3Output->onError = [&, asked = false](Component* sender, const std::exception& e) mutable {
    if (!std::exchange(asked, true))
      QMetaObject::invokeMethod(window->cancelButton, &QPushButton::click, Qt::QueuedConnection);
    windowsOwn(sender, e);
  };
  answer = [&](const MessageRequest& m) {
    QElapsedTimer open;
    open.start();
    while (m.kind == MessageKind::Question && window->Failures().size() < 2 && open.elapsed() < 5000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return 2;
  };

  {
    // Room for the one-second files, not for the eight-second one.
    platform::testing::ScopedFileSizeLimit smallDisk(100 * 1024);
    window->StartRun();
  }

  std::vector<std::string> failed = {missing, good, longer, damaged, good};
  std::vector<std::string> reasons = {"No such file or directory", "File too large", "",
                                      "The output file is the source file itself."};
  ASSERT_EQ(Texts(MessageKind::Question), std::vector<std::string>{kCancelQuestion});
  EXPECT_EQ(messages[1].kind, MessageKind::Question) << "the failure that came in meanwhile follows the answer";
  const auto errors = Texts(MessageKind::Error);
  ASSERT_EQ(errors.size(), failed.size()) << "the missing source is reported once, at the start";
  EXPECT_EQ(errors[0], platform::SystemErrorText(110) + "\n" + missing);
  for (std::size_t i = 1; i < errors.size(); ++i) {
    EXPECT_EQ(errors[i].rfind(kCannotConvert + failed[i] + "\n", 0), 0u) << errors[i];
    EXPECT_NE(errors[i].find(reasons[i - 1]), std::string::npos) << errors[i];
  }
  std::string end = std::to_string(failed.size()) + " files could not be converted:";
  for (const std::string& f : failed) end += "\n" + f;
  EXPECT_EQ(Texts(MessageKind::Warning), std::vector<std::string>{end + kOpenFolderQuestion});
  for (const char* file : {"first.mp3", "last.mp3"}) EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File(file)).ok);
  EXPECT_FALSE(std::filesystem::exists(dir.File("longer.mp3"))) << "a file the disk could not hold is not left";
  EXPECT_TRUE(testsupport::DecodeAudioFile(good).ok) << "the source was not overwritten";
}

// The offscreen desktop, like some real ones, has no notification area.
TEST_F(ProgressRun, WithoutANotificationAreaHidingMinimisesBothWindowsAndEitherOneBringsBothBack) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
  QWidget mainWindow;
  mainWindow.show();
  window->SetMainWindow(&mainWindow);
  AddTask(Wma("a.wma", 1000, 3), dir.File("a.mp3"), 3);
  bool shownAtTheEnd = false;
  answer = [&](const MessageRequest&) {
    shownAtTheEnd = !mainWindow.isMinimized() && !window->isMinimized();
    return 2;
  };
  PauseAt(10);
  // A step per turn of the loop: the desktop reports each change of state back later.
  const std::vector<std::function<void()>> steps = {
      [&] { window->hideButton->click(); },
      [&] {
        EXPECT_TRUE(mainWindow.isMinimized() && window->isMinimized());
        mainWindow.setWindowState(mainWindow.windowState() & ~Qt::WindowMinimized);
      },
      [&] {
        EXPECT_FALSE(window->isMinimized()) << "restoring the main window brings the run back";
        window->titleHideButton->click();
      },
      [&] { window->setWindowState(window->windowState() & ~Qt::WindowMinimized); },
      [&] {
        EXPECT_FALSE(mainWindow.isMinimized()) << "restoring the run brings the main window back";
        window->hide();  // as hiding to a real tray leaves things
        mainWindow.hide();
        window->trayIcon->show();
        window->OnTrayIconClicked();
        EXPECT_TRUE(mainWindow.isVisible() && window->isVisible() && !window->trayIcon->isVisible());
        window->hideButton->click();  // and the run ends minimised
        window->pauseButton->click();
      }};
  std::size_t step = 0;
  Poller script(20, [&] {
    QCoreApplication::processEvents();
    if (!window->paused && step == 0) return false;
    steps[step++]();
    return step == steps.size();
  });

  window->StartRun();

  EXPECT_TRUE(shownAtTheEnd) << "the end of the run is shown, not left minimised";
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
