// The main window driven as a person drives it: adding files by dialog and by dropping them,
// the task list and its info panel, the refusals while busy, and a whole session end to end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QTreeWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/add_wizard.h"
#include "app/collision_dialog.h"
#include "core/conversion_task.h"
#include "core/inspection.h"
#include "core/interface_texts.h"
#include "app/main_window.h"
#include "core/settings.h"
#include "app/desktop.h"
#include "app/info_panel.h"
#include "platform/mmstream/media_stream.h"
#include "decoded_audio.h"
#include "app/progress_window.h"
#include "message_answers.h"
#include "platform/mmstream/tests/media_fixtures.h"

using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;
namespace fs = std::filesystem;

namespace {

// Clicks through the wizard whenever it is up: Next, Next, OK (or Cancel), counting its shows.
class WizardAutopilot {
 public:
  WizardAutopilot(AddWizard& wizard, bool cancel = false) : wizard_(wizard), cancel_(cancel) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
    timer_.start();
  }
  int shows = 0;

 private:
  void Step() {
    const bool visible = wizard_.isVisible() && QApplication::activeModalWidget() == &wizard_;
    if (visible && !wasVisible_) ++shows;
    wasVisible_ = visible;
    if (!visible) return;
    (cancel_ ? wizard_.cancelButton : wizard_.nextButton)->click();
  }
  AddWizard& wizard_;
  bool cancel_;
  bool wasVisible_ = false;
  QTimer timer_;
};

struct MainWindowTest : ::testing::Test {
  TempDir dir;
  MessageAnswers answers;
  std::unique_ptr<MainWindow> main;
  std::unique_ptr<AddWizard> wizard;
  std::unique_ptr<ProgressWindow> progress;
  int dialogs = 0;

  void SetUp() override {
    setenv("TAVISTO_REGISTRY", dir.File("Tavisto.reg").c_str(), 1);
    Tasks.Clear();
    WorkingTask = {};
    LoadSettings();
    DefaultSettings.inputFileDir = dir.Path() + "/";
    DefaultSettings.outputFileDir.clear();
    TipIndex = TipsOff;
    main = std::make_unique<MainWindow>();
    wizard = std::make_unique<AddWizard>();
    progress = std::make_unique<ProgressWindow>();
    progress->SetMainWindow(main.get());
    main->SetWindows(wizard.get(), progress.get(), nullptr);
    main->show();
    ChooseFiles({});
  }
  void TearDown() override {
    MainWindow::SetFileChooser({});
    Tasks.Clear();
  }
  // The open-file dialog answers with `files` (Cancel when empty).
  void ChooseFiles(std::vector<std::string> files) {
    MainWindow::SetFileChooser([this, files](QFileDialog&) -> std::optional<QStringList> {
      ++dialogs;
      if (files.empty()) return std::nullopt;
      QStringList chosen;
      for (const auto& f : files) chosen << QString::fromStdString(f);
      return chosen;
    });
  }
  std::string Wma(const std::string& name, const std::string& metadata = "") {
    const std::string path = dir.File(name);
    EXPECT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) + " -ac 2 -c:a wmav2 " + metadata, path));
    return path;
  }
  int Rows() const { return main->taskListView->topLevelItemCount(); }

  QTreeWidgetItem* Row(int row) const { return main->taskListView->topLevelItem(row); }
};

}  // namespace

