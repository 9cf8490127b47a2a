// Conversion runs in the progress window: real WMA files, the real encoder, several files at
// once, every message answered through the workspace's answerer. StartRun returns at once; each
// test serves the event loop until the run has ended and the window has closed.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <utility>

#include "app/collision_dialog.h"
#include "app/desktop.h"
#include "app/elided_label.h"
#include "app/progress_window.h"
#include "core/conversion_task.h"
#include "core/interface_texts.h"
#include "core/settings.h"
#include "decoded_audio.h"
#include "engine/mp3_frames.h"
#include "gui_test_support.h"
#include "platform/paths/tests/test_support.h"

using app::Answer;
using core::MessageKind;
using core::TaskState;
using engine::ChannelMode;
using guitest::Child;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kSecond = 10'000'000;  // 100-ns units
const std::string kCancelQuestion = "Are you sure you want to cancel the conversion?";
const std::string kOpenFolderQuestion = "\n\nWould you like to open the output folder to see the converted files?";

// Runs `step` every `ms` milliseconds while the loop turns, until it returns true.
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
  for (std::size_t i = engine::Id3v2TagSize(bytes.data(), bytes.size()).value_or(0); i + 4 <= bytes.size(); ++i)
    if (engine::IsFrameHeader(&bytes[i], bytes.size() - i)) return bytes[i + 3] >> 6;
  return -1;
}

class ProgressRun : public ::testing::Test {
 protected:
  void SetUp() override {
    workspace.settings.outputFileDir = dir.Path() + "/";
    workspace.settings.jobs = 2;
    workspace.messages.SetAnswerer([this](const app::MessageRequest& request) {
      // The one message window cannot show a second message while it shows one.
      EXPECT_EQ(messagesOpen, 0) << "\"" << request.text << "\" asked over another message";
      messages.push_back(request);
      ++messagesOpen;
      const Answer result = answer ? answer(request) : Answer::Second;
      --messagesOpen;
      return result;
    });
    workspace.desktop.SetOpener([this](const QUrl& url) { opened.push_back(url.toLocalFile().toStdString()); });
    window = std::make_unique<app::ProgressWindow>(workspace);
    QObject::connect(window.get(), &app::ProgressWindow::runEnded, [this] { ++ended; });
  }
  void TearDown() override {
    window.reset();
    workspace.messages.SetAnswerer({});
  }

  // Starts the run of the checked tasks and serves the loop until it has ended.
  void RunToTheEnd() {
    window->StartRun();
    EXPECT_TRUE(window->Running());
    ASSERT_TRUE(guitest::ServeUntil([this] { return !window->Running(); })) << "the run did not end";
    EXPECT_EQ(ended, 1) << "the end of the run is told once";
  }

