// The add/edit wizard driven through its controls: the output name checks on Next, Finish with
// its numbers, defaults and history lists, and picking other files. The wizard only fills the
// working task; taking it into the task list is the main window's (main_window_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/add_wizard.h"
#include "app/elided_label.h"
#include "core/conversion_run.h"
#include "core/conversion_task.h"
#include "core/inspection.h"
#include "core/interface_texts.h"
#include "core/settings.h"
#include "decoded_audio.h"
#include "gui_test_support.h"
#include "message_answers.h"
#include "platform/mmstream/tests/media_fixtures.h"
#include "platform/paths/program_dirs.h"
#include "tagged_sources.h"

using app::Answer;
using core::MessageKind;
using engine::ChannelMode;
using guitest::Child;
using media_fixtures::Ffmpeg;
using media_fixtures::TempDir;
namespace fs = std::filesystem;

namespace {

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The lines of a text file, in no particular order.
std::multiset<std::string> Lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::multiset<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.insert(line);
  return lines;
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

// Answers the file dialog that the next step opens: picks `path`, or cancels when it is empty.
// Counts the dialogs it saw.
void AnswerFileDialog(QFileDialog* dialog, const std::string& path, int* seen = nullptr) {
  QTimer::singleShot(0, [dialog, path, seen] {
    if (QApplication::activeModalWidget() != dialog) return;
    if (seen != nullptr) ++*seen;
    if (path.empty()) {
      dialog->reject();
      return;
    }
    dialog->selectFile(Text(path));
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the name like a click
  });
}

// Each test: settings and history lists in a fresh folder, an empty task list, and a working
// task as inspection leaves it: a 3 min 25.9 s stereo source at 44100 Hz.
class Wizard : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir.File("out"));
    core::ConversionTask& task = workspace.workingTask;
    task = core::ConversionTask();
    task.sourceFile = dir.File("song.wma");
    task.outputFile = dir.File("out/song.mp3");
    task.hasAudio = true;
    task.duration = 2'059'000'000;
    task.sourceSampleRate = 44100;
    task.sourceChannels = 2;
    task.encoding.sampleRate = 44100;
    task.encoding.channelMode = ChannelMode::JointStereo;
    task.encoding.bitrate = 128;
    task.encoding.vbrMinBitrate = 128;
    task.encoding.vbrMaxBitrate = 256;
    task.title = "Song";
    task.artist = "Band";
  }

  template <class T>
  T* Control(const char* name) {
    return Child<T>(wizard, name);
  }
  QComboBox* Box(const char* name) { return Control<QComboBox>(name); }
  QLineEdit* Edit(const char* name) { return Control<QLineEdit>(name); }
  QPushButton* Button(const char* name) { return Control<QPushButton>(name); }

  void Open() { wizard.show(); }
  int Page() { return Control<QStackedWidget>("pages")->currentIndex(); }
  void Next() { Button("nextButton")->click(); }
  void ToLastPage() {
    Next();
    Next();
    ASSERT_EQ(Page(), 2);
  }
  std::string History(const char* name) const { return dir.File(name); }

  TempDir dir;
  guitest::TestWorkspace test{dir.Path()};
  app::Workspace& workspace = test.workspace;
  MessageAnswers answers{workspace.messages};
  app::AddWizard wizard{workspace};
};