TEST_F(MainWindowTest, FirstStartShowsTheHintRowAndClickingTheEmptyListOpensTheDialog) {
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(Row(0)->text(0), QString::fromUtf8(lang::AddFilesHint));
  EXPECT_FALSE(Row(0)->flags().testFlag(Qt::ItemIsUserCheckable));
  EXPECT_FALSE(main->removeButton->isEnabled());
  EXPECT_FALSE(main->editButton->isEnabled());
  EXPECT_FALSE(main->startButton->isEnabled());
  EXPECT_TRUE(main->inputInfoLabel->text().contains(QStringLiteral("href=\"aa\"")));
  main->OnTaskListClicked();
  EXPECT_EQ(dialogs, 1);
  EXPECT_TRUE(main->addFilesButton->isEnabled()) << "a cancelled dialog unlocks the controls";
  // While files are added, nothing else can start an add or change where they go.
  main->LockControls(true);
  for (QWidget* control : std::initializer_list<QWidget*>{main->addFilesButton, main->addFolderButton,
                                                          main->outputLocationSelector})
    EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
  main->LockControls(false);
  EXPECT_TRUE(main->addFolderButton->isEnabled() && main->outputLocationSelector->isEnabled());
  EXPECT_EQ(Tasks.Count(), 0);
}

TEST_F(MainWindowTest, ThreeFilesWithSameSettingsGoThroughTheWizardOnce) {
  ChooseFiles({Wma("a.wma"), Wma("b.wma"), Wma("c.wma")});
  WizardAutopilot pilot(*wizard);
  answers.Reply({1});  // use the same settings: Yes
  main->addFilesButton->click();
  EXPECT_EQ(pilot.shows, 1);
  ASSERT_EQ(Tasks.Count(), 3);
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].text, lang::UseSameSettingsQuestion);
  EXPECT_EQ(Tasks[0].outputFile, dir.File("a.mp3"));
  EXPECT_EQ(Tasks[1].outputFile, dir.File("b.mp3"));
  EXPECT_EQ(Tasks[2].outputFile, dir.File("c.mp3"));
  EXPECT_EQ(Rows(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Row(i)->checkState(0), Qt::Checked);
  EXPECT_TRUE(main->startButton->isEnabled());
}

TEST_F(MainWindowTest, CancellingTheFirstWizardAddsNothingAndAsksNothing) {
  ChooseFiles({Wma("a.wma"), Wma("b.wma")});
  WizardAutopilot pilot(*wizard, /*cancel=*/true);
  main->addFilesButton->click();
  EXPECT_EQ(pilot.shows, 1);
  EXPECT_EQ(Tasks.Count(), 0);
  EXPECT_TRUE(answers.asked.empty());
  EXPECT_EQ(Rows(), 1) << "the hint row stays";
}