  std::string Wma(const std::string& name, int frequency, double seconds) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(media_fixtures::Ffmpeg(media_fixtures::SineInput(frequency, 44100, seconds) + " -ac 2 -c:a wmav2", path));
    return path;
  }
  // Another file with the same content: a run converts each file once.
  std::string CopyOf(const std::string& source, const std::string& name) {
    fs::copy_file(source, dir.File(name));
    return dir.File(name);
  }

  core::ConversionTask& AddTask(const std::string& source, const std::string& output, double seconds,
                                const std::string& title = "Title") {
    core::ConversionTask task;
    task.sourceFile = source;
    task.outputFile = output;
    task.duration = static_cast<std::int64_t>(seconds * kSecond);
    task.encoding.sampleRate = 44100;
    task.encoding.channelMode = ChannelMode::JointStereo;
    task.encoding.bitrate = 192;
    task.title = title;
    task.checked = true;
    return tasks[tasks.Append(task)];
  }

  QPushButton* Button(const char* name) { return Child<QPushButton>(*window, name); }

  // Clicks the pause button once task `task` is `percent` converted.
  void PauseAt(int task, int percent) {
    QPushButton* pause = Button("pauseButton");
    pauser = std::make_unique<Poller>(1, [this, task, percent, pause] {
      if (window->TaskPercent(task) < percent) return false;
      pause->click();
      return true;
    });
  }

  std::vector<std::string> Texts(MessageKind kind) const {
    std::vector<std::string> texts;
    for (const app::MessageRequest& m : messages)
      if (m.kind == kind) texts.push_back(m.text);
    return texts;
  }
  // The names in the folder, hidden temporary files included.
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path())) names.insert(entry.path().filename());
    return names;
  }

  testsupport::TempDir dir;
  guitest::TestWorkspace test{dir.Path()};
  app::Workspace& workspace = test.workspace;
  core::TaskList& tasks = workspace.tasks;
  std::unique_ptr<app::ProgressWindow> window;
  std::unique_ptr<Poller> pauser;
  std::vector<app::MessageRequest> messages;
  int messagesOpen = 0;
  int ended = 0;
  std::function<Answer(const app::MessageRequest&)> answer;
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
  QObject::connect(window.get(), &app::ProgressWindow::taskChanged, [&](int task) { changed.insert(task); });
  std::size_t mostRows = 0;
  bool pausedShown = false;
  QPushButton* pause = Button("pauseButton");
  QLabel* pausedLabel = Child<QLabel>(*window, "pausedLabel");
  PauseAt(0, 30);
  Poller watch(1, [&] {
    const core::ConversionRun* run = window->Run();
    if (run == nullptr) return false;
    mostRows = std::max(mostRows, run->Converting().size());
    if (run->Paused() && run->Holding()) {
      pausedShown = pausedLabel->isVisible() && window->windowTitle().startsWith(QStringLiteral("Paused")) &&
                    pause->text() == QStringLiteral("&Resume");
      EXPECT_FALSE(fs::exists(dir.File("d.mp3"))) << "nothing starts while paused";
      // A run hidden in the tray says there too that it is paused (the offscreen desktop has no
      // tray: the icon is shown by hand, as hiding would show it).
      auto* tray = Child<QSystemTrayIcon>(*window, "trayIcon");
      tray->show();
      EXPECT_TRUE(guitest::ServeUntil([tray] { return tray->toolTip().startsWith(QStringLiteral("Paused\n")); }, 5000))
          << tray->toolTip().toStdString();
      tray->hide();
      pause->click();
      return true;
    }
    return false;
  });
  answer = [](const app::MessageRequest&) { return Answer::First; };  // open the output folder

  RunToTheEnd();

  EXPECT_TRUE(pausedShown);
  EXPECT_EQ(mostRows, 2u);
  const auto bars = window->findChildren<QProgressBar*>(QRegularExpression(QStringLiteral("^fileProgressBar")));
  EXPECT_EQ(bars.size(), 2) << "a row for each file converting at once";
  EXPECT_FALSE(window->isVisible());
  for (const auto& [file, frequency] : {std::pair{"a.mp3", 1000}, std::pair{"c.mp3", 2000}, std::pair{"d.mp3", 500}}) {
    const auto decoded = testsupport::DecodeAudioFile(dir.File(file));
    ASSERT_TRUE(decoded.ok) << file << ": " << decoded.error;
    EXPECT_NEAR(decoded.DominantFrequency(0), frequency, frequency * 0.02) << file;
  }
  EXPECT_FALSE(fs::exists(dir.File("b.mp3")));
  for (int task : {0, 2, 3}) {
    EXPECT_EQ(tasks[task].state, TaskState::Done) << task;
    EXPECT_FALSE(tasks[task].checked) << task;
    EXPECT_GT(tasks[task].outputBytes, 10000) << task;
  }
  EXPECT_EQ(tasks[1].state, TaskState::Ready) << "an unchecked task is left alone";
  EXPECT_EQ(changed, (std::set<int>{0, 2, 3}));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, MessageKind::Information);
  EXPECT_EQ(messages[0].title, "Conversion Finished");
  EXPECT_EQ(messages[0].text, "All files have been converted successfully.\n3 converted" + kOpenFolderQuestion);
  EXPECT_EQ(opened, std::vector<std::string>{dir.Path() + "/"});
}

