// The main window driven as a person drives it: adding files by dialog and by dropping them,
// the task list and its info panel, the refusals while busy, and a whole session end to end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest/QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/add_wizard.h"
#include "app/info_panel.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "core/conversion_task.h"
#include "core/interface_texts.h"
#include "core/settings.h"
#include "core/task_store.h"
#include "decoded_audio.h"
#include "gui_test_support.h"
#include "message_answers.h"
#include "platform/mmstream/media_stream.h"
#include "platform/mmstream/tests/media_fixtures.h"

using app::Answer;
using core::MessageKind;
using engine::ChannelMode;
using guitest::Child;
using guitest::ServeUntil;
using guitest::WizardAutopilot;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;
namespace fs = std::filesystem;

namespace {

// Drops `paths` on `target` as a file manager does: the drag enters, then the drop.
void Drop(QWidget& target, const std::vector<std::string>& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const std::string& path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &enter);
  EXPECT_TRUE(enter.isAccepted()) << "local files are taken";
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &drop);
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    workspace.settings.inputFileDir = dir.Path() + "/";
    workspace.settings.outputFileDir.clear();
    workspace.settings.tips = core::kTipsOff;
    OpenWindows();
  }

  // The windows as a start of the program makes them, over the workspace as it is.
  void OpenWindows() {
    main = std::make_unique<app::MainWindow>(workspace);
    wizard = std::make_unique<app::AddWizard>(workspace, main.get());
    progress = std::make_unique<app::ProgressWindow>(workspace);
    progress->SetMainWindow(main.get());
    QObject::connect(progress.get(), &app::ProgressWindow::runEnded, [this] { ++ended; });
    main->SetWindows(wizard.get(), progress.get(), nullptr);
    main->show();
    list = Child<QTreeWidget>(*main, "taskListView");
    ChooseFiles({});
    // The first show's own work (the offer of a kept list) is done before the test goes on.
    QCoreApplication::processEvents();
  }
  void CloseWindows() {
    progress.reset();
    wizard.reset();
    main.reset();
  }

  // The open-file dialog answers with `files` (Cancel when empty).
  void ChooseFiles(std::vector<std::string> files) {
    main->SetFileChooser([this, files](QFileDialog&) -> std::optional<QStringList> {
      ++dialogs;
      if (files.empty()) return std::nullopt;
      QStringList chosen;
      for (const auto& file : files) chosen << QString::fromStdString(file);
      return chosen;
    });
  }
  std::string Wma(const std::string& name, const std::string& metadata = "") {
    const std::string path = dir.File(name);
    EXPECT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) + " -ac 2 -c:a wmav2 " + metadata, path));
    return path;
  }
  // Clicks "Add Files" and serves the loop until every chosen file has been read and shown.
  void AddChosenFiles() {
    Button("addFilesButton")->click();
    ASSERT_TRUE(ServeUntil([this] { return !main->Adding(); })) << "the add did not end";
  }
  // Clicks Start and serves the loop until the run has ended and its window closed.
  void StartAndWait() {
    const int before = ended;
    Button("startButton")->click();
    ASSERT_TRUE(ServeUntil([this, before] { return ended > before; })) << "the run did not end";
  }
  QPushButton* Button(const char* name) { return Child<QPushButton>(*main, name); }
  QLabel* Label(const char* name) { return Child<QLabel>(*main, name); }
  int Rows() const { return list->topLevelItemCount(); }
  QTreeWidgetItem* Row(int row) const { return list->topLevelItem(row); }

  TempDir dir;
  guitest::TestWorkspace test{dir.Path()};
  app::Workspace& workspace = test.workspace;
  core::TaskList& tasks = workspace.tasks;
  MessageAnswers answers{workspace.messages};
  std::unique_ptr<app::MainWindow> main;
  std::unique_ptr<app::AddWizard> wizard;  // the main window's child: goes before it
  std::unique_ptr<app::ProgressWindow> progress;
  QTreeWidget* list = nullptr;
  int dialogs = 0;
  int ended = 0;  // runs that have ended
};

}  // namespace

