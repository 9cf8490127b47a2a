// Conversion runs in the progress window: real WMA files, the real encoder, every message
// answered through the message window's answerer.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>

#include "app/common.h"
#include "app/settings.h"
#include "decoded_audio.h"
#include "engine/mp3_frames.h"
#include "engine/msgbox.h"
#include "engine/progress.h"
#include "engine/shell.h"
#include "platform/errtext.h"

using namespace engine;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;

namespace {

constexpr std::int64_t kSecond = 10'000'000;  // 100-ns units

// Runs `step` every `ms` milliseconds while the run's loop turns, until it returns true.
class Poller {
 public:
  Poller(int ms, std::function<bool()> step) : step_(std::move(step)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (step_()) timer_.stop();
    });
    timer_.start(ms);
  }
  bool Finished() const { return !timer_.isActive(); }

 private:
  std::function<bool()> step_;
  QTimer timer_;
};

// The channel-mode bits of the first MPEG audio frame: 0 stereo, 1 joint stereo, 2 dual
// channel, 3 mono; -1 when there is no frame.
int FirstFrameMode(const std::vector<std::uint8_t>& bytes) {
  const auto tag = Id3v2TagSize(bytes.data(), bytes.size());
  for (std::size_t i = tag.value_or(0); i + 4 <= bytes.size(); ++i) {
    if (IsFrameHeader(&bytes[i], bytes.size() - i)) return bytes[i + 3] >> 6;
  }
  return -1;
}

class ProgressRun : public ::testing::Test {
 protected:
  void SetUp() override {
    Tasks.Clear();
    DefaultSettings.OutputFileDir = dir.Path() + "/";
    SetMessageAnswerer([this](const MessageRequest& request) {
      // The one message window cannot show a second message while it shows one.
      EXPECT_EQ(messagesOpen, 0) << "asked to show \"" << request.text << "\" over another message";
      messages.push_back(request);
      ++messagesOpen;
      const int result = answer ? answer(request) : 2;
      --messagesOpen;
      return result;
    });
    SetDesktopOpener([this](const QUrl& url) { opened.push_back(url.toLocalFile().toStdString()); });
    window = std::make_unique<TprgFrm>();
    // A run that hangs fails here instead of at the test's time-out.
    QTimer::singleShot(30000, [] {
      std::fprintf(stderr, "the run did not end within 30 seconds\n");
      std::abort();
    });
  }
  void TearDown() override {
    window.reset();
    SetMessageAnswerer({});
    SetDesktopOpener({});
    Tasks.Clear();
  }

  // A stereo WMA sine tone.
  std::string Wma(const std::string& name, int frequency, double seconds, int rate = 44100) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(Ffmpeg(SineInput(frequency, rate, seconds) + " -ac 2 -c:a wmav2 -b:a 128k", path)) << path;
    return path;
  }

  // A checked task with the program's default settings.
  TConversionTask& AddTask(const std::string& source, const std::string& output, double seconds,
                           const std::string& title) {
    TConversionTask task;
    task.SourceFile = source;
    task.OutputFile = output;
    task.Duration = static_cast<std::int64_t>(seconds * kSecond);
    task.SampleRate = 44100;
    task.ChannelMode = 2;
    task.Bitrate = 192;
    task.VbrMinBitrate = 128;
    task.VbrMaxBitrate = 256;
    task.Title = title;
    task.Checked = true;
    return Tasks[Tasks.Append(task)];
  }

  // Pauses the run with its pause button once the first file is `percent` converted. The output
  // reports its progress while its worker waits, so the pause comes exactly there.
  void PauseAt(int percent) {
    window->MP3Out->OnProgress = [this, percent, paused = false](TComponent*) mutable {
      if (paused || window->TaskIndex != 0 || window->MP3Out->Progress() < percent) return;
      paused = true;
      window->pauseBtn->click();
    };
  }

  // The texts of the given kind of message, in order.
  std::vector<std::string> Texts(int kind) const {
    std::vector<std::string> texts;
    for (const MessageRequest& m : messages)
      if (m.kind == kind) texts.push_back(m.text);
    return texts;
  }

  testsupport::TempDir dir;
  std::unique_ptr<TprgFrm> window;
  std::vector<MessageRequest> messages;
  int messagesOpen = 0;
  std::function<int(const MessageRequest&)> answer;
  std::vector<std::string> opened;
};

