// The add/edit wizard driven through its controls: the output name checks on Next, Finish with
// its numbers, defaults, history lists and task list, and picking other files.
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QElapsedTimer>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/add_wizard.h"
#include "core/conversion_run.h"
#include "core/progress_text.h"
#include "core/conversion_task.h"
#include "core/inspection.h"
#include "core/interface_texts.h"
#include "app/source_reading.h"
#include "core/settings.h"
#include "decoded_audio.h"
#include "message_answers.h"
#include "tagged_sources.h"
#include "platform/mmstream/tests/media_fixtures.h"

using media_fixtures::Ffmpeg;
using media_fixtures::TempDir;
namespace fs = std::filesystem;

namespace {

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

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
    dialog->selectFile(Q(path));
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the name like a click
  });
}

// Each test: settings and history lists in a fresh folder, an empty task list, and a working
// task as inspection leaves it: a 3 min 25.9 s stereo source at 44100 Hz.
class Wizard : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TAVISTO_REGISTRY", registry.c_str(), 1);
    LoadSettings();
    Tasks.Clear();
    fs::create_directory(dir.File("out"));
    WorkingTask = ConversionTask();
    ConversionTask& t = WorkingTask;
    t.sourceFile = dir.File("song.wma");
    t.outputFile = dir.File("out/song.mp3");
    t.hasAudio = true;
    t.duration = 2'059'000'000;
    t.sourceSampleRate = 44100;
    t.sourceChannels = 2;
    t.sampleRate = 44100;
    t.bitsPerSample = 16;
    t.channelMode = 2;
    t.bitrate = 128;
    t.vbrMinBitrate = 128;
    t.vbrMaxBitrate = 256;
    t.title = "Song";
    t.artist = "Band";
  }
  void TearDown() override {
    ::unsetenv("TAVISTO_REGISTRY");
    Tasks.Clear();
  }

  void Open(bool adding) {
    w.SetAdding(adding);
    w.show();
  }
  int Page() const { return w.pages->currentIndex(); }
  void Next() { w.nextButton->click(); }
  void ToLastPage() {
    Next();
    Next();
    ASSERT_EQ(Page(), 2);
  }
  std::string History(const char* name) const { return dir.File(name); }

  TempDir dir;
  std::string registry = dir.File("Tavisto.reg");
  MessageAnswers answers;
  AddWizard w;
};

TEST_F(Wizard, ShowFillsThePagesFromTheWorkingTask) {
  Open(true);
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Settings"));
  EXPECT_EQ(w.backButton->text(), QStringLiteral("< &Back"));
  EXPECT_FALSE(w.backButton->isEnabled());
  EXPECT_EQ(w.inputPathEdit->text(), Q(dir.File("song.wma")));
  EXPECT_EQ(w.outputPathEdit->text(), Q(dir.File("out/song.mp3")));
  ASSERT_EQ(w.inputInfoList->count(), 2);
  EXPECT_EQ(w.inputInfoList->item(0)->text(), QStringLiteral(" Duration: 0:03:25.9"));
  EXPECT_EQ(w.inputInfoList->item(1)->text(), QStringLiteral(" Audio: 44100 Hz, stereo"));
  EXPECT_EQ(w.bitrateSelector->currentText(), QStringLiteral("128 kbps"));
  EXPECT_EQ(w.maxBitrateSelector->currentText(), QStringLiteral("256 kbps"));
  EXPECT_EQ(w.sampleRateSelector->currentText(), QStringLiteral("44100 Hz"));
  EXPECT_EQ(w.channelModeSelector->currentText(), QStringLiteral("Joint Stereo"));
  EXPECT_EQ(w.bitrateStack->currentIndex(), 0);
  EXPECT_EQ(w.genreEdit->count(), 164);
  EXPECT_TRUE(answers.asked.empty()) << "missing history files are empty lists, not errors";

  for (const auto& [channels, text] : {std::pair{1, " Audio: 44100 Hz, mono"}, {6, " Audio: 44100 Hz, 6 channels"}}) {
    w.hide();
    WorkingTask.sourceChannels = channels;
    w.show();
    EXPECT_EQ(w.inputInfoList->item(1)->text(), QString::fromUtf8(text));
  }
}