TEST_F(MainWindowTest, FirstStartShowsTheHintRowAndClickingTheEmptyListOpensTheDialog) {
  EXPECT_EQ(main->windowTitle(), QStringLiteral("Tavisto"));
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(Row(0)->text(0), QString::fromUtf8(lang::AddFilesHint));
  EXPECT_FALSE(Row(0)->flags().testFlag(Qt::ItemIsUserCheckable));
  EXPECT_FALSE(Button("removeButton")->isEnabled());
  EXPECT_FALSE(Button("editButton")->isEnabled());
  EXPECT_FALSE(Button("startButton")->isEnabled());
  EXPECT_TRUE(Label("inputInfoLabel")->text().contains(QStringLiteral("href=\"aa\"")));
  QTest::mouseClick(list->viewport(), Qt::LeftButton);
  QCoreApplication::processEvents();
  EXPECT_EQ(dialogs, 1);
  EXPECT_TRUE(Button("addFilesButton")->isEnabled()) << "a cancelled dialog unlocks the controls";

  // While files are added, nothing else can start an add or change where they go.
  ChooseFiles({Wma("a.wma")});
  WizardAutopilot pilot(*wizard, /*cancel=*/true);
  {
    guitest::ReadingGate gate(main->Reader());
    Button("addFilesButton")->click();
    ASSERT_TRUE(main->Adding());
    for (QWidget* control : std::initializer_list<QWidget*>{Button("addFilesButton"), Button("addFolderButton"),
                                                            Child<QComboBox>(*main, "outputLocationSelector")})
      EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
  }
  ASSERT_TRUE(ServeUntil([this] { return !main->Adding(); }));
  EXPECT_EQ(pilot.shows, 1);
  EXPECT_TRUE(Button("addFolderButton")->isEnabled() && Child<QComboBox>(*main, "outputLocationSelector")->isEnabled());
  EXPECT_EQ(tasks.Count(), 0);
}

TEST_F(MainWindowTest, ThreeFilesWithSameSettingsGoThroughTheWizardOnce) {
  ChooseFiles({Wma("a.wma"), Wma("b.wma"), Wma("c.wma")});
  WizardAutopilot pilot(*wizard);
  answers.Reply({Answer::First});  // use the same settings: Yes
  AddChosenFiles();
  EXPECT_EQ(pilot.shows, 1);
  ASSERT_EQ(tasks.Count(), 3);
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].text, lang::UseSameSettingsQuestion);
  EXPECT_EQ(tasks[0].outputFile, dir.File("a.mp3"));
  EXPECT_EQ(tasks[1].outputFile, dir.File("b.mp3"));
  EXPECT_EQ(tasks[2].outputFile, dir.File("c.mp3"));
  EXPECT_EQ(Rows(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Row(i)->checkState(0), Qt::Checked);
    EXPECT_TRUE(tasks[i].checked);
  }
  EXPECT_TRUE(Button("startButton")->isEnabled());
}

TEST_F(MainWindowTest, CancellingTheFirstWizardAddsNothingAndAsksNothing) {
  ChooseFiles({Wma("a.wma"), Wma("b.wma")});
  WizardAutopilot pilot(*wizard, /*cancel=*/true);
  AddChosenFiles();
  EXPECT_EQ(pilot.shows, 1);
  EXPECT_EQ(tasks.Count(), 0);
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
  workspace.settings.outputFileDir = dir.File("out/");

  WizardAutopilot pilot(*wizard);
  answers.Reply({Answer::First, Answer::First});  // create the first output folder: Yes; the same settings: Yes
  Drop(*main, {dir.File("Album"), dir.File("loose.txt")});
  ASSERT_TRUE(ServeUntil([this] { return !main->Adding(); }));
  EXPECT_EQ(dialogs, 0);
  EXPECT_EQ(pilot.shows, 1);
  ASSERT_EQ(tasks.Count(), 4);
  // Folder by folder in name order, numbers as numbers: "CD 2" before "CD 10", 9 before 10.
  EXPECT_EQ(tasks[0].sourceFile, dir.File("Album/CD 2/Track 1.mp3"));
  EXPECT_EQ(tasks[1].sourceFile, dir.File("Album/CD 10/a.wma"));
  EXPECT_EQ(tasks[2].sourceFile, dir.File("Album/track 9.WMA"));
  EXPECT_EQ(tasks[3].sourceFile, dir.File("Album/Track 10.wma"));
  EXPECT_EQ(tasks[0].outputFile, dir.File("out/Album/CD 2/Track 1.mp3"));
  EXPECT_EQ(tasks[1].outputFile, dir.File("out/Album/CD 10/a.mp3"));
  EXPECT_EQ(tasks[3].outputFile, dir.File("out/Album/Track 10.mp3"));
  ASSERT_EQ(answers.asked.size(), 3u);
  EXPECT_EQ(answers.asked[1].text, lang::UseSameSettingsQuestion);
  const std::string& refused = answers.asked[2].text;
  EXPECT_EQ(answers.asked[2].kind, MessageKind::Warning);
  EXPECT_NE(refused.find(dir.File("Album/CD 2/noise.mp3") + ": "), std::string::npos) << refused;
  EXPECT_NE(refused.find(dir.File("loose.txt") + ": "), std::string::npos) << refused;
  EXPECT_EQ(refused.find("cover.jpg"), std::string::npos) << "folders give their media files only";
  // The last task added is the one the panel shows, ready to be removed or edited.
  EXPECT_EQ(main->CurrentRow(), 3);
  EXPECT_TRUE(Button("removeButton")->isEnabled());
  EXPECT_TRUE(Button("editButton")->isEnabled());
  EXPECT_TRUE(Label("inputInfoLabel")->text().contains(QStringLiteral("Track 10.wma")));
  EXPECT_EQ(Row(3)->text(1), QStringLiteral("Track 10.wma"));
}