TEST_F(ProgressRun, WithNoCheckedTaskItSaysSoAndShowsNoWindow) {
  AddTask(Wma("a.wma", 1000, 1), dir.File("a.mp3"), 1).checked = false;
  window->StartRun();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, MessageKind::Information) << "a notice, not a question";
  EXPECT_EQ(messages[0].title, "Nothing to Convert");
  EXPECT_EQ(messages[0].text, "There is nothing to convert.\nPlease check the tasks you want to convert.");
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->Running());
  EXPECT_EQ(window->Run(), nullptr);
  EXPECT_EQ(ended, 0);
}

// A rate outside the table is encoded at the nearest offered one.
TEST_F(ProgressRun, EachTaskEncodesWithItsOwnSettingsAndTags) {
  struct Expect {
    int bitrate, sampleRate;
    ChannelMode channelMode;
    bool vbr;
    int kbps, rateHz, modeBits;
  } expects[] = {{100, 22050, ChannelMode::DualChannel, false, 96, 32000, 2},
                 {128, 32000, ChannelMode::Stereo, false, 128, 32000, 0},
                 {100, 48000, ChannelMode::JointStereo, false, 96, 48000, 1},
                 {160, 44100, ChannelMode::Mono, true, 0, 44100, 3}};
  const std::string tone = Wma("tone.wma", 1000, 1);
  for (std::size_t i = 0; i < std::size(expects); ++i) {
    const std::string name = std::to_string(i);
    core::ConversionTask& task = AddTask(CopyOf(tone, name + ".wma"), dir.File(name + ".mp3"), 1, "Title " + name);
    task.encoding.bitrate = expects[i].bitrate;
    task.encoding.sampleRate = expects[i].sampleRate;
    task.encoding.channelMode = expects[i].channelMode;
    task.encoding.vbr = expects[i].vbr;
    task.encoding.vbrMinBitrate = 96;
    task.encoding.vbrMaxBitrate = 192;
    task.artist = "Artist";
    task.genre = "Jazz";
  }

  RunToTheEnd();

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
  Answer cancelAnswer = Answer::Second;
  answer = [&](const app::MessageRequest& m) {
    if (m.text != kCancelQuestion) return Answer::Second;
    EXPECT_EQ(m.defaultButton, app::DefaultButton::Second) << "Enter must not cancel a run";
    return cancelAnswer;
  };
  QPushButton* cancel = Button("cancelButton");
  Poller script(1, [&] {
    if (window->TaskPercent(0) < 5) return false;
    window->close();  // from the title bar: asks, as the cancel button does
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->Run()->Cancelled());
    cancelAnswer = Answer::First;
    cancel->click();
    return true;
  });

  RunToTheEnd();

  EXPECT_EQ(Texts(MessageKind::Question), std::vector<std::string>(2, kCancelQuestion));
  // Nothing was converted: there is no folder worth opening, and no question about it.
  EXPECT_EQ(Texts(MessageKind::Information), std::vector<std::string>{"The conversion was cancelled.\n0 converted"});
  EXPECT_EQ(messages.back().title, "Conversion Cancelled");
  EXPECT_EQ(messages.back().firstCaption, lang::OKButton);
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(Files(), sources) << "no file is left by the cancelled run, whole or hidden";
  for (int task = 0; task < 3; ++task) EXPECT_EQ(tasks[task].state, TaskState::Cancelled) << task;
}