TEST_F(Wizard, ExistingOutputIsAskedAboutOnceNoStaysYesGoesOn) {
  std::ofstream(dir.File("out/song.mp3")) << "old";
  Open(true);
  Next();
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].kind, MessageKind::Question);
  EXPECT_EQ(answers.asked[0].text, "File exists:\n" + dir.File("out/song.mp3") + "\nWould you like to replace the existing file?");
  EXPECT_EQ(answers.asked[0].firstCaption, lang::YesButton);
  EXPECT_EQ(answers.asked[0].secondCaption, lang::NoButton);
  EXPECT_EQ(answers.asked[0].defaultButton, DefaultButton::Second) << "Enter must not replace a file";
  EXPECT_EQ(Page(), 0);

  answers.Reply({1});
  Next();
  EXPECT_EQ(answers.asked.size(), 2u) << "the folder exists: no further question";
  EXPECT_EQ(Page(), 1);
}

TEST_F(Wizard, MissingFolderChainIsCreatedOnYes) {
  fs::create_directory(dir.File("a"));
  WorkingTask.outputFile = dir.File("a/b/c/song.mp3");
  answers.Reply({1});
  Open(true);
  Next();
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].kind, MessageKind::Question);
  EXPECT_EQ(answers.asked[0].text, "The specified output folder does not exist.\n" + dir.File("a/b/c/") +
                                       "\nWould you like to create it?");
  EXPECT_TRUE(fs::is_directory(dir.File("a/b/c")));
  EXPECT_EQ(w.outputPathEdit->text(), Q(dir.File("a/b/c/song.mp3")));
  EXPECT_EQ(Page(), 1);
}

TEST_F(Wizard, MissingFolderAnsweredNoStaysAndCreatesNothing) {
  WorkingTask.outputFile = dir.File("new/song.mp3");
  Open(true);
  Next();
  EXPECT_EQ(answers.asked.size(), 1u);
  EXPECT_FALSE(fs::exists(dir.File("new")));
  EXPECT_EQ(Page(), 0);
}

// The chain used to end without a folder, and the wizard went on with a bare file name.
TEST_F(Wizard, ChainThatCannotBeCreatedKeepsPageOneAndTheNameAndSaysWhy) {
  std::ofstream(dir.File("file.txt")) << "not a folder";
  WorkingTask.outputFile = dir.File("file.txt/sub/song.mp3");
  answers.Reply({1});
  Open(true);
  Next();
  ASSERT_EQ(answers.asked.size(), 2u);
  EXPECT_EQ(answers.asked[1].kind, MessageKind::Error);
  EXPECT_NE(answers.asked[1].text.find(dir.File("file.txt")), std::string::npos) << answers.asked[1].text;
  EXPECT_NE(answers.asked[1].text.find("Not a directory"), std::string::npos) << answers.asked[1].text;
  EXPECT_EQ(w.outputPathEdit->text(), Q(dir.File("file.txt/sub/song.mp3")));
  EXPECT_EQ(Page(), 0);
}

// Replacing the source with its own output would destroy it while it is read.
TEST_F(Wizard, OutputThatIsTheSourceItselfIsRefused) {
  std::ofstream(dir.File("song.wma")) << "source";
  WorkingTask.outputFile = dir.File("out/../song.wma");
  answers.Reply({1, 1});
  Open(true);
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
  std::int32_t estimate;  // 205 whole seconds
};

void PrintTo(const FinishCase& c, std::ostream* out) { *out << c.name; }

class WizardFinish : public Wizard, public ::testing::WithParamInterface<FinishCase> {};