// A dropped folder adds the media files under it, nested folders included, in name order, with
// one "same settings?" question; files that are no media are listed once at the end and keep
// nothing else from being added. A chosen output folder keeps the sub-folders.
TEST_F(MainWindowTest, ADroppedFolderAddsItsMediaFilesRecursivelyAndListsTheRefusedOnce) {
  fs::create_directories(dir.File("Album/CD 2"));
  fs::create_directories(dir.File("Album/CD 10"));
  fs::create_directories(dir.File("Album/.hidden"));
  const std::string mp3 = dir.File("Album/CD 2/Track 1.mp3");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) + " -c:a libmp3lame", mp3));
  Wma("Album/Track 10.wma");
  Wma("Album/track 9.WMA");
  Wma("Album/CD 10/a.wma");
  Wma("Album/.hidden/secret.wma");
  media_fixtures::WriteBytes(dir.File("Album/CD 2/noise.mp3"), media_fixtures::RandomBytes(5000, 2));
  std::ofstream(dir.File("Album/cover.jpg")) << "not audio";
  std::ofstream(dir.File("Album/notes.txt")) << "not audio";
  std::ofstream(dir.File("loose.txt")) << "dropped by itself";
  DefaultSettings.outputFileDir = dir.File("out/");

  WizardAutopilot pilot(*wizard);
  answers.Reply({1, 1});  // create the first output folder: Yes; the same settings: Yes
  main->AddDroppedFiles({dir.File("Album"), dir.File("loose.txt")});
  EXPECT_EQ(dialogs, 0);
  EXPECT_EQ(pilot.shows, 1);
  ASSERT_EQ(Tasks.Count(), 4);
  // Folder by folder in name order, numbers as numbers: "CD 2" before "CD 10", 9 before 10.
  EXPECT_EQ(Tasks[0].sourceFile, dir.File("Album/CD 2/Track 1.mp3"));
  EXPECT_EQ(Tasks[1].sourceFile, dir.File("Album/CD 10/a.wma"));
  EXPECT_EQ(Tasks[2].sourceFile, dir.File("Album/track 9.WMA"));
  EXPECT_EQ(Tasks[3].sourceFile, dir.File("Album/Track 10.wma"));
  EXPECT_EQ(Tasks[0].outputFile, dir.File("out/Album/CD 2/Track 1.mp3"));
  EXPECT_EQ(Tasks[1].outputFile, dir.File("out/Album/CD 10/a.mp3"));
  EXPECT_EQ(Tasks[3].outputFile, dir.File("out/Album/Track 10.mp3"));
  ASSERT_EQ(answers.asked.size(), 3u);
  EXPECT_EQ(answers.asked[1].text, lang::UseSameSettingsQuestion);
  const std::string& refused = answers.asked[2].text;
  EXPECT_EQ(answers.asked[2].kind, MessageKind::Warning);
  EXPECT_NE(refused.find(dir.File("Album/CD 2/noise.mp3") + ": "), std::string::npos) << refused;
  EXPECT_NE(refused.find(dir.File("loose.txt") + ": "), std::string::npos) << refused;
  EXPECT_EQ(refused.find("cover.jpg"), std::string::npos) << "folders give their media files only";
  // The last task added is the one the panel shows, ready to be removed or edited.
  EXPECT_EQ(main->CurrentRow(), 3);
  EXPECT_TRUE(main->removeButton->isEnabled());
  EXPECT_TRUE(main->editButton->isEnabled());
  EXPECT_TRUE(main->inputInfoLabel->text().contains(QStringLiteral("Track 10.wma")));
  EXPECT_EQ(Row(3)->text(1), QStringLiteral("Track 10.wma"));
}

TEST_F(MainWindowTest, CheckMarksRemovalAndEditKeepRowsAndTasksInStep) {
  ChooseFiles({Wma("a.wma"), Wma("b.wma"), Wma("c.wma")});
  WizardAutopilot pilot(*wizard);
  answers.Reply({1});
  main->addFilesButton->click();
  ASSERT_EQ(Tasks.Count(), 3);

  main->SetCurrentRow(1);
  Row(1)->setCheckState(0, Qt::Unchecked);
  EXPECT_FALSE(Tasks[1].checked);
  main->RefreshTaskList();
  EXPECT_EQ(Row(1)->checkState(0), Qt::Unchecked);

  main->SetCurrentRow(0);
  main->removeButton->click();
  ASSERT_EQ(Tasks.Count(), 2);
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Tasks[0].outputFile, dir.File("b.mp3"));
  EXPECT_EQ(Row(0)->text(0), QStringLiteral("b"));
  EXPECT_EQ(Row(0)->checkState(0), Qt::Unchecked);

  main->SetCurrentRow(1);
  main->editButton->click();
  EXPECT_EQ(Tasks.Count(), 2);
  EXPECT_EQ(Rows(), 2);
  EXPECT_TRUE(main->inputInfoLabel->text().contains(QString::fromStdString(Tasks[1].sourceFile)));
}