// A logout's SIGTERM ends the program in the middle of a run, although the run's window would
// refuse a close (its cancel question is answered No here), and the run leaves nothing behind.
TEST_F(ProgressRun, AStopSignalEndsTheProgramDuringARunAndLeavesNoFile) {
  AddTask(Wma("long.wma", 1000, 20), dir.File("long.mp3"), 20, "Long");
  const std::set<std::string> sources = Files();
  window->StartRun();
  Poller signal(1, [&] {
    if (window->TaskPercent(0) < 5) return false;
    app::EndForSignal(SIGTERM);
    return true;
  });
  QTimer::singleShot(30000, [] { QCoreApplication::exit(-1); });  // the fault: nothing ends the loop
  EXPECT_EQ(QCoreApplication::exec(), 128 + SIGTERM);
  window.reset();
  EXPECT_EQ(Files(), sources) << "no file is left by the stopped run, whole or hidden";
}

// A file that fails never waits for the user: it goes into the list of problems and the run
// goes on at once; the end names every failed file with its reason. A file given twice converts
// once.
TEST_F(ProgressRun, AFailedFileWaitsForNobodyAndTheEndNamesEachFailureWithItsReason) {
  const std::string good = Wma("good.wma", 1000, 1), missing = dir.File("missing.wma");
  const std::string damaged = dir.File("damaged.wma");
  media_fixtures::WriteBytes(damaged, media_fixtures::RandomBytes(20000, 7));
  const std::string longer = Wma("longer.wma", 1000, 8);
  const std::string blocked = CopyOf(good, "blocked.wma"), itself = CopyOf(good, "itself.wma");
  AddTask(good, dir.File("first.mp3"), 1);
  AddTask(missing, dir.File("missing.mp3"), 1);
  media_fixtures::WriteBytes(dir.File("blocker"), {'x'});  // a file where a folder would have to be
  AddTask(blocked, dir.File("blocker/out.mp3"), 1);
  AddTask(longer, dir.File("longer.mp3"), 8);  // fills the small "disk" below on the worker
  AddTask(damaged, dir.File("damaged.mp3"), 1);
  AddTask(itself, itself, 1);
  AddTask(CopyOf(good, "last.wma"), dir.File("last.mp3"), 1);
  AddTask(CopyOf(good, "made.wma"), dir.File("made/for it/out.mp3"), 1);  // a folder that went missing is made again
  AddTask(good, dir.File("again.mp3"), 1);  // the first task's source once more
  {
    // Room for the one-second files, not for the eight-second one.
    platform::testing::ScopedFileSizeLimit smallDisk(100 * 1024);
    RunToTheEnd();
  }

  const std::vector<std::pair<std::string, std::string>> failed = {
      {missing, "No such file or directory"},
      {blocked, "Cannot create the folder"},
      {longer, "File too large"},
      {damaged, "Invalid data found when processing input"},
      {itself, "The output file is the source file itself."}};
  ASSERT_EQ(messages.size(), 1u) << "only the end question: no failure waited for an answer";
  EXPECT_EQ(messages[0].kind, MessageKind::Warning);
  EXPECT_EQ(messages[0].text.rfind("3 converted, 5 failed, 1 skipped\n5 files could not be converted:\n", 0), 0u)
      << messages[0].text;
  const auto* problems = Child<QListWidget>(*window, "problemsList");
  ASSERT_EQ(problems->count(), 5);
  for (const auto& [file, reason] : failed) {
    EXPECT_NE(messages[0].text.find(file + ": "), std::string::npos) << file;
    EXPECT_NE(messages[0].text.find(reason), std::string::npos) << reason;
    const QString name = QString::fromStdString(fs::path(file).filename().string() + ": ");
    bool listed = false;
    for (int i = 0; i < problems->count(); ++i) {
      const QString row = problems->item(i)->text();
      listed = listed || (row.startsWith(name) && row.contains(QString::fromStdString(reason)));
    }
    EXPECT_TRUE(listed) << name.toStdString() << reason;
  }
  for (int task : {1, 2, 3, 4, 5}) {
    EXPECT_EQ(tasks[task].state, TaskState::Failed) << task;
    EXPECT_TRUE(tasks[task].checked) << "a failed task stays checked for the next Start";
  }
  for (const char* file : {"first.mp3", "last.mp3", "made/for it/out.mp3"}) EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File(file)).ok) << file;
  EXPECT_FALSE(fs::exists(dir.File("longer.mp3"))) << "a file the disk could not hold is not left";
  EXPECT_TRUE(testsupport::DecodeAudioFile(itself).ok) << "the source was not overwritten";
  EXPECT_EQ(tasks[8].state, TaskState::Skipped);
  EXPECT_NE(tasks[8].stateDetail.find(good), std::string::npos) << tasks[8].stateDetail;
  EXPECT_FALSE(fs::exists(dir.File("again.mp3"))) << "the same source converts once";
}