TEST_F(Wizard, ShowFillsThePagesFromTheWorkingTask) {
  Open();
  EXPECT_EQ(wizard.windowTitle(), QStringLiteral("Settings"));
  EXPECT_EQ(Button("backButton")->text(), QStringLiteral("< &Back"));
  EXPECT_FALSE(Button("backButton")->isEnabled());
  EXPECT_EQ(Edit("inputPathEdit")->text(), Text(dir.File("song.wma")));
  EXPECT_EQ(Edit("outputPathEdit")->text(), Text(dir.File("out/song.mp3")));
  const QListWidget* info = Control<QListWidget>("inputInfoList");
  ASSERT_EQ(info->count(), 2);
  EXPECT_EQ(info->item(0)->text(), QStringLiteral(" Duration: 0:03:25.9"));
  EXPECT_EQ(info->item(1)->text(), QStringLiteral(" Audio: 44100 Hz, stereo"));
  EXPECT_EQ(Box("bitrateSelector")->currentText(), QStringLiteral("128 kbps"));
  EXPECT_EQ(Box("maxBitrateSelector")->currentText(), QStringLiteral("256 kbps"));
  EXPECT_EQ(Box("sampleRateSelector")->currentText(), QStringLiteral("44100 Hz"));
  EXPECT_EQ(Box("channelModeSelector")->currentText(), QStringLiteral("Joint Stereo"));
  // LAME's qualities, 0 the best to 9 the smallest; the task's own (the default, 2) chosen.
  EXPECT_EQ(Box("vbrQualitySelector")->count(), 10);
  EXPECT_EQ(Box("vbrQualitySelector")->currentIndex(), 2);
  EXPECT_EQ(Control<QStackedWidget>("bitrateStack")->currentIndex(), 0);
  EXPECT_EQ(Box("genreEdit")->count(), 164);
  EXPECT_TRUE(answers.asked.empty()) << "missing history files are empty lists, not errors";

  for (const auto& [channels, text] : {std::pair{1, " Audio: 44100 Hz, mono"}, {6, " Audio: 44100 Hz, 6 channels"}}) {
    wizard.hide();
    workspace.workingTask.sourceChannels = channels;
    wizard.show();
    EXPECT_EQ(info->item(1)->text(), QString::fromUtf8(text));
  }
}

TEST_F(Wizard, ExistingOutputIsAskedAboutOnceNoStaysYesGoesOn) {
  std::ofstream(dir.File("out/song.mp3")) << "old";
  Open();
  Next();
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].kind, MessageKind::Question);
  EXPECT_EQ(answers.asked[0].text, "File exists:\n" + dir.File("out/song.mp3") + "\nWould you like to replace the existing file?");
  EXPECT_EQ(answers.asked[0].firstCaption, lang::YesButton);
  EXPECT_EQ(answers.asked[0].secondCaption, lang::NoButton);
  EXPECT_EQ(answers.asked[0].defaultButton, app::DefaultButton::Second) << "Enter must not replace a file";
  EXPECT_EQ(Page(), 0);

  answers.Reply({Answer::First});
  Next();
  EXPECT_EQ(answers.asked.size(), 2u) << "the folder exists: no further question";
  EXPECT_EQ(Page(), 1);
}

TEST_F(Wizard, MissingFolderChainIsCreatedOnYes) {
  fs::create_directory(dir.File("a"));
  workspace.workingTask.outputFile = dir.File("a/b/c/song.mp3");
  answers.Reply({Answer::First});
  Open();
  Next();
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].kind, MessageKind::Question);
  EXPECT_EQ(answers.asked[0].text, "The specified output folder does not exist.\n" + dir.File("a/b/c/") +
                                       "\nWould you like to create it?");
  EXPECT_TRUE(fs::is_directory(dir.File("a/b/c")));
  EXPECT_EQ(Edit("outputPathEdit")->text(), Text(dir.File("a/b/c/song.mp3")));
  EXPECT_EQ(Page(), 1);
}

TEST_F(Wizard, MissingFolderAnsweredNoStaysAndCreatesNothing) {
  workspace.workingTask.outputFile = dir.File("new/song.mp3");
  Open();
  Next();
  EXPECT_EQ(answers.asked.size(), 1u);
  EXPECT_FALSE(fs::exists(dir.File("new")));
  EXPECT_EQ(Page(), 0);
}

// The chain used to end without a folder, and the wizard went on with a bare file name.
TEST_F(Wizard, ChainThatCannotBeCreatedKeepsPageOneAndTheNameAndSaysWhy) {
  std::ofstream(dir.File("file.txt")) << "not a folder";
  workspace.workingTask.outputFile = dir.File("file.txt/sub/song.mp3");
  answers.Reply({Answer::First});
  Open();
  Next();
  ASSERT_EQ(answers.asked.size(), 2u);
  EXPECT_EQ(answers.asked[1].kind, MessageKind::Error);
  EXPECT_NE(answers.asked[1].text.find(dir.File("file.txt")), std::string::npos) << answers.asked[1].text;
  EXPECT_NE(answers.asked[1].text.find("Not a directory"), std::string::npos) << answers.asked[1].text;
  EXPECT_EQ(Edit("outputPathEdit")->text(), Text(dir.File("file.txt/sub/song.mp3")));
  EXPECT_EQ(Page(), 0);
}