TEST_F(MainWindowTest, CheckMarksRemovalAndEditKeepRowsAndTasksInStep) {
  ChooseFiles({Wma("a.wma"), Wma("b.wma"), Wma("c.wma")});
  WizardAutopilot pilot(*wizard);
  answers.Reply({Answer::First});
  AddChosenFiles();
  ASSERT_EQ(tasks.Count(), 3);

  main->SetCurrentRow(1);
  Row(1)->setCheckState(0, Qt::Unchecked);
  EXPECT_FALSE(tasks[1].checked);
  main->RefreshTaskRow(1);
  EXPECT_EQ(Row(1)->checkState(0), Qt::Unchecked);

  main->SetCurrentRow(0);
  Button("removeButton")->click();
  ASSERT_EQ(tasks.Count(), 2);
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(tasks[0].outputFile, dir.File("b.mp3"));
  EXPECT_EQ(Row(0)->text(0), QStringLiteral("b"));
  EXPECT_EQ(Row(0)->checkState(0), Qt::Unchecked);

  main->SetCurrentRow(1);
  Button("editButton")->click();
  EXPECT_EQ(pilot.shows, 2);
  EXPECT_EQ(tasks.Count(), 2);
  EXPECT_EQ(Rows(), 2);
  EXPECT_TRUE(Label("inputInfoLabel")->text().contains(QString::fromStdString(tasks[1].sourceFile)));
}

TEST(TaskInfo, LinesOfAVbrJointStereoTaskAndAnEscapedName) {
  core::ConversionTask task;
  task.sourceFile = "/m/R&B <live>.wma";
  task.outputFile = "/m/R&B <live>.mp3";
  task.encoding.channelMode = ChannelMode::JointStereo;
  task.encoding.vbr = true;
  task.encoding.vbrMinBitrate = 128;
  task.encoding.vbrMaxBitrate = 256;
  task.duration = 1'800'000'000;
  task.estimatedSize = 2966;
  const app::TaskInfoLines lines = app::TaskInfoFor(task, false);
  EXPECT_EQ(lines.input.toStdString(), "<b>Input File</b>: <a href=\"bb\"><u>/m/R&amp;B &lt;live&gt;.wma</u></a>");
  EXPECT_EQ(lines.output.toStdString(), "<b>Output File</b>: /m/R&amp;B &lt;live&gt;.mp3");
  EXPECT_EQ(lines.settings.toStdString(), "<b>MP3 Settings</b>: Joint Stereo, 128 – 256 kbps, VBR");
  EXPECT_TRUE(lines.duration.startsWith(QStringLiteral("<b>Duration</b>: 0:03:00.0, <b>Output File Size</b>: about 2")));
  EXPECT_EQ(lines.editLink.toStdString(), "<a href=\"cc\"><u>Edit…</u></a>");
  EXPECT_TRUE(app::TaskInfoFor(task, true).output.contains(QStringLiteral("href=\"dd\"")));
  task.encoding.vbr = false;
  task.encoding.bitrate = 192;
  task.encoding.channelMode = ChannelMode::Mono;
  EXPECT_EQ(app::TaskInfoFor(task, false).settings.toStdString(), "<b>MP3 Settings</b>: Mono, 192 kbps, CBR");
}

// The fifth line names only the tags the task has beyond the usual texts.
TEST(TaskInfo, ExtrasLineNamesWhatTheTaskHas) {
  core::ConversionTask task;
  EXPECT_TRUE(app::TaskInfoFor(task, false).extras.isEmpty());
  task.albumArtist = "A & B";
  task.track = "3/12";
  task.disc = 2;
  task.composer = "C";
  task.coverMimeType = "image/jpeg";
  task.coverBytes = 1025;
  EXPECT_EQ(app::TaskInfoFor(task, false).extras.toStdString(),
            "<b>More tags</b>: Album artist: A &amp; B, Track: 3/12, Disc: 2, Composer: C, Cover: JPEG, 2 KB");
  task = core::ConversionTask();
  task.disc = 1;
  task.discTotal = 2;
  task.coverBytes = 10;
  task.omitCover = true;
  EXPECT_EQ(app::TaskInfoFor(task, false).extras.toStdString(), "<b>More tags</b>: Disc: 1/2, Cover: 1 KB (left out)");
}