// Outputs that exist already are asked about once when the user says "the same for the rest".
TEST_F(ProgressRun, AnAnswerForTheRestIsAskedOnce) {
  const std::string tone = Wma("tone.wma", 1000, 1);
  for (int i = 0; i < 3; ++i) {
    const std::string output = dir.File(std::to_string(i) + ".mp3");
    media_fixtures::WriteBytes(output, {'o', 'l', 'd'});
    AddTask(CopyOf(tone, std::to_string(i) + ".wma"), output, 1);
  }
  std::vector<std::string> asked;
  window->SetCollisionAnswerer([&](const std::string& output) {
    asked.push_back(output);
    return app::CollisionReply{core::CollisionAnswer::Skip, true};
  });
  RunToTheEnd();
  EXPECT_EQ(asked, std::vector<std::string>{dir.File("0.mp3")});
  for (int task = 0; task < 3; ++task) {
    EXPECT_EQ(tasks[task].state, TaskState::Skipped) << task;
    EXPECT_EQ(testsupport::ReadBytes(dir.File(std::to_string(task) + ".mp3")).size(), 3u);
  }
}

// The question about an existing output holds up its own file only: the dialog waits while the
// other files convert, and its answer starts the file it was about.
TEST_F(ProgressRun, TheQuestionAboutAnExistingOutputHoldsUpOnlyItsOwnFile) {
  const std::string tone = Wma("tone.wma", 1000, 1);
  media_fixtures::WriteBytes(dir.File("asked.mp3"), {'o', 'l', 'd'});
  AddTask(CopyOf(tone, "asked.wma"), dir.File("asked.mp3"), 1);
  AddTask(CopyOf(tone, "b.wma"), dir.File("b.mp3"), 1);
  AddTask(CopyOf(tone, "c.wma"), dir.File("c.mp3"), 1);
  window->StartRun();
  app::CollisionDialog* dialog = nullptr;
  ASSERT_TRUE(guitest::ServeUntil([&] {
    dialog = window->findChild<app::CollisionDialog*>();
    return dialog != nullptr && dialog->isVisible() && tasks[1].state == TaskState::Done &&
           tasks[2].state == TaskState::Done;
  })) << "the other files did not convert while the question was open";
  EXPECT_EQ(tasks[0].state, TaskState::Waiting);
  EXPECT_TRUE(window->Running());
  EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
  EXPECT_EQ(Child<app::ElidedLabel>(*dialog, "pathLabel")->FullText(), QString::fromStdString(dir.File("asked.mp3")));
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Replace File?"));
  Child<QPushButton>(*dialog, "replaceButton")->click();
  ASSERT_TRUE(guitest::ServeUntil([this] { return !window->Running(); }));
  EXPECT_EQ(tasks[0].state, TaskState::Done);
  EXPECT_EQ(tasks[0].outputFile, dir.File("asked.mp3"));
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("asked.mp3")).ok) << "replaced, as answered";
}