// Both the constant and the variable rates are read whatever the choice; the estimate follows
// the choice.
TEST_P(WizardFinish, StoresTheSelectorsEstimateAndDefaultsAndAppendsWhenAdding) {
  const FinishCase& c = GetParam();
  Open(true);
  Next();
  if (c.vbr) QTest::mouseClick(w.vbrCheck, Qt::LeftButton, {}, QPoint(8, w.vbrCheck->height() / 2));
  EXPECT_EQ(w.vbrCheck->isChecked(), c.vbr);
  EXPECT_EQ(w.bitrateStack->currentIndex(), c.vbr ? 1 : 0);
  w.bitrateSelector->setCurrentText(c.bitrate);
  w.sampleRateSelector->setCurrentText("48000 Hz");
  w.channelModeSelector->setCurrentIndex(3);
  Next();
  w.titleEdit->setText(Q(std::string(300, 'x')));
  w.genreEdit->setEditText("Jazz");
  EXPECT_EQ(w.nextButton->text(), QStringLiteral("&OK"));
  Next();

  EXPECT_EQ(w.result(), 1);
  const ConversionTask& t = WorkingTask;
  EXPECT_EQ(t.vbr, c.vbr);
  EXPECT_EQ(t.bitrate, std::atoi(c.bitrate));
  EXPECT_EQ(t.vbrMinBitrate, 128);
  EXPECT_EQ(t.vbrMaxBitrate, 256);
  EXPECT_EQ(t.sampleRate, 48000);
  EXPECT_EQ(t.channelMode, 3);
  EXPECT_EQ(t.estimatedSize, c.estimate);
  EXPECT_EQ(t.title.str().size(), 255u);
  EXPECT_EQ(t.genre, "Jazz");
  ASSERT_EQ(Tasks.Count(), 1);
  EXPECT_TRUE(Tasks[0].checked);
  EXPECT_EQ(Tasks[0].bitrate, t.bitrate);

  // The new defaults, as the settings file keeps them.
  DefaultSettings = Settings();
  LoadSettings();
  EXPECT_EQ(DefaultSettings.inputFileDir, dir.Path() + "/");
  EXPECT_EQ(DefaultSettings.outputFileDir, "") << "the main window's choice, not the task's folder";
  EXPECT_EQ(DefaultSettings.audioBitrate, std::atoi(c.bitrate));
  EXPECT_EQ(DefaultSettings.audioSampleRate, 48000);
  EXPECT_EQ(DefaultSettings.audioChannels, 3);
  EXPECT_EQ(DefaultSettings.audioVbr, c.vbr);
  EXPECT_EQ(DefaultSettings.audioVbrMinBitrate, 128);
  EXPECT_EQ(DefaultSettings.audioVbrMaxBitrate, 256);
}