// The keys every desktop program has: each does what its button does, through the same checks.
TEST_F(MainWindowTest, KeysDoWhatTheirButtonsDo) {
  std::vector<QUrl> opened;
  workspace.desktop.SetOpener([&opened](const QUrl& url) { opened.push_back(url); });
  // Keys go where the user's keys go: to the list, which has the focus in the active window.
  const auto press = [this](QKeySequence keys) {
    QApplication::setActiveWindow(main.get());
    list->setFocus();
    QTest::keySequence(list, keys);
  };

  // Insert and Ctrl+O open the file dialog, Ctrl+Shift+O the folder dialog.
  std::vector<QFileDialog::FileMode> modes;
  main->SetFileChooser([&modes](QFileDialog& dialog) -> std::optional<QStringList> {
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
  answers.Reply({Answer::First});
  AddChosenFiles();
  ASSERT_EQ(tasks.Count(), 2);
  list->setFocus();
  ASSERT_EQ(main->CurrentRow(), 1);

  // Space checks and unchecks the current row; Enter edits it; Delete removes it.
  press(QKeySequence(Qt::Key_Space));
  EXPECT_FALSE(tasks[1].checked);
  press(QKeySequence(Qt::Key_Space));
  EXPECT_TRUE(tasks[1].checked);
  press(QKeySequence(Qt::Key_Return));
  EXPECT_EQ(pilot.shows, 2) << "Enter opened the wizard for the row";
  press(QKeySequence(Qt::Key_Delete));
  ASSERT_EQ(tasks.Count(), 1);
  EXPECT_EQ(tasks[0].sourceFile, dir.File("a.wma"));

  // F1 opens the guide.
  press(QKeySequence(Qt::Key_F1));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].toLocalFile().endsWith(QStringLiteral("tavisto.html")));

  // Ctrl+Q quits as the close button does: not while a file is read.
  {
    guitest::ReadingGate gate(main->Reader());
    main->AddPaths({Wma("c.wma")});
    ASSERT_TRUE(main->Adding());
    press(QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_TRUE(main->isVisible());
  }
  ASSERT_TRUE(ServeUntil([this] { return !main->Adding(); }));
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
  const QStringList filters = app::MediaDialogFilters({"mp3", "wma"});
  EXPECT_EQ(filters, (QStringList{"All media files (*.mp3 *.wma)", "Windows Media files (*.wma *.wmv *.asf)", "All files (*)"}));
}

// While a file is read the buttons that would change the list are off, and what still reaches
// the window (a drop, closing it) is refused with a notice.
TEST_F(MainWindowTest, ActionsAndClosingAreRefusedWhileAFileIsRead) {
  const std::string a = Wma("a.wma"), b = Wma("b.wma");
  WizardAutopilot pilot(*wizard, /*cancel=*/true);
  {
    guitest::ReadingGate gate(main->Reader());
    main->AddPaths({a});
    ASSERT_TRUE(main->Adding());
    for (const char* name : {"addFilesButton", "addFolderButton", "removeButton", "editButton", "startButton"})
      EXPECT_FALSE(Button(name)->isEnabled()) << name;
    QTest::keySequence(list, QKeySequence(Qt::Key_Insert));
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(main->close());
    EXPECT_TRUE(main->isVisible());
    Drop(*main, {b});
    ASSERT_EQ(answers.asked.size(), 2u);
    for (const app::MessageRequest& asked : answers.asked) {
      EXPECT_EQ(asked.text, lang::CannotActWhileBusy);
      EXPECT_EQ(asked.kind, MessageKind::Information);
    }
  }
  ASSERT_TRUE(ServeUntil([this] { return !main->Adding(); }));
  EXPECT_EQ(pilot.shows, 1) << "the refused drop added nothing";
  EXPECT_TRUE(main->close());
}

// Start is offered once there are tasks; with none of them checked it says there is nothing to
// convert and shows no run.
TEST_F(MainWindowTest, StartWithNoCheckedTaskSaysThereIsNothingToConvert) {
  EXPECT_FALSE(Button("startButton")->isEnabled());
  ChooseFiles({Wma("a.wma")});
  {
    WizardAutopilot pilot(*wizard);
    AddChosenFiles();
  }
  ASSERT_EQ(tasks.Count(), 1);
  Row(0)->setCheckState(0, Qt::Unchecked);
  ASSERT_FALSE(tasks[0].checked);
  answers.asked.clear();
  Button("startButton")->click();
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].text.rfind(lang::NothingToConvert, 0), 0u) << answers.asked[0].text;
  EXPECT_FALSE(progress->isVisible());
  EXPECT_FALSE(progress->Running());
  EXPECT_EQ(ended, 0);
}