TEST(TaskInfo, LinesOfAVbrJointStereoTaskAndAnEscapedName) {
  ConversionTask task;
  task.sourceFile = "/m/R&B <live>.wma";
  task.outputFile = "/m/R&B <live>.mp3";
  task.channelMode = 2;
  task.vbr = true;
  task.vbrMinBitrate = 128;
  task.vbrMaxBitrate = 256;
  task.duration = 1'800'000'000;
  task.estimatedSize = 2966;
  const TaskInfoLines lines = TaskInfoFor(task, false);
  EXPECT_EQ(lines.input.toStdString(), "<b>Input File</b>: <a href=\"bb\"><u>/m/R&amp;B &lt;live&gt;.wma</u></a>");
  EXPECT_EQ(lines.output.toStdString(), "<b>Output File</b>: /m/R&amp;B &lt;live&gt;.mp3");
  EXPECT_EQ(lines.settings.toStdString(), "<b>MP3 Settings</b>: Joint Stereo, 128 - 256 kbps, VBR");
  EXPECT_TRUE(lines.duration.startsWith(QStringLiteral("<b>Duration</b>: 0:03:00.0, <b>Output File Size</b>: about 2")));
  EXPECT_EQ(lines.editLink.toStdString(), "<a href=\"cc\"><u>Edit...</u></a>");
  EXPECT_TRUE(TaskInfoFor(task, true).output.contains(QStringLiteral("href=\"dd\"")));
  task.vbr = false;
  task.bitrate = 192;
  task.channelMode = 7;
  EXPECT_EQ(TaskInfoFor(task, false).settings.toStdString(), "<b>MP3 Settings</b>: , 192 kbps, CBR");
}

// The fifth line names only the tags the task has beyond the usual texts.
TEST(TaskInfo, ExtrasLineNamesWhatTheTaskHas) {
  ConversionTask task;
  EXPECT_TRUE(TaskInfoFor(task, false).extras.isEmpty());
  task.albumArtist = "A & B";
  task.track = "3/12";
  task.disc = 2;
  task.composer = "C";
  task.coverMimeType = "image/jpeg";
  task.coverBytes = 1025;
  EXPECT_EQ(TaskInfoFor(task, false).extras.toStdString(),
            "<b>More tags</b>: Album artist: A &amp; B, Track: 3/12, Disc: 2, Composer: C, Cover: JPEG, 2 KB");
  task = ConversionTask();
  task.disc = 1;
  task.discTotal = 2;
  task.coverBytes = 10;
  task.omitCover = true;
  EXPECT_EQ(TaskInfoFor(task, false).extras.toStdString(), "<b>More tags</b>: Disc: 1/2, Cover: 1 KB (left out)");
}