// Replacing the source with its own output would destroy it while it is read.
TEST_F(Wizard, OutputThatIsTheSourceItselfIsRefused) {
  std::ofstream(dir.File("song.wma")) << "source";
  workspace.workingTask.outputFile = dir.File("out/../song.wma");
  answers.Reply({Answer::First, Answer::First});
  Open();
  Next();
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].kind, MessageKind::Error);
  EXPECT_EQ(Page(), 0);
  EXPECT_EQ(Contents(dir.File("song.wma")), "source");
}

struct FinishCase {
  const char* name;
  bool vbr;
  const char* bitrate;
  int quality;
  std::int32_t estimate;  // 205 whole seconds
};

void PrintTo(const FinishCase& c, std::ostream* out) { *out << c.name; }

class WizardFinish : public Wizard, public ::testing::WithParamInterface<FinishCase> {};

// Both the constant and the variable rates are read whatever the choice; the estimate follows
// the choice. The settings become the defaults the settings file keeps.
TEST_P(WizardFinish, StoresTheSelectorsEstimateAndDefaults) {
  const FinishCase& c = GetParam();
  Open();
  Next();
  QCheckBox* vbr = Control<QCheckBox>("vbrCheck");
  if (c.vbr) QTest::mouseClick(vbr, Qt::LeftButton, {}, QPoint(8, vbr->height() / 2));
  EXPECT_EQ(vbr->isChecked(), c.vbr);
  EXPECT_EQ(Control<QStackedWidget>("bitrateStack")->currentIndex(), c.vbr ? 1 : 0);
  Box("bitrateSelector")->setCurrentText(c.bitrate);
  Box("vbrQualitySelector")->setCurrentIndex(c.quality);
  Box("sampleRateSelector")->setCurrentText("48000 Hz");
  Box("channelModeSelector")->setCurrentIndex(3);
  Next();
  Edit("titleEdit")->setText(Text(std::string(300, 'x')));
  Box("genreEdit")->setEditText("Jazz");
  EXPECT_EQ(Button("nextButton")->text(), QStringLiteral("&OK"));
  Next();

  EXPECT_EQ(wizard.result(), QDialog::Accepted);
  const core::ConversionTask& task = workspace.workingTask;
  EXPECT_EQ(task.encoding.vbr, c.vbr);
  EXPECT_EQ(task.encoding.bitrate, std::atoi(c.bitrate));
  EXPECT_EQ(task.encoding.vbrMinBitrate, 128);
  EXPECT_EQ(task.encoding.vbrMaxBitrate, 256);
  EXPECT_EQ(task.encoding.vbrQuality, c.quality);
  EXPECT_EQ(task.encoding.sampleRate, 48000);
  EXPECT_EQ(task.encoding.channelMode, ChannelMode::Mono);
  EXPECT_EQ(task.estimatedSize, c.estimate);
  EXPECT_EQ(task.title.str().size(), 255u);
  EXPECT_EQ(task.genre, "Jazz");
  EXPECT_EQ(workspace.tasks.Count(), 0) << "the caller takes the task into the list";

  // The new defaults, as the settings file keeps them.
  const core::Settings saved = core::SettingsStore(platform::RunningProgramFolder()).Load();
  EXPECT_EQ(saved, workspace.settings);
  EXPECT_EQ(saved.inputFileDir, dir.Path() + "/");
  EXPECT_EQ(saved.outputFileDir, "") << "the main window's choice, not the task's folder";
  EXPECT_EQ(saved.encoding, task.encoding);
}

INSTANTIATE_TEST_SUITE_P(Rates, WizardFinish,
                         ::testing::Values(FinishCase{"Constant", false, "128 kbps", 2, 3280},
                                           FinishCase{"Variable", true, "192 kbps", 6, 4920}),
                         [](const auto& row) { return std::string(row.param.name); });