// Start, add two tagged WMA files, convert them, answer the end question, close: the MP3 files
// are right and tagged, and the settings file holds the last choices.
TEST_F(MainWindowTest, AWholeSessionConvertsTwoFilesAndSavesTheSettings) {
  ChooseFiles({Wma("first.wma", "-metadata title=First -metadata artist=Someone"),
               Wma("second.wma", "-metadata title=Second -metadata artist=Else")});
  {
    WizardAutopilot pilot(*wizard);
    answers.Reply({Answer::First});
    AddChosenFiles();
  }
  ASSERT_EQ(tasks.Count(), 2);
  // The run's own messages: the end question is answered No (do not open the folder).
  answers.Reply({Answer::Second});
  bool sawRunWindow = false;
  QObject::connect(progress.get(), &app::ProgressWindow::taskChanged,
                   [&] { sawRunWindow = sawRunWindow || progress->isVisible(); });
  StartAndWait();
  EXPECT_TRUE(sawRunWindow);
  EXPECT_FALSE(progress->isVisible());
  EXPECT_EQ(ended, 1);
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
  EXPECT_TRUE(Label("outputInfoLabel")->text().contains(QStringLiteral("href=\"dd\""))) << "the output now exists";

  EXPECT_TRUE(main->close());
  std::ifstream settings(test.RegistryFile());
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
    answers.Reply({Answer::First});
    AddChosenFiles();
  }
  ASSERT_EQ(tasks.Count(), 3);
  fs::remove(tasks[1].sourceFile);  // it fails: gone since it was added
  media_fixtures::WriteBytes(tasks[2].outputFile, {'o', 'l', 'd'});
  progress->SetCollisionAnswerer(
      [](const std::string&) { return app::CollisionReply{core::CollisionAnswer::KeepBoth, false}; });
  answers.Reply({Answer::Second});
  // The first row as the main window shows it after each change the run reports.
  std::vector<QString> statuses;
  QObject::connect(progress.get(), &app::ProgressWindow::taskChanged, [&](int task) {
    if (task != 0) return;
    const QString status = Row(0)->text(2);
    if (statuses.empty() || statuses.back() != status) statuses.push_back(status);
  });
  StartAndWait();

  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses.front(), QStringLiteral("Waiting"));
  EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(),
                          [](const QString& status) { return status.startsWith(QStringLiteral("Converting")); }));
  EXPECT_TRUE(Row(0)->text(2).startsWith(QStringLiteral("Verified (")));
  EXPECT_EQ(Row(0)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(Row(1)->text(2), QStringLiteral("Failed: No such file or directory"));
  EXPECT_EQ(Row(1)->toolTip(2), QStringLiteral("No such file or directory"));
  EXPECT_EQ(Row(1)->checkState(0), Qt::Checked);
  // The status column takes what its texts need where there is room; the title the rest.
  main->resize(1200, 850);
  const int needed = list->fontMetrics().horizontalAdvance(Row(1)->text(2));
  EXPECT_TRUE(ServeUntil([&] { return list->header()->sectionSize(2) >= needed; }, 5000))
      << list->header()->sectionSize(2) << " < " << needed;
  EXPECT_EQ(list->header()->sectionSize(0) + list->header()->sectionSize(1) + list->header()->sectionSize(2),
            list->viewport()->width());
  main->resize(main->minimumSizeHint());
  EXPECT_TRUE(ServeUntil([&] { return list->header()->sectionSize(2) <= list->viewport()->width() / 2; }, 5000))
      << "a narrow list keeps room for the titles";
  EXPECT_TRUE(Row(2)->text(2).startsWith(QStringLiteral("Verified (")));
  EXPECT_EQ(tasks[2].outputFile, dir.File("kept (2).mp3"));
  main->SetCurrentRow(2);
  EXPECT_TRUE(Label("outputInfoLabel")->text().contains(QStringLiteral("href=\"dd\""))) << "the kept-both MP3 exists";

  // Again: only the failed task runs, and fails again; the converted ones are left alone.
  const auto converted = fs::last_write_time(dir.File("good.mp3"));
  answers.Reply({Answer::Second});
  StartAndWait();
  EXPECT_EQ(progress->Run()->Count(), 1);
  EXPECT_EQ(fs::last_write_time(dir.File("good.mp3")), converted);
  EXPECT_EQ(Row(1)->text(2), QStringLiteral("Failed: No such file or directory"));
}

// ---- Output names, run options, the kept list and files handed over in a run ----

namespace {

// Clicks through the wizard like WizardAutopilot, typing `output` into its output name first.
class WizardWithOutput {
 public:
  WizardWithOutput(app::AddWizard& wizard, const std::string& output) : wizard_(wizard), output_(output) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (!wizard_.isVisible() || QApplication::activeModalWidget() != &wizard_) return;
      if (!typed_) {
        Child<QLineEdit>(wizard_, "outputPathEdit")->setText(QString::fromStdString(output_));
        typed_ = true;
      }
      Child<QPushButton>(wizard_, "nextButton")->click();
    });
    timer_.start();
  }

 private:
  app::AddWizard& wizard_;
  std::string output_;
  bool typed_ = false;
  QTimer timer_;
};

std::string TagsOf(const char* title, int track) {
  return std::string("-metadata title=\"") + title + "\" -metadata artist=Band -metadata album=Disc -metadata track=" +
         std::to_string(track);
}

}  // namespace