const std::string kOpenFolderQuestion = "\nWould you like to open the output folder for viewing output files?";

}  // namespace

TEST_F(ProgressRun, ConvertsOnlyTheCheckedTasksInListOrderNumberedAmongTheChecked) {
  const std::string a = Wma("a.wma", 1000, 1.5), b = Wma("b.wma", 1500, 1), c = Wma("c.wma", 2000, 1.5);
  AddTask(a, dir.File("a.mp3"), 1.5, "Song A");
  AddTask(b, dir.File("b.mp3"), 1, "Song B").Checked = false;
  AddTask(c, dir.File("c.mp3"), 1.5, "Song C");
  std::vector<std::string> fileLabels;
  bool shownWhileConverting = false;
  Poller watch(2, [&] {
    const std::string label = window->fileLabel->text().toStdString();
    if (!label.empty() && (fileLabels.empty() || fileLabels.back() != label)) fileLabels.push_back(label);
    shownWhileConverting |= window->isVisible() && window->isModal();
    return false;
  });
  answer = [](const MessageRequest&) { return 1; };  // open the output folder

  window->StartRun();

  EXPECT_EQ(fileLabels, (std::vector<std::string>{"Current File(1/2): Song A", "Current File(2/2): Song C"}));
  EXPECT_TRUE(shownWhileConverting);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->Running());
  EXPECT_EQ(window->totalPrgBar->value(), 100);
  for (const auto& [file, frequency] : {std::pair{"a.mp3", 1000}, std::pair{"c.mp3", 2000}}) {
    const auto decoded = testsupport::DecodeAudioFile(dir.File(file));
    ASSERT_TRUE(decoded.ok) << file << ": " << decoded.error;
    EXPECT_NEAR(decoded.seconds(), 1.5, 0.1) << file;
    EXPECT_NEAR(decoded.DominantFrequency(0), frequency, frequency * 0.02) << file;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("b.mp3"))) << "an unchecked task is not converted";
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, mkInformation);
  EXPECT_EQ(messages[0].text, "All files have been converted successfully." + kOpenFolderQuestion);
  EXPECT_EQ(messages[0].firstCaption, "&Yes");
  EXPECT_EQ(messages[0].secondCaption, "&No");
  EXPECT_EQ(opened, std::vector<std::string>{dir.Path() + "/"});
}

TEST_F(ProgressRun, WithNoCheckedTaskItSaysSoAndShowsNoWindow) {
  AddTask(Wma("a.wma", 1000, 1), dir.File("a.mp3"), 1, "A").Checked = false;

  window->StartRun();

  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, mkQuestion);
  EXPECT_EQ(messages[0].text,
            "There is nothing to convert!  \nPlease check the checkbox to select conversting tasks.");
  EXPECT_EQ(messages[0].firstCaption, "&OK");
  EXPECT_EQ(messages[0].secondCaption, "&Help");
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->Timer1->isActive());
  EXPECT_FALSE(std::filesystem::exists(dir.File("a.mp3")));
}