// A mono source's mode says nothing about the next, stereo, source: the default mode stays.
TEST_F(Wizard, AMonoSourceLeavesTheDefaultChannelModeAsItWas) {
  workspace.workingTask.sourceChannels = 1;
  workspace.workingTask.encoding.channelMode = ChannelMode::Mono;
  const ChannelMode before = workspace.settings.encoding.channelMode;
  ASSERT_NE(before, ChannelMode::Mono);
  Open();
  EXPECT_EQ(Box("channelModeSelector")->currentText(), QStringLiteral("Mono"));
  ToLastPage();
  Next();
  EXPECT_EQ(workspace.workingTask.encoding.channelMode, ChannelMode::Mono);
  EXPECT_EQ(core::SettingsStore(platform::RunningProgramFolder()).Load().encoding.channelMode, before);
}

// A selector that never had a choice used to give no number at Finish. Every show reloads the
// working task, so a choice left in a cancelled show does not come back.
TEST_F(Wizard, StoredValueMatchingNoItemTakesTheNearest) {
  workspace.workingTask.encoding.bitrate = 100;
  workspace.workingTask.encoding.sampleRate = 22050;
  Open();
  EXPECT_EQ(Box("bitrateSelector")->currentText(), QStringLiteral("96 kbps"));
  EXPECT_EQ(Box("sampleRateSelector")->currentText(), QStringLiteral("32000 Hz"));

  Box("bitrateSelector")->setCurrentText("160 kbps");
  wizard.hide();
  wizard.show();
  EXPECT_EQ(Box("bitrateSelector")->currentText(), QStringLiteral("96 kbps"));
  Box("bitrateSelector")->setCurrentText("160 kbps");
  ToLastPage();
  Next();
  EXPECT_EQ(workspace.workingTask.encoding.bitrate, 160);
  EXPECT_EQ(workspace.workingTask.encoding.sampleRate, 32000);
  EXPECT_EQ(workspace.workingTask.encoding.channelMode, ChannelMode::JointStereo);
}

TEST_F(Wizard, HistoryListsKeepNewValuesSortedAndIgnoreCaseOnlyDuplicates) {
  std::ofstream(History("album.lst"), std::ios::binary) << "b\r\nC\r\n";
  std::ofstream(History("Copyright.lst"), std::ios::binary) << "Rock\r\n";
  Open();
  EXPECT_EQ(Box("albumEdit")->count(), 2);
  EXPECT_EQ(Edit("titleEdit")->text(), QStringLiteral("Song")) << "loading the lists keeps the texts";
  EXPECT_EQ(Box("artistEdit")->currentText(), QStringLiteral("Band"));
  ToLastPage();
  Box("albumEdit")->setEditText("a");
  Box("yearEdit")->setEditText("1999");
  Box("commentEdit")->setEditText("rock");
  Next();
  EXPECT_EQ(wizard.result(), QDialog::Accepted);
  // The file keeps what it held (another Tavisto may have added to it) and gains the new value.
  EXPECT_EQ(Lines(History("album.lst")), (std::multiset<std::string>{"a", "b", "C"}));
  EXPECT_EQ(Contents(History("author.lst")), "Band\n");
  EXPECT_EQ(Contents(History("year.lst")), "1999\n");
  EXPECT_EQ(Contents(History("Copyright.lst")), "Rock\r\n") << "rewritten for a value it already had";
  EXPECT_FALSE(fs::exists(History("Year.lst")));

  // The next show offers them, sorted without regard to case; an empty text adds nothing.
  wizard.show();
  EXPECT_EQ(Box("yearEdit")->count(), 1);
  EXPECT_EQ(Box("yearEdit")->itemText(0), QStringLiteral("1999"));
  QComboBox* album = Box("albumEdit");
  ASSERT_EQ(album->count(), 3);
  EXPECT_EQ(QStringList({album->itemText(0), album->itemText(1), album->itemText(2)}), (QStringList{"a", "b", "C"}));
  const std::string albums = Contents(History("album.lst"));
  ToLastPage();
  album->setEditText("");
  Next();
  EXPECT_EQ(Contents(History("album.lst")), albums);
}