INSTANTIATE_TEST_SUITE_P(Rates, WizardFinish,
                         ::testing::Values(FinishCase{"Constant", false, "128 kbps", 3280},
                                           FinishCase{"Variable", true, "192 kbps", 4920}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Wizard, EditingFinishLeavesTheTaskListAlone) {
  Tasks.Append(WorkingTask);
  Open(false);
  ToLastPage();
  Next();
  EXPECT_EQ(w.result(), 1);
  EXPECT_EQ(Tasks.Count(), 1);
}

// A selector that never had a choice used to give no number at Finish.
TEST_F(Wizard, StoredValueMatchingNoItemTakesTheNearestOrKeepsTheCurrentChoice) {
  WorkingTask.bitrate = 100;
  WorkingTask.sampleRate = 22050;
  WorkingTask.channelMode = 9;
  Open(true);
  EXPECT_EQ(w.bitrateSelector->currentText(), QStringLiteral("96 kbps"));
  EXPECT_EQ(w.sampleRateSelector->currentText(), QStringLiteral("32000 Hz"));
  EXPECT_EQ(w.channelModeSelector->currentText(), QStringLiteral("Joint Stereo"));

  w.bitrateSelector->setCurrentText("160 kbps");
  w.hide();
  w.show();
  EXPECT_EQ(w.bitrateSelector->currentText(), QStringLiteral("160 kbps"));
  ToLastPage();
  Next();
  EXPECT_EQ(WorkingTask.bitrate, 160);
  EXPECT_EQ(WorkingTask.sampleRate, 32000);
  EXPECT_EQ(WorkingTask.channelMode, 2);
}

TEST_F(Wizard, HistoryListsKeepNewValuesSortedAndIgnoreCaseOnlyDuplicates) {
  std::ofstream(History("album.lst"), std::ios::binary) << "b\r\nC\r\n";
  std::ofstream(History("Copyright.lst"), std::ios::binary) << "Rock\r\n";
  Open(true);
  EXPECT_EQ(w.albumEdit->count(), 2);
  EXPECT_EQ(w.titleEdit->text(), QStringLiteral("Song")) << "loading the lists keeps the texts";
  EXPECT_EQ(w.artistEdit->currentText(), QStringLiteral("Band"));
  ToLastPage();
  w.albumEdit->setEditText("a");
  w.yearEdit->setEditText("1999");
  w.commentEdit->setEditText("rock");
  Next();
  EXPECT_EQ(w.result(), 1);
  EXPECT_EQ(Contents(History("album.lst")), "a\nb\nC\n");
  EXPECT_EQ(Contents(History("author.lst")), "Band\n");
  EXPECT_EQ(Contents(History("year.lst")), "1999\n");
  EXPECT_EQ(Contents(History("Copyright.lst")), "Rock\r\n") << "rewritten for a value it already had";
  EXPECT_FALSE(fs::exists(History("Year.lst")));

  // The next show offers them; an empty text adds nothing.
  w.show();
  EXPECT_EQ(w.yearEdit->count(), 1);
  EXPECT_EQ(w.yearEdit->itemText(0), QStringLiteral("1999"));
  ToLastPage();
  w.albumEdit->setEditText("");
  Next();
  EXPECT_EQ(Contents(History("album.lst")), "a\nb\nC\n");
}

// A compilation's track from a real tagged source: page 3 shows both artists, the track and the
// cover; what the user changes there, and a cover left out, is what the task keeps.
TEST_F(Wizard, TrackAlbumArtistAndCoverComeFromTheSourceAndGoBackIntoTheTask) {
  using V = testsupport::TaggedValues;
  const std::string source = testsupport::MakeTaggedSource(dir, testsupport::TaggedFormats()[5], 1.0);  // WMA
  ASSERT_TRUE(ReadSourceFile(source));
  Open(true);
  ToLastPage();
  EXPECT_EQ(w.artistEdit->currentText(), QString::fromUtf8(V::artist));
  EXPECT_EQ(w.albumArtistEdit->currentText(), QString::fromUtf8(V::albumArtist));
  EXPECT_EQ(w.trackEdit->currentText(), QStringLiteral("3/12"));
  ASSERT_FALSE(w.coverPreview->pixmap().isNull()) << w.coverPreview->text().toStdString();
  EXPECT_TRUE(w.coverCheck->isEnabled());
  EXPECT_TRUE(w.coverCheck->isChecked());

  // Only a number, with a total after a slash, can be typed as the track.
  w.trackEdit->setEditText(QString());
  QTest::keyClicks(w.trackEdit, QStringLiteral("x5/9y"));
  EXPECT_EQ(w.trackEdit->currentText(), QStringLiteral("5/9"));
  w.albumArtistEdit->setEditText(QStringLiteral("Compilers"));
  w.coverCheck->setChecked(false);
  Next();
  ASSERT_EQ(Tasks.Count(), 1);
  EXPECT_EQ(Tasks[0].track, "5/9");
  EXPECT_EQ(Tasks[0].albumArtist, "Compilers");
  EXPECT_TRUE(Tasks[0].omitCover);
  EXPECT_EQ(Contents(History("albumartist.lst")), "Compilers\n");
  EXPECT_EQ(Contents(History("track.lst")), "5/9\n");

  // A source without a picture: nothing to show, nothing to leave out.
  WorkingTask.coverBytes = 0;
  w.show();
  ToLastPage();
  EXPECT_TRUE(w.coverPreview->pixmap().isNull());
  EXPECT_FALSE(w.coverCheck->isEnabled());
  EXPECT_FALSE(w.coverCheck->isChecked());
}

TEST_F(Wizard, HistoryFileThatCannotBeReadIsReportedAndTheWizardOpens) {
  fs::create_directory(History("album.lst"));
  std::ofstream(History("author.lst")) << "Someone\n";
  Open(true);
  EXPECT_TRUE(answers.asked.empty()) << "reported once the window is up";
  QCoreApplication::processEvents();
  EXPECT_TRUE(w.isVisible());
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].kind, MessageKind::Error);
  EXPECT_NE(answers.asked[0].text.find(History("album.lst")), std::string::npos) << answers.asked[0].text;
  EXPECT_EQ(w.artistEdit->count(), 0) << "the lists after the failing one are not read";
}