// Each task's settings reach its MP3 file; a bit rate outside the table keeps the one before.
TEST_F(ProgressRun, EachTaskEncodesWithItsOwnSettingsAndTags) {
  struct Expect {
    int bitrate, sampleRate, channelMode;
    bool vbr;
    int kbps;     // of the audio frames; 0 for variable
    int rateHz;   // of the MP3
    int modeBits; // in the frame headers
  } expects[] = {
      {100, 22050, 0, false, 192, 44100, 2},   // not a table rate: the window's initial 192 stays
      {128, 32000, 1, false, 128, 32000, 0},
      {100, 48000, 2, false, 128, 48000, 1},   // keeps the previous task's 128
      {160, 44100, 3, true, 0, 44100, 3},
  };
  const std::string source = Wma("tone.wma", 1000, 1);
  for (std::size_t i = 0; i < std::size(expects); ++i) {
    TConversionTask& task = AddTask(source, dir.File("out" + std::to_string(i) + ".mp3"), 1, "Title " + std::to_string(i));
    task.Bitrate = expects[i].bitrate;
    task.SampleRate = expects[i].sampleRate;
    task.ChannelMode = expects[i].channelMode;
    task.Vbr = expects[i].vbr;
    task.VbrMinBitrate = 96;
    task.VbrMaxBitrate = 192;
    task.Artist = "Artist " + std::to_string(i);
    task.Album = "Album";
    task.Year = "2004";
    task.Comment = "Comment";
    task.Genre = "Jazz";
  }

  window->StartRun();
  ASSERT_TRUE(window->Failures().empty());

  for (std::size_t i = 0; i < std::size(expects); ++i) {
    SCOPED_TRACE("task " + std::to_string(i));
    const Expect& e = expects[i];
    const std::string file = dir.File("out" + std::to_string(i) + ".mp3");
    const auto bytes = testsupport::ReadBytes(file);
    const auto decoded = testsupport::DecodeAudioFile(file);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.sampleRate, e.rateHz);
    EXPECT_EQ(FirstFrameMode(bytes), e.modeBits);
    const auto walk = testsupport::WalkFrames(bytes);
    ASSERT_TRUE(walk.clean);
    const std::set<int> rates(walk.bitrates.begin() + 1, walk.bitrates.end());  // after the Info frame
    if (e.vbr) {
      EXPECT_EQ(testsupport::ReadXingTag(bytes).name, "Xing");
    } else {
      EXPECT_EQ(rates, std::set<int>{e.kbps});
    }
    const auto v1 = testsupport::ReadId3v1(bytes);
    EXPECT_EQ(v1.title, "Title " + std::to_string(i));
    EXPECT_EQ(v1.artist, "Artist " + std::to_string(i));
    EXPECT_EQ(v1.album, "Album");
    EXPECT_EQ(v1.year, "2004");
    EXPECT_EQ(v1.comment, "Comment");
    EXPECT_EQ(v1.genre, 8);  // Jazz
    EXPECT_EQ(decoded.tags.at("title"), "Title " + std::to_string(i));
  }
}