// A compilation's track from a real tagged source: page 3 shows both artists, the track and the
// cover; what the user changes there, and a cover left out, is what the task keeps.
TEST_F(Wizard, TrackAlbumArtistAndCoverComeFromTheSourceAndGoBackIntoTheTask) {
  using Values = testsupport::TaggedValues;
  const auto& formats = testsupport::TaggedFormats();
  const auto wma = std::find_if(formats.begin(), formats.end(),
                                [](const testsupport::TaggedFormat& format) { return std::string(format.name) == "Wma"; });
  ASSERT_NE(wma, formats.end());
  const std::string source = testsupport::MakeTaggedSource(dir, *wma, 1.0);
  const core::Inspection inspection = core::InspectMediaFile(source);
  ASSERT_EQ(inspection.result, core::ReadResult::Ok);
  workspace.workingTask = core::TaskOf(inspection, workspace.settings, workspace.tasks);
  Open();
  ToLastPage();
  QComboBox* track = Box("trackEdit");
  QLabel* preview = Control<QLabel>("coverPreview");
  QCheckBox* cover = Control<QCheckBox>("coverCheck");
  EXPECT_EQ(Box("artistEdit")->currentText(), QString::fromUtf8(Values::artist));
  EXPECT_EQ(Box("albumArtistEdit")->currentText(), QString::fromUtf8(Values::albumArtist));
  EXPECT_EQ(track->currentText(), QStringLiteral("3/12"));
  ASSERT_FALSE(preview->pixmap().isNull()) << preview->text().toStdString();
  EXPECT_TRUE(cover->isEnabled());
  EXPECT_TRUE(cover->isChecked());

  // Only a number, with a total after a slash, can be typed as the track.
  track->setEditText(QString());
  QTest::keyClicks(track, QStringLiteral("x5/9y"));
  EXPECT_EQ(track->currentText(), QStringLiteral("5/9"));
  Box("albumArtistEdit")->setEditText(QStringLiteral("Compilers"));
  cover->setChecked(false);
  Next();
  ASSERT_EQ(wizard.result(), QDialog::Accepted);
  EXPECT_EQ(workspace.workingTask.track, "5/9");
  EXPECT_EQ(workspace.workingTask.albumArtist, "Compilers");
  EXPECT_TRUE(workspace.workingTask.omitCover);
  EXPECT_EQ(Contents(History("albumartist.lst")), "Compilers\n");
  EXPECT_EQ(Contents(History("track.lst")), "5/9\n");

  // A source without a picture: nothing to show, nothing to leave out.
  workspace.workingTask.coverBytes = 0;
  wizard.show();
  ToLastPage();
  EXPECT_TRUE(preview->pixmap().isNull());
  EXPECT_FALSE(cover->isEnabled());
  EXPECT_FALSE(cover->isChecked());
}

// A source without a cover of its own takes the album art of its folder: page 3 shows that
// picture and names its file; leaving it out leaves the folder's picture out too. The tags the
// source carries beyond the fields are listed below.
TEST_F(Wizard, PageThreeShowsTheFoldersAlbumArtByNameAndTheMoreTags) {
  QImage art(16, 16, QImage::Format_RGB32);
  art.fill(Qt::red);
  ASSERT_TRUE(art.save(Text(dir.File("Folder.jpg")), "PNG"));  // the first bytes decide, not the name
  workspace.workingTask.moreTags = {{tags::MoreTag::Lyrics}, {tags::MoreTag::Rating, 5}, {tags::MoreTag::Composers, 2}};
  Open();
  ToLastPage();
  auto* more = Control<app::ElidedLabel>("moreTagsLabel");
  EXPECT_TRUE(more->isVisible());
  EXPECT_EQ(more->FullText().toStdString(), "More tags: lyrics, rating ★★★★★, 2 composers");
  EXPECT_EQ(Control<app::ElidedLabel>("coverInfo")->FullText().toStdString(), "Folder.jpg from the album folder");
  EXPECT_EQ(Control<app::ElidedLabel>("coverInfo")->toolTip().toStdString(), dir.File("Folder.jpg"));
  EXPECT_FALSE(Control<QLabel>("coverPreview")->pixmap().isNull());
  QCheckBox* cover = Control<QCheckBox>("coverCheck");
  EXPECT_TRUE(cover->isEnabled());
  EXPECT_TRUE(cover->isChecked());
  cover->setChecked(false);
  Next();
  ASSERT_EQ(wizard.result(), QDialog::Accepted);
  EXPECT_TRUE(workspace.workingTask.omitCover);

  // Without album art and without more tags there is nothing to name.
  fs::remove(dir.File("Folder.jpg"));
  workspace.workingTask.moreTags.clear();
  workspace.workingTask.omitCover = false;
  wizard.show();
  ToLastPage();
  EXPECT_FALSE(more->isVisible());
  EXPECT_EQ(Control<app::ElidedLabel>("coverInfo")->FullText().toStdString(), "The source has no cover picture.");
  EXPECT_FALSE(cover->isEnabled());
}