// The keys every desktop program has: each does what its button does, through the same checks.
TEST_F(MainWindowTest, KeysDoWhatTheirButtonsDo) {
  std::vector<QUrl> opened;
  SetDesktopOpener([&opened](const QUrl& url) { opened.push_back(url); });
  QApplication::setActiveWindow(main.get());
  // Keys go where the user's keys go: to the list, which has the focus in the active window.
  const auto press = [this](QKeySequence keys) {
    QApplication::setActiveWindow(main.get());
    main->taskListView->setFocus();
    QTest::keySequence(main->taskListView, keys);
  };
  main->taskListView->setFocus();

  // Insert and Ctrl+O open the file dialog, Ctrl+Shift+O the folder dialog.
  std::vector<QFileDialog::FileMode> modes;
  MainWindow::SetFileChooser([&modes](QFileDialog& dialog) -> std::optional<QStringList> {
    modes.push_back(dialog.fileMode());
    return std::nullopt;
  });
  press(QKeySequence(Qt::Key_Insert));
  press(QKeySequence(Qt::CTRL | Qt::Key_O));
  press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  EXPECT_EQ(modes, (std::vector<QFileDialog::FileMode>{QFileDialog::ExistingFiles, QFileDialog::ExistingFiles,
                                                        QFileDialog::Directory}));

  ChooseFiles({Wma("a.wma"), Wma("b.wma")});
  WizardAutopilot pilot(*wizard);
  answers.Reply({1});
  main->addFilesButton->click();
  ASSERT_EQ(Tasks.Count(), 2);
  main->taskListView->setFocus();
  ASSERT_EQ(main->CurrentRow(), 1);

  // Space checks and unchecks the current row; Enter edits it; Delete removes it.
  press(QKeySequence(Qt::Key_Space));
  EXPECT_FALSE(Tasks[1].checked);
  press(QKeySequence(Qt::Key_Space));
  EXPECT_TRUE(Tasks[1].checked);
  bool editing = false;
  QTimer::singleShot(0, [&] { editing = wizard->isVisible(); });  // inside the wizard's own loop
  press(QKeySequence(Qt::Key_Return));
  EXPECT_TRUE(editing);
  press(QKeySequence(Qt::Key_Delete));
  ASSERT_EQ(Tasks.Count(), 1);
  EXPECT_EQ(Tasks[0].sourceFile, dir.File("a.wma"));

  // F1 opens the guide.
  press(QKeySequence(Qt::Key_F1));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].toLocalFile().endsWith(QStringLiteral("tavisto.html")));
  SetDesktopOpener({});

  // Ctrl+Q quits as the close button does: not while a file is read.
  ReadingDone = false;
  press(QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_TRUE(main->isVisible());
  ReadingDone = true;
  press(QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_FALSE(main->isVisible());
}

// The dialog offers what FFmpeg reads, Windows Media first among the choices after it; files
// that only look like media to a demuxer's list (text, subtitles, pictures) are not offered.
TEST(DialogFilters, AllMediaFilesComeFromTheDemuxers) {
  const std::vector<std::string> extensions = platform::mmstream::MediaFileExtensions();
  for (const char* media : {"wma", "wmv", "asf", "mp3", "flac", "ogg", "opus", "m4a", "mp4", "mkv", "webm", "wav",
                            "aiff", "wv", "ape", "ac3", "mpg", "ts", "rm"}) {
    EXPECT_TRUE(std::count(extensions.begin(), extensions.end(), media)) << media;
  }
  for (const char* other : {"txt", "srt", "vtt", "sub", "jpg", "png", "nfo", ""}) {
    EXPECT_FALSE(std::count(extensions.begin(), extensions.end(), other)) << other;
  }
  const QStringList filters = MediaDialogFilters({"mp3", "wma"});
  EXPECT_EQ(filters, (QStringList{"All media files (*.mp3 *.wma)", "Windows Media files (*.wma *.wmv *.asf)", "All files (*)"}));
}

TEST_F(MainWindowTest, ActionsAndClosingAreRefusedWhileAFileIsRead) {
  ReadingDone = false;
  main->addFilesButton->click();
  EXPECT_EQ(dialogs, 0);
  EXPECT_FALSE(main->close());
  EXPECT_TRUE(main->isVisible());
  ASSERT_EQ(answers.asked.size(), 2u);
  EXPECT_EQ(answers.asked[0].text, lang::CannotActWhileBusy);
  EXPECT_EQ(answers.asked[0].kind, MessageKind::Information);
  ReadingDone = true;
  EXPECT_TRUE(main->close());
}

TEST_F(MainWindowTest, StartWithoutTasksSaysThereIsNothingToConvert) {
  main->OnStartClicked();
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].text, lang::NothingToConvert);
  EXPECT_FALSE(progress->isVisible());
}