// While the question waits, the run's clock stands, and so does the estimate of the time left,
// though the other file converts meanwhile (which alone would make the estimate shrink).
TEST_F(ProgressRun, WhileTheQuestionWaitsTheClockAndTheEstimateStandStill) {
  media_fixtures::WriteBytes(dir.File("asked.mp3"), {'o', 'l', 'd'});
  // The question comes once the first file is done, when the clock has run a little; the waiting
  // file counts with the length its task declares, an hour, so that every second the long file
  // converts meanwhile would change the estimate by far more than the display rounds away.
  AddTask(Wma("first.wma", 1000, 2), dir.File("first.mp3"), 2);
  AddTask(Wma("long.wma", 1000, 20), dir.File("long.mp3"), 20);
  AddTask(Wma("asked.wma", 1000, 1), dir.File("asked.mp3"), 3600);
  auto* timeLabel = Child<QLabel>(*window, "timeLabel");
  window->StartRun();
  app::CollisionDialog* dialog = nullptr;
  ASSERT_TRUE(guitest::ServeUntil([&] {
    dialog = window->findChild<app::CollisionDialog*>();
    return dialog != nullptr && dialog->isVisible() && window->TaskPercent(1) > 0 &&
           timeLabel->text().startsWith(QStringLiteral("Time elapsed"));
  }));
  const QString line = timeLabel->text();
  const auto elapsed = window->Run()->Elapsed();
  const int percent = window->TaskPercent(1);
  // Measured by work done, not by time: the long file goes on while the question waits.
  ASSERT_TRUE(guitest::ServeUntil([&] { return window->TaskPercent(1) >= percent + 20 || tasks[1].state == TaskState::Done; }));
  EXPECT_GT(elapsed.count(), 0) << "the clock ran before the question";
  EXPECT_EQ(window->Run()->Elapsed(), elapsed);
  EXPECT_EQ(timeLabel->text().toStdString(), line.toStdString());
  Child<QPushButton>(*dialog, "skipButton")->click();
  ASSERT_TRUE(guitest::ServeUntil([this] { return !window->Running(); }));
  EXPECT_EQ(tasks[2].state, TaskState::Skipped);
}

// A title far longer than a row is shown cut in its middle: the window keeps the width it has
// with a short title, and its buttons stay inside it.
TEST_F(ProgressRun, ALongTitleNeitherWidensTheWindowNorPushesItsButtonsOut) {
  const std::string tone = Wma("tone.wma", 1000, 6);
  const std::string longTitle = std::string(150, 'a') + " " + std::string(150, 'b') + "!";
  ASSERT_EQ(longTitle.size(), 302u);
  QPushButton* pause = Button("pauseButton");
  QPushButton* cancel = Button("cancelButton");
  std::vector<int> widths;
  int run = 0;
  for (const std::string& title : {std::string("Short"), longTitle}) {
    tasks.Clear();
    AddTask(CopyOf(tone, std::to_string(run) + ".wma"), dir.File(std::to_string(run) + ".mp3"), 6, title);
    ++run;
    int step = 0;
    Poller watch(1, [&] {
      if (step == 0 && window->TaskPercent(0) > 0) {
        pause->click();
        step = 1;
      } else if (step == 1 && window->Run()->Holding()) {
        // A turn of the loop after the pause: the title is shown and the layout has followed it.
        const auto* label = Child<app::ElidedLabel>(*window, "fileLabel1");
        const std::string shown = tasks[0].title.str();  // a task keeps 255 characters of a title
        EXPECT_EQ(label->FullText().toStdString(), shown);
        EXPECT_TRUE(label->toolTip().startsWith(QString::fromStdString(shown)));
        EXPECT_EQ(pause->text(), QStringLiteral("&Resume"));
        for (const QPushButton* button : {pause, cancel})
          EXPECT_TRUE(window->rect().contains(button->geometry())) << button->objectName().toStdString();
        widths.push_back(window->width());
        pause->click();
        step = 2;
      }
      return step == 2;
    });
    window->StartRun();
    ASSERT_TRUE(guitest::ServeUntil([this] { return !window->Running(); }));
  }
  ASSERT_EQ(widths.size(), 2u);
  EXPECT_EQ(widths[0], widths[1]);
  EXPECT_EQ(ended, 2);
}