// A change of the output choice names every listed task anew at once, the info panel follows,
// and new tasks get it too; a task the user named in the wizard keeps its name.
TEST_F(MainWindowTest, TheOutputChoiceAppliesToListedTasksButNotToOneWithItsOwnOutput) {
  ChooseFiles({Wma("a.wma", TagsOf("Alpha", 1)), Wma("b.wma", TagsOf("Beta", 2)), Wma("c.wma", TagsOf("Gamma", 3))});
  {
    WizardAutopilot pilot(*wizard);
    answers.Reply({Answer::First});
    AddChosenFiles();
  }
  ASSERT_EQ(tasks.Count(), 3);
  const std::string own = dir.File("mine/b-own.mp3");
  fs::create_directories(dir.File("mine"));
  main->SetCurrentRow(1);
  {
    WizardWithOutput pilot(*wizard, own);
    Button("editButton")->click();
  }
  ASSERT_EQ(tasks[1].outputFile, own);
  EXPECT_TRUE(tasks[1].ownOutput);

  // Into a folder: the folder dialog answers with it.
  main->SetCurrentRow(0);
  auto* folders = Child<QComboBox>(*main, "outputLocationSelector");
  main->SetFileChooser([this](QFileDialog&) -> std::optional<QStringList> { return QStringList{QString::fromStdString(dir.File("out"))}; });
  folders->setCurrentIndex(folders->count() - 1);
  emit folders->activated(folders->count() - 1);
  EXPECT_EQ(tasks[0].outputFile, dir.File("out/a.mp3"));
  EXPECT_EQ(tasks[1].outputFile, own);
  EXPECT_EQ(tasks[2].outputFile, dir.File("out/c.mp3"));
  EXPECT_TRUE(Label("outputInfoLabel")->text().contains(QString::fromStdString(dir.File("out/a.mp3"))))
      << "the info panel shows the new name at once";

  // Named by their tags.
  auto* names = Child<QComboBox>(*main, "outputNamesSelector");
  names->setCurrentIndex(static_cast<int>(core::OutputNames::ArtistAlbumTitle));
  emit names->activated(names->currentIndex());
  EXPECT_EQ(tasks[0].outputFile, dir.File("out/Band/Disc/01 Alpha.mp3"));
  EXPECT_EQ(tasks[1].outputFile, own);
  EXPECT_EQ(tasks[2].outputFile, dir.File("out/Band/Disc/03 Gamma.mp3"));
  EXPECT_EQ(workspace.settings.outputNames, core::OutputNames::ArtistAlbumTitle);

  // A new task gets the choice too.
  ChooseFiles({Wma("d.wma", TagsOf("Delta", 4))});
  {
    WizardAutopilot pilot(*wizard);
    answers.Reply({Answer::First});  // create the folder: Yes
    AddChosenFiles();
  }
  ASSERT_EQ(tasks.Count(), 4);
  EXPECT_EQ(tasks[3].outputFile, dir.File("out/Band/Disc/04 Delta.mp3"));
  EXPECT_FALSE(tasks[3].ownOutput);

  // Back beside the sources, like them.
  folders->setCurrentIndex(0);
  emit folders->activated(0);
  names->setCurrentIndex(static_cast<int>(core::OutputNames::LikeSource));
  emit names->activated(names->currentIndex());
  EXPECT_EQ(tasks[0].outputFile, dir.File("a.mp3"));
  EXPECT_EQ(tasks[1].outputFile, own);
  EXPECT_EQ(tasks[3].outputFile, dir.File("d.mp3"));
}

// The preview shows the selected task's name as the typed pattern makes it; a pattern that does
// not parse is shown as such, and the tasks keep the names the last good one gave them.
TEST_F(MainWindowTest, ThePatternPreviewFollowsTheTypingAndAnInvalidPatternIsNotUsed) {
  ChooseFiles({Wma("a.wma", TagsOf("Alpha", 1)), Wma("b.wma", TagsOf("Beta", 2))});
  {
    WizardAutopilot pilot(*wizard);
    answers.Reply({Answer::First});
    AddChosenFiles();
  }
  ASSERT_EQ(tasks.Count(), 2);
  auto* names = Child<QComboBox>(*main, "outputNamesSelector");
  names->setCurrentIndex(static_cast<int>(core::OutputNames::OwnPattern));
  emit names->activated(names->currentIndex());
  auto* edit = Child<QLineEdit>(*main, "namePatternEdit");
  ASSERT_TRUE(edit->isVisible());
  EXPECT_EQ(edit->text().toStdString(), core::kArtistAlbumTitlePattern) << "an own pattern starts from the named one";
  const auto type = [edit](const char* text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, QString::fromUtf8(text));
  };

  main->SetCurrentRow(0);
  type("%artist% - %title%");
  QLabel* preview = Label("namePreviewLabel");
  EXPECT_EQ(preview->text().toStdString(), "Preview: Band - Alpha.mp3");
  main->SetCurrentRow(1);
  EXPECT_EQ(preview->text().toStdString(), "Preview: Band - Beta.mp3") << "the selected task's name";
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(tasks[0].outputFile, dir.File("Band - Alpha.mp3"));
  EXPECT_EQ(workspace.settings.namePattern, "%artist% - %title%");

  const std::pair<const char*, const char*> invalid[] = {
      {"%artist", "This pattern is not used: a \"%\" has no closing \"%\""},
      {"%artist - %title%", "This pattern is not used: a \"%\" has no closing \"%\""},
      {"%artist% - %name%", "This pattern is not used: %name% is not a field"},
  };
  for (const auto& [pattern, shown] : invalid) {
    type(pattern);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(preview->text().toStdString(), shown) << pattern;
    EXPECT_EQ(tasks[0].outputFile, dir.File("Band - Alpha.mp3")) << pattern;
    EXPECT_EQ(workspace.settings.namePattern, "%artist% - %title%") << pattern;
  }
}