TEST_F(Wizard, HistoryFileThatCannotBeReadIsReportedAndTheWizardOpens) {
  fs::create_directory(History("album.lst"));
  std::ofstream(History("author.lst")) << "Someone\n";
  Open();
  EXPECT_TRUE(answers.asked.empty()) << "reported once the window is up";
  QCoreApplication::processEvents();
  EXPECT_TRUE(wizard.isVisible());
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].kind, MessageKind::Error);
  EXPECT_NE(answers.asked[0].text.find(History("album.lst")), std::string::npos) << answers.asked[0].text;
  EXPECT_EQ(Box("artistEdit")->count(), 0) << "the lists after the failing one are not read";
}

TEST_F(Wizard, HistoryFileThatCannotBeWrittenKeepsPageThreeUntilTheNextFinish) {
  fs::create_directory(History("author.lst"));
  Open();
  QCoreApplication::processEvents();
  answers.asked.clear();  // the read error of the show
  ToLastPage();
  Next();
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_NE(answers.asked[0].text.find(History("author.lst")), std::string::npos) << answers.asked[0].text;
  EXPECT_EQ(Page(), 2);
  EXPECT_TRUE(wizard.isVisible());
  EXPECT_NE(wizard.result(), QDialog::Accepted);

  // The value is among the items now: the list is not written again and Finish completes.
  Next();
  EXPECT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(wizard.result(), QDialog::Accepted);
  EXPECT_FALSE(wizard.isVisible());
}

TEST_F(Wizard, CancelAndClosingGiveFalseAndChangeNothing) {
  const core::Settings defaults = workspace.settings;
  const core::ConversionTask task = workspace.workingTask;
  const std::string settingsFile = Contents(test.RegistryFile());
  QTimer::singleShot(0, [this] { Button("cancelButton")->click(); });
  EXPECT_FALSE(wizard.ShowModal());
  QTimer::singleShot(0, [this] { wizard.close(); });
  EXPECT_FALSE(wizard.ShowModal());
  EXPECT_EQ(workspace.settings, defaults);
  EXPECT_EQ(Contents(test.RegistryFile()), settingsFile);
  EXPECT_EQ(workspace.workingTask.encoding, task.encoding);
  EXPECT_EQ(workspace.workingTask.outputFile, task.outputFile);
  EXPECT_FALSE(fs::exists(History("author.lst")));

  QTimer::singleShot(0, [this] {
    Next();
    Next();
    Next();
  });
  EXPECT_TRUE(wizard.ShowModal());
  EXPECT_EQ(Contents(History("author.lst")), "Band\n");
}

// The output name takes typing (the button opens the dialog); a key that would type into the
// input name picks another file instead; Tab goes Back, OK, Cancel as the buttons read.
TEST_F(Wizard, TheOutputNameTakesTypingAndTabFollowsTheButtons) {
  Open();
  QLineEdit* output = Edit("outputPathEdit");
  QLineEdit* input = Edit("inputPathEdit");
  auto* inputDialog = Control<QFileDialog>("inputFileDialog");
  int seen = 0;
  AnswerFileDialog(Control<QFileDialog>("outputFileDialog"), "", &seen);
  output->setFocus();
  output->end(false);
  output->backspace();
  output->backspace();
  output->backspace();
  QTest::keyClicks(output, QStringLiteral("ogg.mp3"));
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(output->text(), Text(dir.File("out/song.ogg.mp3")));
  AnswerFileDialog(inputDialog, "", &seen);
  QTest::keyClick(input, Qt::Key_Delete);
  EXPECT_EQ(seen, 1);
  for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backspace, Qt::Key_Shift}) {
    AnswerFileDialog(inputDialog, "", &seen);
    QTest::keyClick(input, key);
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(input->text(), Text(dir.File("song.wma")));
  EXPECT_EQ(Button("backButton")->nextInFocusChain(), Button("nextButton"));
  EXPECT_EQ(Button("nextButton")->nextInFocusChain(), Button("cancelButton"));

  Next();
  Next();
  Next();
  ASSERT_EQ(wizard.result(), QDialog::Accepted);
  EXPECT_EQ(workspace.workingTask.outputFile, dir.File("out/song.ogg.mp3"));
}