// The question is as wide as a typical path whatever the path and never taller than its
// content; a longer path is cut in its middle (its start and file name shown, the whole in the
// tooltip). At its least size nothing is cut off.
TEST(CollisionQuestion, IsSizedForAPathAndCutsALongerOneInItsMiddle) {
  const std::string typical = "/home/someone/Music/Artist/Album/01 A Title.mp3";
  const std::string longer = "/home/someone/" + std::string(400, 'x') + "/01 Last.mp3";
  std::vector<int> widths;
  for (const std::string& path : {typical, longer}) {
    app::CollisionDialog dialog(nullptr, path);
    dialog.show();
    auto* label = Child<app::ElidedLabel>(dialog, "pathLabel");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Replace File?"));
    EXPECT_GE(label->width(), label->fontMetrics().averageCharWidth() * 60);
    EXPECT_EQ(dialog.maximumHeight(), dialog.height());
    EXPECT_EQ(label->Elided(), path == longer);
    EXPECT_TRUE(label->text().startsWith(QStringLiteral("/home/someone/")) && label->text().endsWith(QStringLiteral(".mp3")));
    EXPECT_EQ(label->toolTip().toStdString(), path == longer ? path : "");
    widths.push_back(dialog.width());
    dialog.resize(dialog.minimumSize());
    QCoreApplication::processEvents();
    for (const char* name : {"questionLabel", "sameForRestCheck", "replaceButton", "skipButton", "keepBothButton"}) {
      const QWidget* control = Child<QWidget>(dialog, name);
      EXPECT_TRUE(dialog.rect().contains(QRect(control->mapTo(&dialog, QPoint(0, 0)), control->size()))) << name;
      EXPECT_GE(control->width(), control->minimumSizeHint().width()) << name;
    }
  }
  EXPECT_EQ(widths[0], widths[1]) << "the dialog's width does not follow the path";
}

// Cancelling while the question is open (from the tray's menu: the dialog keeps the window's own
// buttons out of reach) takes the question away and ends the run; the existing file stays as it
// was and nothing new is left.
TEST_F(ProgressRun, CancelWhileTheQuestionIsOpenClosesItAndLeavesTheFileAlone) {
  const std::string tone = Wma("tone.wma", 1000, 1);
  media_fixtures::WriteBytes(dir.File("asked.mp3"), {'o', 'l', 'd'});
  AddTask(CopyOf(tone, "asked.wma"), dir.File("asked.mp3"), 1);
  AddTask(Wma("long.wma", 1000, 20), dir.File("long.mp3"), 20);
  const std::set<std::string> before = Files();
  answer = [](const app::MessageRequest& m) { return m.text == kCancelQuestion ? Answer::First : Answer::Second; };
  window->StartRun();
  QPointer<app::CollisionDialog> dialog;
  ASSERT_TRUE(guitest::ServeUntil([&] {
    dialog = window->findChild<app::CollisionDialog*>();
    return dialog && dialog->isVisible();
  }));
  Child<QMenu>(*window, "trayMenu")->actions().at(2)->trigger();  // Cancel
  ASSERT_TRUE(guitest::ServeUntil([this] { return !window->Running(); })) << "the run did not end";
  EXPECT_TRUE(!dialog || !dialog->isVisible()) << "no question is left open";
  EXPECT_EQ(tasks[0].state, TaskState::Cancelled);
  EXPECT_EQ(tasks[1].state, TaskState::Cancelled);
  EXPECT_EQ(testsupport::ReadBytes(dir.File("asked.mp3")).size(), 3u);
  EXPECT_EQ(Files(), before) << "nothing new, whole or hidden";
}