// A kept list from a session that was killed: its unfinished tasks come back when the user says
// so, the finished ones marked done; declining discards it, and a list with nothing left to do
// is not offered at all.
TEST_F(MainWindowTest, TheListOfAKilledSessionIsOfferedBack) {
  const std::string listFile = dir.File("state/tasks-test.list");
  core::ConversionTask done;
  done.sourceFile = dir.File("done.wma");
  done.outputFile = dir.File("done.mp3");
  done.title = "Done one";
  done.state = core::TaskState::Done;
  done.verified = true;
  done.outputBytes = 4096;
  core::ConversionTask converting = done;
  converting.sourceFile = dir.File("converting.wma");
  converting.title = "Interrupted";
  converting.state = core::TaskState::Converting;
  converting.checked = true;
  converting.verified = false;
  core::ConversionTask ready = converting;
  ready.sourceFile = dir.File("ready.wma");
  ready.title = "Not started";
  ready.state = core::TaskState::Ready;
  const auto keptBy = [&](const std::vector<core::ConversionTask>& kept) {
    // The previous session's store, ended without a word as a killed process ends.
    workspace.taskStore.Close();
    core::TaskStore previous;
    ASSERT_TRUE(previous.Open(listFile));
    core::TaskList keptList;
    for (const core::ConversionTask& task : kept) keptList.Append(task);
    ASSERT_TRUE(previous.Save(keptList));
  };
  const auto start = [&] {
    CloseWindows();
    tasks.Clear();
    ASSERT_TRUE(workspace.KeepTasksIn(listFile));
    answers.asked.clear();
    OpenWindows();
  };

  keptBy({done, converting, ready});
  answers.Reply({Answer::First});
  start();
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].text, "Bring back the 3 tasks of the last session? 2 of them are not converted yet.");
  ASSERT_EQ(tasks.Count(), 3);
  EXPECT_EQ(tasks[0].state, core::TaskState::Done);
  EXPECT_FALSE(tasks[0].checked);
  EXPECT_TRUE(Row(0)->text(2).startsWith(QStringLiteral("Verified (")));
  EXPECT_EQ(tasks[1].state, core::TaskState::Ready) << "the killed run is over";
  EXPECT_TRUE(tasks[1].checked);
  EXPECT_EQ(Row(1)->text(0), QStringLiteral("Interrupted"));
  EXPECT_EQ(main->CurrentRow(), 1) << "the first unfinished task is selected";
  core::TaskStore reader;
  EXPECT_FALSE(reader.Open(listFile)) << "this session keeps the list now";

  keptBy({done, converting});
  answers.Reply({Answer::Second});
  start();
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(tasks.Count(), 0);
  EXPECT_FALSE(fs::exists(listFile)) << "declining discards it";

  keptBy({done});
  start();
  EXPECT_TRUE(answers.asked.empty()) << "nothing to bring back";
  EXPECT_FALSE(fs::exists(listFile));

  std::ofstream(listFile) << "Tavisto task list 1\ntask\nsource /cut";
  start();
  EXPECT_TRUE(answers.asked.empty()) << "a damaged list is no list";
  EXPECT_EQ(tasks.Count(), 0);
}