TEST_F(Wizard, HistoryFileThatCannotBeWrittenKeepsPageThreeUntilTheNextFinish) {
  fs::create_directory(History("author.lst"));
  Open(true);
  QCoreApplication::processEvents();
  answers.asked.clear();  // the read error of the show
  ToLastPage();
  Next();
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_NE(answers.asked[0].text.find(History("author.lst")), std::string::npos) << answers.asked[0].text;
  EXPECT_EQ(Page(), 2);
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(Tasks.Count(), 0);

  // The value is among the items now: the list is not written again and Finish completes.
  Next();
  EXPECT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(w.result(), 1);
  EXPECT_EQ(Tasks.Count(), 1);
}

TEST_F(Wizard, CancelAndClosingGiveCancelAndChangeNothing) {
  const Settings defaults = DefaultSettings;
  QTimer::singleShot(0, [this] { w.cancelButton->click(); });
  EXPECT_EQ(w.ShowModal(true), 2);
  QTimer::singleShot(0, [this] { w.close(); });
  EXPECT_EQ(w.ShowModal(true), 2);
  EXPECT_EQ(Tasks.Count(), 0);
  EXPECT_EQ(DefaultSettings, defaults);
  EXPECT_FALSE(fs::exists(History("author.lst")));

  QTimer::singleShot(0, [this] {
    Next();
    Next();
    Next();
  });
  EXPECT_EQ(w.ShowModal(true), 1);
  EXPECT_EQ(Tasks.Count(), 1);
}

// The output name takes typing (the button opens the dialog); a key that would type into the
// input name picks another file instead; Tab goes Back, OK, Cancel as the buttons read.
TEST_F(Wizard, TheOutputNameTakesTypingAndTabFollowsTheButtons) {
  Open(true);
  int seen = 0;
  AnswerFileDialog(w.outputFileDialog, "", &seen);
  w.outputPathEdit->setFocus();
  w.outputPathEdit->end(false);
  w.outputPathEdit->backspace();
  w.outputPathEdit->backspace();
  w.outputPathEdit->backspace();
  QTest::keyClicks(w.outputPathEdit, QStringLiteral("ogg.mp3"));
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(w.outputPathEdit->text(), Q(dir.File("out/song.ogg.mp3")));
  AnswerFileDialog(w.inputFileDialog, "", &seen);
  QTest::keyClick(w.inputPathEdit, Qt::Key_Delete);
  EXPECT_EQ(seen, 1);
  for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backspace, Qt::Key_Shift}) {
    AnswerFileDialog(w.inputFileDialog, "", &seen);
    QTest::keyClick(w.inputPathEdit, key);
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(w.inputPathEdit->text(), Q(dir.File("song.wma")));
  EXPECT_EQ(w.backButton->nextInFocusChain(), w.nextButton);
  EXPECT_EQ(w.nextButton->nextInFocusChain(), w.cancelButton);

  Next();
  Next();
  Next();
  ASSERT_EQ(Tasks.Count(), 1);
  EXPECT_EQ(Tasks[0].outputFile, dir.File("out/song.ogg.mp3"));
}