TEST_F(ProgressRun, PauseHoldsTheRunCancelAnsweredNoKeepsItPausedAndYesEndsItWithAPartialTaggedFile) {
  const std::string source = Wma("long.wma", 1000, 3);
  AddTask(source, dir.File("long.mp3"), 3, "Long");
  AddTask(Wma("next.wma", 1000, 1), dir.File("next.mp3"), 1, "Next");
  int cancelAnswer = 2;
  answer = [&](const MessageRequest& m) { return m.text == "Are you sure to cancel the converting?" ? cancelAnswer : 2; };
  const QRegularExpression timeLine(
      QStringLiteral("^Time elapsed: \\d+:\\d\\d:\\d\\d, remained: about \\d+:\\d\\d:\\d\\d$"));

  PauseAt(20);
  int step = 0;
  std::int64_t pausedAt = 0;
  Poller script(1, [&] {
    switch (step) {
      case 0:  // the first file is paused on its way
        if (!window->Paused) return false;
        EXPECT_EQ(window->pauseBtn->text(), QStringLiteral("&Resume"));
        EXPECT_FALSE(window->Timer2->isActive());
        step = 1;
        return false;
      case 1: {  // paused: the reader stands still, and the display tells where it stands
        EXPECT_EQ(window->MP3Out->Status(), osPaused);
        const std::int64_t position = window->CurrentInput()->Reader()->StreamPosition();
        if (pausedAt != position) {
          pausedAt = position;  // the block in hand when the pause came
          QThread::msleep(150);
          return false;
        }
        EXPECT_GT(position, 0);
        EXPECT_LT(position, 3 * kSecond) << "the pause came too late to test";
        window->Timer2Timer();
        EXPECT_TRUE(timeLine.match(window->timeLabel->text()).hasMatch()) << window->timeLabel->text().toStdString();
        EXPECT_EQ(window->curPrgbar->value(), position / 10000);
        EXPECT_EQ(window->totalPrgBar->value(), static_cast<int>(position * 100 / (4 * kSecond)));
        step = 2;
        return false;
      }
      case 2:  // closing from the title bar asks to cancel; No changes nothing
        window->close();
        window->cancelBtn->click();
        window->suiForm1CustomBtn1->click();
        EXPECT_EQ(Texts(mkQuestion).size(), 3u);
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->Paused);
        EXPECT_FALSE(window->Canceled);
        EXPECT_EQ(window->MP3Out->Status(), osPaused);
        EXPECT_EQ(window->pauseBtn->text(), QStringLiteral("&Resume"));
        EXPECT_EQ(window->CurrentInput()->Reader()->StreamPosition(), pausedAt);
        cancelAnswer = 1;
        window->cancelBtn->click();
        return true;
    }
    return true;
  });

  window->StartRun();

  ASSERT_TRUE(script.Finished());
  EXPECT_EQ(Texts(mkQuestion), std::vector<std::string>(4, "Are you sure to cancel the converting?"));
  ASSERT_EQ(Texts(mkInformation).size(), 1u);
  EXPECT_EQ(Texts(mkInformation)[0], "User has canceled the converting." + kOpenFolderQuestion);
  EXPECT_FALSE(std::filesystem::exists(dir.File("next.mp3"))) << "no file starts after a cancel";
  const auto bytes = testsupport::ReadBytes(dir.File("long.mp3"));
  const auto decoded = testsupport::DecodeAudioFile(dir.File("long.mp3"));
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_GT(decoded.seconds(), 0.05);
  EXPECT_LT(decoded.seconds(), 2.9) << "the file ends where the run was cancelled";
  EXPECT_EQ(testsupport::ReadId3v1(bytes).title, "Long");
}

// A pause asked for between two files holds the next one until the run is resumed, and the
// button says so all along.
TEST_F(ProgressRun, APauseBetweenTwoFilesHoldsTheNextFileUntilResumed) {
  const std::string source = Wma("a.wma", 1000, 1);
  AddTask(source, dir.File("1.mp3"), 1, "One");
  AddTask(source, dir.File("2.mp3"), 1, "Two");
  const TOutputDoneEvent windowsOwn = window->MP3Out->OnDone;
  window->MP3Out->OnDone = [&](TComponent* sender) {
    windowsOwn(sender);
    if (window->TaskIndex == 0) window->pauseBtn->click();  // the next file is 100 ms away
  };
  int step = 0;
  QElapsedTimer held;
  Poller script(1, [&] {
    switch (step) {
      case 0:
        if (!window->Paused) return false;
        EXPECT_EQ(window->CurrentInput(), nullptr);
        held.start();
        step = 1;
        return false;
      case 1:
        EXPECT_EQ(window->TaskIndex, 0);
        EXPECT_EQ(window->pauseBtn->text(), QStringLiteral("&Resume"));
        if (held.elapsed() < 300) return false;
        EXPECT_FALSE(std::filesystem::exists(dir.File("2.mp3")));
        window->pauseBtn->click();
        return true;
    }
    return true;
  });

  window->StartRun();

  EXPECT_TRUE(script.Finished());
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("2.mp3")).ok);
  EXPECT_EQ(Texts(mkInformation), std::vector<std::string>{"All files have been converted successfully." + kOpenFolderQuestion});
}