// Start, add two tagged WMA files, convert them, answer the end question, close: the MP3 files
// are right and tagged, and the settings file holds the last choices.
TEST_F(MainWindowTest, AWholeSessionConvertsTwoFilesAndSavesTheSettings) {
  ChooseFiles({Wma("first.wma", "-metadata title=First -metadata artist=Someone"),
               Wma("second.wma", "-metadata title=Second -metadata artist=Else")});
  {
    WizardAutopilot pilot(*wizard);
    answers.Reply({1});
    main->addFilesButton->click();
  }
  ASSERT_EQ(Tasks.Count(), 2);
  // The run's own messages: the end question is answered No (do not open the folder).
  answers.Reply({2});
  bool sawRunWindow = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] { sawRunWindow = sawRunWindow || progress->isVisible(); });
  watch.start(5);
  main->startButton->click();
  EXPECT_TRUE(sawRunWindow);
  EXPECT_FALSE(progress->isVisible());
  ASSERT_FALSE(answers.asked.empty());
  EXPECT_NE(answers.asked.back().text.find(lang::AllFilesConverted), std::string::npos) << answers.asked.back().text;

  for (const auto& [file, title, artist] : {std::tuple{"first.mp3", "First", "Someone"},
                                            std::tuple{"second.mp3", "Second", "Else"}}) {
    const auto decoded = testsupport::DecodeAudioFile(dir.File(file));
    ASSERT_TRUE(decoded.ok) << file;
    EXPECT_NEAR(decoded.seconds(), 1.0, 0.06);
    EXPECT_EQ(decoded.sampleRate, 44100);
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_EQ(decoded.tags.at("title"), title);
    EXPECT_EQ(decoded.tags.at("artist"), artist);
  }
  main->SetCurrentRow(0);
  main->ShowTaskInfo(0);
  EXPECT_TRUE(main->outputInfoLabel->text().contains(QStringLiteral("href=\"dd\""))) << "the output now exists";

  EXPECT_TRUE(main->close());
  std::ifstream settings(dir.File("Tavisto.reg"));
  const std::string text{std::istreambuf_iterator<char>(settings), std::istreambuf_iterator<char>()};
  EXPECT_NE(text.find("\"AudioBitrate\"=dword:000000c0"), std::string::npos) << text;
  EXPECT_NE(text.find("\"OutputFileDir\"=\"\""), std::string::npos) << "still beside each source\n" << text;
}

// The task list shows what the run made of each task, the reason of a failure in full on hover;
// a converted task is unchecked, so Start again converts only what is left, and its output link
// still leads to the MP3 (a "keep both" name included).
TEST_F(MainWindowTest, TheStatusColumnFollowsTheRunAndStartAgainConvertsWhatIsLeft) {
  ChooseFiles({Wma("good.wma"), Wma("broken.wma"), Wma("kept.wma")});
  {
    WizardAutopilot pilot(*wizard);
    answers.Reply({1});
    main->addFilesButton->click();
  }
  ASSERT_EQ(Tasks.Count(), 3);
  std::filesystem::remove(Tasks[1].sourceFile);  // it fails: gone since it was added
  media_fixtures::WriteBytes(Tasks[2].outputFile, {'o', 'l', 'd'});
  SetCollisionAnswerer([](const std::string&) { return CollisionReply{CollisionAnswer::KeepBoth, false}; });
  answers.Reply({2});
  std::vector<QString> statuses;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const QString status = Row(0)->text(2);
    if (statuses.empty() || statuses.back() != status) statuses.push_back(status);
  });
  watch.start(1);
  main->startButton->click();
  watch.stop();
  SetCollisionAnswerer({});

  EXPECT_TRUE(statuses.front() == QStringLiteral("Waiting") || statuses.front().startsWith(QStringLiteral("Converting")))
      << statuses.front().toStdString();
  EXPECT_TRUE(Row(0)->text(2).startsWith(QStringLiteral("Done (")));
  EXPECT_EQ(Row(0)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(Row(1)->text(2), QStringLiteral("Failed: No such file or directory"));
  EXPECT_EQ(Row(1)->toolTip(2), QStringLiteral("No such file or directory"));
  EXPECT_EQ(Row(1)->checkState(0), Qt::Checked);
  EXPECT_TRUE(Row(2)->text(2).startsWith(QStringLiteral("Done (")));
  EXPECT_EQ(Tasks[2].outputFile, dir.File("kept (2).mp3"));
  main->SetCurrentRow(2);
  main->ShowTaskInfo(2);
  EXPECT_TRUE(main->outputInfoLabel->text().contains(QStringLiteral("href=\"dd\""))) << "the kept-both MP3 exists";

  // Again: only the failed task runs, and fails again; the converted ones are left alone.
  const auto converted = std::filesystem::last_write_time(dir.File("good.mp3"));
  answers.Reply({2});
  main->startButton->click();
  EXPECT_EQ(progress->Run()->Count(), 1);
  EXPECT_EQ(std::filesystem::last_write_time(dir.File("good.mp3")), converted);
  EXPECT_EQ(Row(1)->text(2), QStringLiteral("Failed: No such file or directory"));
}