// The whole road of one file: a tagged WMA read on the reading thread and confirmed in the
// wizard becomes a task that converts with the settings and tags the wizard stored.
TEST_F(Wizard, AddedWmaConvertsWithTheSettingsAndTagsItsTaskHolds) {
  const std::string source = dir.File("tagged.wma");
  ASSERT_TRUE(Ffmpeg(media_fixtures::SineInput(440, 44100, 2) +
                         " -ac 2 -c:a wmav2 -metadata title=Song -metadata 'artist=Ärtist' -metadata album=Album"
                         " -metadata genre=Jazz -metadata year=2004",
                     source));
  ASSERT_TRUE(ReadSourceFile(source));
  Open(true);
  Next();
  w.bitrateSelector->setCurrentText("96 kbps");
  w.sampleRateSelector->setCurrentText("32000 Hz");
  Next();
  Next();
  ASSERT_EQ(Tasks.Count(), 1);
  const ConversionTask& t = Tasks[0];
  EXPECT_EQ(t.outputFile, dir.File("tagged.mp3"));

  // Converted the way the progress window converts it, on the Qt dispatcher.
  RunItem item;
  item.sourceFile = t.sourceFile;
  item.outputFile = t.outputFile;
  item.encoding = EncodingOf(t);
  ConversionRun run({item}, 1, {});
  run.Start();
  QElapsedTimer waited;
  waited.start();
  while (!run.Finished() && waited.elapsed() < 30000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  ASSERT_EQ(run.Report(0).state, ItemState::Done) << run.Report(0).reason;

  const testsupport::DecodedAudio mp3 = testsupport::DecodeAudioFile(t.outputFile);
  ASSERT_TRUE(mp3.ok) << mp3.error;
  EXPECT_EQ(mp3.sampleRate, 32000);
  // Every audio frame at the chosen rate (the Info frame, which is no audio, aside).
  const testsupport::FrameWalk walk = testsupport::WalkFrames(testsupport::ReadBytes(t.outputFile));
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
  // Two real sources; the working task holds the first, inspected with its default name.
  void SetUp() override {
    Wizard::SetUp();
    for (const char* name : {"first.wma", "second.wma"}) {
      ASSERT_TRUE(Ffmpeg(media_fixtures::SineInput(1000, 22050, 1) + " -ac 1 -c:a wmav2", dir.File(name)));
    }
    DefaultSettings.outputFileDir = dir.File("out/");
    CurrentFile = dir.File("first.wma");
    AssignOutputName = true;
    InspectMediaFile();
    ASSERT_EQ(ReadResult, ReadOk);
    ASSERT_EQ(WorkingTask.outputFile, dir.File("out/first.mp3"));
  }
};

TEST_F(WizardRePick, ChangedOutputNameStaysAndTheNewSourceIsShown) {
  Open(true);
  AnswerFileDialog(w.outputFileDialog, dir.File("out/mine.mp3"));
  w.outputFileButton->click();
  EXPECT_EQ(w.outputPathEdit->text(), Q(dir.File("out/mine.mp3")));

  AnswerFileDialog(w.inputFileDialog, dir.File("second.wma"));
  w.inputFileButton->click();
  EXPECT_EQ(w.inputPathEdit->text(), Q(dir.File("second.wma")));
  EXPECT_EQ(w.titleEdit->text(), QStringLiteral("second"));
  EXPECT_EQ(w.outputPathEdit->text(), Q(dir.File("out/mine.mp3")));
  EXPECT_EQ(w.inputInfoList->item(1)->text(), QStringLiteral(" Audio: 22050 Hz, mono"));
}

TEST_F(WizardRePick, DefaultOutputNameIsRenewedAndNumberedWhenTaken) {
  std::ofstream(dir.File("out/second.mp3")) << "taken";
  Open(true);
  w.bitrateSelector->setCurrentText("320 kbps");
  AnswerFileDialog(w.inputFileDialog, dir.File("second.wma"));
  w.inputFileButton->click();
  EXPECT_EQ(w.outputPathEdit->text(), Q(dir.File("out/second (2).mp3")));
  EXPECT_EQ(w.bitrateSelector->currentText(), QStringLiteral("320 kbps")) << "the settings page keeps the choice";
  EXPECT_TRUE(answers.asked.empty());
}

TEST_F(WizardRePick, FileThatCannotBeInspectedLeavesTheTaskAsItWas) {
  media_fixtures::WriteBytes(dir.File("noise.wma"), media_fixtures::RandomBytes(5000, 9));
  Open(true);
  AnswerFileDialog(w.inputFileDialog, dir.File("noise.wma"));
  w.inputFileButton->click();
  EXPECT_EQ(WorkingTask.sourceFile, dir.File("first.wma"));
  EXPECT_EQ(w.inputPathEdit->text(), Q(dir.File("first.wma")));
  EXPECT_EQ(w.outputPathEdit->text(), Q(dir.File("out/first.mp3")));
}

}  // namespace