// Closing keeps an unfinished list for the next start and says so the first time; a list with
// nothing left in it leaves no file.
TEST_F(MainWindowTest, ClosingKeepsTheListAndSaysSoOnce) {
  const std::string listFile = dir.File("state/tasks-test.list");
  CloseWindows();
  ASSERT_TRUE(workspace.KeepTasksIn(listFile));
  OpenWindows();
  ChooseFiles({Wma("a.wma"), Wma("b.wma")});
  {
    WizardAutopilot pilot(*wizard);
    answers.Reply({Answer::First});
    AddChosenFiles();
  }
  ASSERT_TRUE(ServeUntil([&] { return fs::exists(listFile); })) << "written shortly after the change";
  Row(0)->setCheckState(0, Qt::Unchecked);
  answers.asked.clear();
  EXPECT_TRUE(main->close());
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].text, lang::ListKeptNotice);
  std::ifstream file(listFile);
  const auto kept = core::ParseTaskList(std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()});
  ASSERT_TRUE(kept.has_value());
  ASSERT_EQ(kept->size(), 2u);
  EXPECT_FALSE((*kept)[0].checked) << "the unchecking made before the close is in it";

  CloseWindows();
  OpenWindows();
  answers.asked.clear();
  EXPECT_TRUE(main->close());
  EXPECT_TRUE(answers.asked.empty()) << "said once";
  EXPECT_TRUE(fs::exists(listFile));

  tasks.Clear();
  CloseWindows();
  OpenWindows();
  EXPECT_TRUE(main->close());
  EXPECT_FALSE(fs::exists(listFile)) << "an empty list leaves no file";
}

// With "only new or changed files", an MP3 made from the source as it is now is left alone: the
// task says "Up to date", also when the file is added again.
TEST_F(MainWindowTest, ASecondRunWithOnlyNewOrChangedFilesSaysUpToDate) {
  ChooseFiles({Wma("a.wma", TagsOf("Alpha", 1))});
  {
    WizardAutopilot pilot(*wizard);
    AddChosenFiles();
  }
  ASSERT_EQ(tasks.Count(), 1);
  Child<QCheckBox>(*main, "updateOnlyCheck")->click();
  EXPECT_TRUE(workspace.settings.run.updateOnly);
  answers.Reply({Answer::Second});
  StartAndWait();
  ASSERT_EQ(tasks[0].state, core::TaskState::Done);
  const std::string mp3 = dir.File("a.mp3");
  const auto decoded = testsupport::DecodeAudioFile(mp3);
  ASSERT_TRUE(decoded.ok);
  EXPECT_NEAR(decoded.seconds(), 1.0, 0.06);
  const auto written = fs::last_write_time(mp3);

  // The same task again.
  Row(0)->setCheckState(0, Qt::Checked);
  answers.Reply({Answer::Second});
  StartAndWait();
  EXPECT_EQ(tasks[0].state, core::TaskState::UpToDate);
  EXPECT_EQ(Row(0)->text(2), QStringLiteral("Up to date"));
  EXPECT_FALSE(tasks[0].checked) << "nothing left to do for it";

  // The file added again, as a library is: the MP3 there is the one it names.
  main->SetCurrentRow(0);
  Button("removeButton")->click();
  ChooseFiles({dir.File("a.wma")});
  {
    WizardAutopilot pilot(*wizard);
    answers.Reply({Answer::First});  // the wizard's question about the existing MP3: go on
    AddChosenFiles();
  }
  ASSERT_EQ(tasks.Count(), 1);
  EXPECT_EQ(tasks[0].outputFile, mp3) << "the run judges the MP3 there: no numbered name";
  answers.Reply({Answer::Second});
  StartAndWait();
  EXPECT_EQ(tasks[0].state, core::TaskState::UpToDate);
  EXPECT_EQ(fs::last_write_time(mp3), written);
}

// Files handed over while a run goes on are listed at once, waiting for it, and converted when
// it ends.
TEST_F(MainWindowTest, FilesHandedOverDuringARunAppearAtOnceAndAreConvertedNext) {
  ChooseFiles({Wma("first.wma")});
  {
    WizardAutopilot pilot(*wizard);
    AddChosenFiles();
  }
  const std::string late = Wma("late.wma", TagsOf("Late", 5));
  answers.Reply({Answer::Second, Answer::Second});  // neither run's end opens the folder
  Button("startButton")->click();
  ASSERT_TRUE(progress->Running());
  // Held still, so that the run surely goes on while the files arrive.
  Child<QPushButton>(*progress, "pauseButton")->click();
  main->AddPaths({late});
  ASSERT_TRUE(ServeUntil([this] { return tasks.Count() == 2; })) << "the handed-over file is listed";
  EXPECT_TRUE(progress->Running());
  EXPECT_EQ(tasks[1].state, core::TaskState::Queued);
  EXPECT_TRUE(tasks[1].checked);
  EXPECT_EQ(Row(1)->text(0), QStringLiteral("Late"));
  EXPECT_EQ(Row(1)->text(2), QStringLiteral("Waiting for the run"));
  EXPECT_TRUE(Label("readingStatusLabel")->text().contains(QStringLiteral("1")));

  Child<QPushButton>(*progress, "pauseButton")->click();
  ASSERT_TRUE(ServeUntil([this] { return ended == 2; })) << "the first run and the one after it";
  EXPECT_EQ(progress->Run()->Count(), 1) << "the second run converted only the late file";
  EXPECT_EQ(tasks[1].state, core::TaskState::Done);
  const auto decoded = testsupport::DecodeAudioFile(dir.File("late.mp3"));
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.tags.at("title"), "Late");
}