// Keys that only move, select or copy work in the input name as in any field; only those that
// would change the name open the dialog to pick another file.
TEST_F(Wizard, TheInputNameMovesSelectsAndCopiesAndOnlyAChangeOpensTheDialog) {
  Open();
  wizard.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&wizard));
  QLineEdit* input = Edit("inputPathEdit");
  input->setFocus();
  QApplication::clipboard()->clear();
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool opens;
  } keys[] = {{Qt::Key_End, {}, false}, {Qt::Key_Home, Qt::ShiftModifier, false}, {Qt::Key_C, Qt::ControlModifier, false},
              {Qt::Key_X, {}, true},    {Qt::Key_V, Qt::ControlModifier, true}};
  for (const auto& press : keys) {
    int seen = 0;
    AnswerFileDialog(Control<QFileDialog>("inputFileDialog"), "", &seen);
    QTest::keyClick(input, press.key, press.modifiers);
    QCoreApplication::processEvents();
    EXPECT_EQ(seen, press.opens ? 1 : 0) << QKeySequence(press.key | press.modifiers).toString().toStdString();
  }
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), dir.File("song.wma")) << "End, Shift+Home, Ctrl+C copied it";
}

// Alt with a letter no control of the page carries (N on the last page, where Next has become
// OK) types nothing into the field that has the focus; the letter alone still types.
TEST_F(Wizard, AnAccessKeyNoControlCarriesTypesNothingIntoAField) {
  Open();
  ToLastPage();
  wizard.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&wizard));
  for (QLineEdit* field : {Edit("titleEdit"), Box("artistEdit")->lineEdit()}) {
    field->setFocus();
    field->end(false);
    const std::string before = field->text().toStdString();
    QTest::keyClick(field, Qt::Key_N, Qt::AltModifier);
    QTest::keyClicks(field, QStringLiteral("n"));
    EXPECT_EQ(field->text().toStdString(), before + "n");
  }
  EXPECT_EQ(Page(), 2);
}

// The whole road of one file: a tagged WMA inspected and confirmed in the wizard becomes a task
// that converts with the settings and tags the wizard stored.
TEST_F(Wizard, AddedWmaConvertsWithTheSettingsAndTagsItsTaskHolds) {
  const std::string source = dir.File("tagged.wma");
  ASSERT_TRUE(Ffmpeg(media_fixtures::SineInput(440, 44100, 2) +
                         " -ac 2 -c:a wmav2 -metadata title=Song -metadata 'artist=Ärtist' -metadata album=Album"
                         " -metadata genre=Jazz -metadata year=2004",
                     source));
  const core::Inspection inspection = core::InspectMediaFile(source);
  ASSERT_EQ(inspection.result, core::ReadResult::Ok);
  workspace.workingTask = core::TaskOf(inspection, workspace.settings, workspace.tasks);
  Open();
  Next();
  Box("bitrateSelector")->setCurrentText("96 kbps");
  Box("sampleRateSelector")->setCurrentText("32000 Hz");
  Next();
  Next();
  ASSERT_EQ(wizard.result(), QDialog::Accepted);
  const core::ConversionTask& task = workspace.workingTask;
  EXPECT_EQ(task.outputFile, dir.File("tagged.mp3"));

  // Converted the way the progress window converts it, on the Qt dispatcher.
  core::ConversionRun run({core::ItemOf(task)}, 1, test.dispatcher, {});
  run.Start();
  ASSERT_TRUE(guitest::ServeUntil([&run] { return run.Finished(); }));
  ASSERT_EQ(run.Report(0).state, core::ItemState::Done) << run.Report(0).reason;

  const testsupport::DecodedAudio mp3 = testsupport::DecodeAudioFile(task.outputFile);
  ASSERT_TRUE(mp3.ok) << mp3.error;
  EXPECT_EQ(mp3.sampleRate, 32000);
  // Every audio frame at the chosen rate (the Info frame, which is no audio, aside).
  const testsupport::FrameWalk walk = testsupport::WalkFrames(testsupport::ReadBytes(task.outputFile));
  ASSERT_TRUE(walk.clean);
  EXPECT_EQ(std::count(walk.bitrates.begin() + 1, walk.bitrates.end(), 96), std::ssize(walk.bitrates) - 1);
  EXPECT_NEAR(mp3.seconds(), 2.0, 0.2);
  EXPECT_NEAR(mp3.DominantFrequency(), 440, 10);
  EXPECT_EQ(mp3.tags.at("title"), "Song");
  EXPECT_EQ(mp3.tags.at("artist"), "Ärtist");
  EXPECT_EQ(mp3.tags.at("album"), "Album");
  EXPECT_EQ(mp3.tags.at("genre"), "Jazz");
  EXPECT_EQ(mp3.tags.at("date"), "2004");
}