// The end question shows above the window of the run, which is not made to stay on top of
// everything else: it cannot end up behind it.
TEST_F(ProgressRun, TheEndQuestionShowsAboveTheRunsWindow) {
  AddTask(Wma("a.wma", 1000, 1), dir.File("a.mp3"), 1);
  QWidget* owner = nullptr;
  answer = [&](const app::MessageRequest& m) {
    owner = m.owner;
    return Answer::Second;
  };
  RunToTheEnd();
  EXPECT_EQ(owner, window.get());
  EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

// The offscreen desktop, like some real ones, has no notification area.
TEST_F(ProgressRun, WithoutANotificationAreaHidingMinimisesBothWindowsAndEitherOneBringsBothBack) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
  std::vector<QString> notified;
  window->SetNotifier([&notified](const QString& title, const QString& text) {
    notified.push_back(title + QStringLiteral(" / ") + text);
  });
  QWidget mainWindow;
  mainWindow.show();
  window->SetMainWindow(&mainWindow);
  AddTask(Wma("a.wma", 1000, 3), dir.File("a.mp3"), 3);
  bool shownAtTheEnd = false;
  answer = [&](const app::MessageRequest&) {
    shownAtTheEnd = !mainWindow.isMinimized() && !window->isMinimized();
    return Answer::Second;
  };
  QPushButton* hide = Button("hideButton");
  auto* tray = Child<QSystemTrayIcon>(*window, "trayIcon");
  auto* menu = Child<QMenu>(*window, "trayMenu");
  ASSERT_EQ(menu->actions().size(), 3);  // Show, Pause (Resume), Cancel
  QAction* pauseAction = menu->actions().at(1);
  PauseAt(0, 10);
  // A step per turn of the loop: the desktop reports each change of state back later.
  const std::vector<std::function<void()>> steps = {
      [&] { hide->click(); },
      [&] {
        EXPECT_TRUE(mainWindow.isMinimized() && window->isMinimized());
        mainWindow.setWindowState(mainWindow.windowState() & ~Qt::WindowMinimized);
      },
      [&] {
        EXPECT_FALSE(window->isMinimized()) << "restoring the main window brings the run back";
        hide->click();
      },
      [&] { window->setWindowState(window->windowState() & ~Qt::WindowMinimized); },
      [&] {
        EXPECT_FALSE(mainWindow.isMinimized()) << "restoring the run brings the main window back";
        window->hide();  // as hiding to a real tray leaves things
        mainWindow.hide();
        tray->show();
        emit tray->activated(QSystemTrayIcon::Trigger);
        EXPECT_TRUE(mainWindow.isVisible() && window->isVisible() && !tray->isVisible());
        hide->click();  // and the run ends minimised, resumed from the tray's menu
        EXPECT_EQ(pauseAction->text(), QStringLiteral("&Resume"));
        pauseAction->trigger();
      }};
  std::size_t step = 0;
  Poller script(20, [&] {
    QCoreApplication::processEvents();
    if (step == 0 && (window->Run() == nullptr || !window->Run()->Paused())) return false;
    steps[step++]();
    return step == steps.size();
  });

  RunToTheEnd();

  EXPECT_EQ(step, steps.size());
  EXPECT_TRUE(shownAtTheEnd) << "the end of the run is shown, not left minimised";
  EXPECT_EQ(notified, std::vector<QString>{QStringLiteral("Conversion Finished / 1 converted")});
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("a.mp3")).ok);
}

// Without the encoder nothing converts: each file fails with the reason, which names the library
// that could not be loaded, and nothing is left under its name.
TEST_F(ProgressRun, WithoutTheEncoderLibraryEachFileFailsSayingWhy) {
  const std::string source = Wma("a.wma", 1000, 1);
  AddTask(source, dir.File("a.mp3"), 1);
  {
    platform::testing::ScopedEnvironment missing("TAVISTO_LAME_LIBRARY", "libmp3lame-missing.so.0");
    RunToTheEnd();
  }
  const std::string reason = "The MP3 encoder cannot be used: libmp3lame-missing.so.0 library could not be loaded.";
  EXPECT_EQ(tasks[0].state, TaskState::Failed);
  EXPECT_EQ(tasks[0].stateDetail, reason);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find(source + ": " + reason), std::string::npos) << messages[0].text;
  EXPECT_FALSE(fs::exists(dir.File("a.mp3")));
}