TEST_F(ProgressRun, FilesThatCannotBeConvertedAreReportedAndTheOthersStillConvert) {
  const std::string good = Wma("good.wma", 1000, 1);
  const std::string missing = dir.File("missing.wma");
  const std::string damaged = dir.File("damaged.wma");
  media_fixtures::WriteBytes(damaged, media_fixtures::RandomBytes(20000, 7));
  AddTask(good, dir.File("first.mp3"), 1, "First");
  AddTask(missing, dir.File("missing.mp3"), 1, "Missing");
  AddTask(good, dir.File("no/such/folder/out.mp3"), 1, "Unwritable");
  const bool haveFullDevice = std::filesystem::exists("/dev/full");
  if (haveFullDevice) AddTask(good, "/dev/full", 1, "").Title = TaskText();  // no tag: the disk fills on the worker
  AddTask(damaged, dir.File("damaged.mp3"), 1, "Damaged");
  AddTask(good, good, 1, "Onto itself");
  AddTask(good, dir.File("last.mp3"), 1, "Last");

  window->StartRun();

  std::vector<std::string> failed = {missing, good, good, damaged, good};
  if (!haveFullDevice) failed.erase(failed.begin() + 2);
  ASSERT_EQ(window->Failures().size(), failed.size());
  for (std::size_t i = 0; i < failed.size(); ++i) EXPECT_EQ(window->Failures()[i].SourceFile, failed[i]);

  const auto errors = Texts(mkError);
  // The missing source is reported once, when the run starts, by name.
  ASSERT_EQ(errors.size(), failed.size());
  EXPECT_EQ(errors[0], platform::SystemErrorText(110) + "\n" + missing);
  const std::string head = "The following file can NOT be converted.\n" + good + "\n";
  EXPECT_EQ(errors[1].rfind(head, 0), 0u) << errors[1];
  EXPECT_NE(errors[1].find(dir.File("no/such/folder/out.mp3")), std::string::npos) << errors[1];
  EXPECT_NE(errors[1].find("No such file or directory"), std::string::npos) << errors[1];
  std::size_t next = 2;
  if (haveFullDevice) {
    EXPECT_EQ(errors[next].rfind(head, 0), 0u) << errors[next];
    EXPECT_NE(errors[next].find("No space left on device"), std::string::npos) << errors[next];
    ++next;
  }
  EXPECT_EQ(errors[next].rfind("The following file can NOT be converted.\n" + damaged + "\n", 0), 0u) << errors[next];
  EXPECT_GT(errors[next].size(), ("The following file can NOT be converted.\n" + damaged + "\n").size())
      << "the reason is given";
  ++next;
  EXPECT_EQ(errors[next], head + "The output file is the source file itself.");
  EXPECT_TRUE(testsupport::DecodeAudioFile(good).ok) << "the source was not overwritten";

  ASSERT_EQ(Texts(mkWarning).size(), 1u);
  const std::string end = Texts(mkWarning)[0];
  EXPECT_EQ(end.find("successfully"), std::string::npos) << end;
  std::string expected = std::to_string(failed.size()) + " files could not be converted:";
  for (const std::string& f : failed) expected += "\n" + f;
  EXPECT_EQ(end, expected + kOpenFolderQuestion);
  EXPECT_TRUE(Texts(mkInformation).empty());

  for (const char* file : {"first.mp3", "last.mp3"}) {
    const auto decoded = testsupport::DecodeAudioFile(dir.File(file));
    ASSERT_TRUE(decoded.ok) << file << ": " << decoded.error;
    EXPECT_NEAR(decoded.seconds(), 1.0, 0.1) << file;
  }
  EXPECT_EQ(window->totalPrgBar->value(), 100);
}

TEST_F(ProgressRun, AFileThatFailsWhileTheCancelQuestionIsOpenIsReportedAfterTheAnswer) {
  const std::string good = Wma("good.wma", 1000, 1);
  AddTask(good, dir.File("no/folder/out.mp3"), 1, "Unwritable");
  AddTask(good, dir.File("after.mp3"), 1, "After");
  // The user asks to cancel just before the failure reaches the window.
  const TThreadExceptionEvent windowsOwn = window->MP3Out->OnThreadException;
  window->MP3Out->OnThreadException = [&](TComponent* sender, const std::exception& e) {
    QMetaObject::invokeMethod(window->cancelBtn, &QPushButton::click, Qt::QueuedConnection);
    windowsOwn(sender, e);
  };
  answer = [&](const MessageRequest& m) {
    if (m.kind != mkQuestion) return 2;
    QElapsedTimer open;
    open.start();
    while (window->Failures().empty() && open.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(window->Failures().size(), 1u) << "the failure came in while the question was open";
    return 2;
  };

  window->StartRun();

  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].kind, mkQuestion);
  EXPECT_EQ(messages[1].kind, mkError);
  EXPECT_EQ(messages[1].text.rfind("The following file can NOT be converted.\n" + good + "\n", 0), 0u);
  EXPECT_EQ(messages[2].kind, mkWarning);
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("after.mp3")).ok) << "the run went on after the answer";
}