class WizardRePick : public Wizard {
 protected:
  // Two real mono sources; the working task holds the first, inspected with its default name.
  void SetUp() override {
    Wizard::SetUp();
    for (const char* name : {"first.wma", "second.wma"}) {
      ASSERT_TRUE(Ffmpeg(media_fixtures::SineInput(1000, 22050, 1) + " -ac 1 -c:a wmav2", dir.File(name)));
    }
    workspace.settings.outputFileDir = dir.File("out/");
    const core::Inspection first = core::InspectMediaFile(dir.File("first.wma"));
    ASSERT_EQ(first.result, core::ReadResult::Ok);
    workspace.workingTask = core::TaskOf(first, workspace.settings, workspace.tasks);
    ASSERT_EQ(workspace.workingTask.outputFile, dir.File("out/first.mp3"));
  }
  void Pick(const char* button, const char* dialog, const std::string& path) {
    AnswerFileDialog(Control<QFileDialog>(dialog), path);
    Control<QToolButton>(button)->click();
  }
};

TEST_F(WizardRePick, ChangedOutputNameStaysAndTheNewSourceIsShown) {
  Open();
  EXPECT_EQ(Box("channelModeSelector")->currentText(), QStringLiteral("Mono")) << "a mono source stays mono";
  Pick("outputFileButton", "outputFileDialog", dir.File("out/mine.mp3"));
  EXPECT_EQ(Edit("outputPathEdit")->text(), Text(dir.File("out/mine.mp3")));

  Pick("inputFileButton", "inputFileDialog", dir.File("second.wma"));
  EXPECT_EQ(Edit("inputPathEdit")->text(), Text(dir.File("second.wma")));
  EXPECT_EQ(Edit("titleEdit")->text(), QStringLiteral("second"));
  EXPECT_EQ(Edit("outputPathEdit")->text(), Text(dir.File("out/mine.mp3")));
  EXPECT_EQ(Control<QListWidget>("inputInfoList")->item(1)->text(), QStringLiteral(" Audio: 22050 Hz, mono"));
}

TEST_F(WizardRePick, DefaultOutputNameIsRenewedAndNumberedWhenTaken) {
  std::ofstream(dir.File("out/second.mp3")) << "taken";
  Open();
  Box("bitrateSelector")->setCurrentText("320 kbps");
  Pick("inputFileButton", "inputFileDialog", dir.File("second.wma"));
  EXPECT_EQ(Edit("outputPathEdit")->text(), Text(dir.File("out/second (2).mp3")));
  EXPECT_EQ(Box("bitrateSelector")->currentText(), QStringLiteral("320 kbps")) << "the settings page keeps the choice";
  EXPECT_TRUE(answers.asked.empty());
}

TEST_F(WizardRePick, FileThatCannotBeInspectedLeavesTheTaskAsItWas) {
  media_fixtures::WriteBytes(dir.File("noise.wma"), media_fixtures::RandomBytes(5000, 9));
  Open();
  Pick("inputFileButton", "inputFileDialog", dir.File("noise.wma"));
  EXPECT_EQ(workspace.workingTask.sourceFile, dir.File("first.wma"));
  EXPECT_EQ(Edit("inputPathEdit")->text(), Text(dir.File("first.wma")));
  EXPECT_EQ(Edit("outputPathEdit")->text(), Text(dir.File("out/first.mp3")));
}

}  // namespace