// The offscreen desktop, like some real ones, has no notification area.
TEST_F(ProgressRun, WithoutANotificationAreaHidingMinimisesBothWindowsAndEitherOneBringsBothBack) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
  QWidget mainWindow;
  mainWindow.setWindowTitle(QStringLiteral("Tavisto"));
  mainWindow.show();
  window->SetMainWindow(&mainWindow);
  AddTask(Wma("a.wma", 1000, 3), dir.File("a.mp3"), 3, "A");
  bool restoredAtTheEnd = false;
  answer = [&](const MessageRequest&) {
    restoredAtTheEnd = !mainWindow.isMinimized() && !window->isMinimized() && window->isVisible();
    return 2;
  };

  PauseAt(10);
  // One step per turn of the loop, after the desktop has reported the last step's changes of
  // state back (it does so later, as a real one does).
  int step = 0;
  Poller script(20, [&] {
    QCoreApplication::processEvents();
    switch (step++) {
      case 0:  // the run is held mid-file while the windows come and go
        if (!window->Paused) {
          step = 0;
          return false;
        }
        window->hideBtn->click();
        return false;
      case 1:
        EXPECT_TRUE(mainWindow.isMinimized());
        EXPECT_TRUE(window->isMinimized());
        EXPECT_FALSE(window->TrayIcon->isVisible());
        mainWindow.setWindowState(mainWindow.windowState() & ~Qt::WindowMinimized);
        return false;
      case 2:
        EXPECT_FALSE(window->isMinimized()) << "restoring the main window brings the run back";
        window->suiForm1CustomBtn2->click();
        return false;
      case 3:
        EXPECT_TRUE(mainWindow.isMinimized());
        EXPECT_TRUE(window->isMinimized());
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        return false;
      case 4:
        EXPECT_FALSE(mainWindow.isMinimized()) << "restoring the run brings the main window back";
        window->hideBtn->click();  // and it ends minimised
        return false;
      case 5:
        window->pauseBtn->click();
        return true;
    }
    return true;
  });

  window->StartRun();

  EXPECT_TRUE(restoredAtTheEnd) << "the end of the run is shown, not left minimised";
  EXPECT_FALSE(mainWindow.isMinimized());
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("a.mp3")).ok);
}

// Where there is a notification area, its icon brings back the windows hidden to it.
TEST_F(ProgressRun, TheTrayIconBringsBackTheHiddenWindowsAndGoesAway) {
  QWidget mainWindow;
  window->SetMainWindow(&mainWindow);
  AddTask(Wma("a.wma", 1000, 1), dir.File("a.mp3"), 1, "A");
  PauseAt(10);
  Poller script(1, [&] {
    if (!window->Paused) return false;
    window->hide();
    window->TrayIcon->show();  // as hiding to a real tray leaves things
    window->TrayIconClick();
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->TrayIcon->isVisible());
    window->pauseBtn->click();
    return true;
  });

  window->StartRun();

  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(window->Failures().size(), 0u);
}

TEST(ProgressWindow, WithoutTheEncoderLibraryItCannotBeCreatedAndSaysWhy) {
  setenv("TAVISTO_LAME_LIBRARY", "libmp3lame-missing.so.0", 1);
  try {
    TprgFrm window;
    ADD_FAILURE() << "the window was created without an encoder";
  } catch (const EACSException& e) {
    EXPECT_STREQ(e.what(), "libmp3lame-missing.so.0 library could not be loaded.");
  }
  unsetenv("TAVISTO_LAME_LIBRARY");
}
