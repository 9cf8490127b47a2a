// The information panel's lines and links, the summary of more tags, and numbers, sizes and
// units on a German desktop.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTranslator>

#include <string>
#include <vector>

#include "accessible_links.h"
#include "app/add_wizard.h"
#include "app/info_panel.h"
#include "app/main_window.h"
#include "app/ui_text.h"
#include "core/conversion_task.h"
#include "core/settings.h"
#include "gui_test_support.h"
#include "message_answers.h"
#include "platform/mmstream/tests/media_fixtures.h"

using tags::MoreTag;

namespace {

// The program's German texts and a German locale for the life of the object.
class GermanDesktop {
 public:
  GermanDesktop() : saved_(QLocale()) {
    const QLocale german(QLocale::German, QLocale::Germany);
    QLocale::setDefault(german);
    loaded = translator_.load(german, QStringLiteral("tavisto"), QStringLiteral("_"), QStringLiteral(":/tavisto/translations"));
    QCoreApplication::installTranslator(&translator_);
  }
  ~GermanDesktop() {
    QCoreApplication::removeTranslator(&translator_);
    QLocale::setDefault(saved_);
  }
  bool loaded = false;

 private:
  QLocale saved_;
  QTranslator translator_;
};

core::ConversionTask VbrTask() {
  core::ConversionTask task;
  task.sourceFile = "/m/song.wma";
  task.outputFile = "/m/song.mp3";
  task.encoding.channelMode = engine::ChannelMode::JointStereo;
  task.encoding.vbr = true;
  task.encoding.vbrMinBitrate = 128;
  task.encoding.vbrMaxBitrate = 256;
  task.duration = 1'805'000'000;  // 3:00.5
  task.estimatedSize = 727;       // 0.71 MB
  return task;
}

}  // namespace

// Each key in its words; counts where they tell something, stars for a rating.
TEST(MoreTagsText, NamesWhatTheSourceCarries) {
  const struct {
    std::vector<tags::MoreTagCount> tags;
    const char* text;
  } cases[] = {
      {{}, ""},
      {{{MoreTag::Lyrics}, {MoreTag::Rating, 5}, {MoreTag::Composers, 2}}, "lyrics, rating ★★★★★, 2 composers"},
      {{{MoreTag::Rating, 9}}, "rating ★★★★★"},
      {{{MoreTag::Pictures, 1}, {MoreTag::Other, 1}}, "1 more picture, 1 other field"},
      {{{MoreTag::Pictures, 3}, {MoreTag::Other, 12}}, "3 more pictures, 12 other fields"},
      {{{MoreTag::SortOrders, 3}, {MoreTag::MusicBrainzIds, 4}, {MoreTag::Bpm}}, "sort orders, MusicBrainz IDs, BPM"},
  };
  for (const auto& c : cases) EXPECT_EQ(app::MoreTagsText(c.tags).toStdString(), c.text) << c.text;
}

// A German desktop reads its own decimal comma, its unit of bit rates and its words.
TEST(GermanDesktop, NumbersSizesAndUnitsAreWrittenTheGermanWay) {
  GermanDesktop german;
  ASSERT_TRUE(german.loaded);
  core::ConversionTask task = VbrTask();
  task.moreTags = {{MoreTag::Lyrics}, {MoreTag::Rating, 4}, {MoreTag::Composers, 2}};
  const app::TaskInfoLines lines = app::TaskInfoFor(task, false);
  EXPECT_EQ(lines.settings.toStdString(), "<b>MP3-Einstellungen</b>: Joint Stereo, 128 – 256 kbit/s, VBR");
  EXPECT_EQ(lines.duration.toStdString(), "<b>Dauer</b>: 0:03:00,5, <b>Größe der Ausgabedatei</b>: etwa 0,71 MB");
  EXPECT_EQ(lines.extras.toStdString(), "<b>Weitere Tags</b>: Liedtext, Bewertung ★★★★☆, 2 Komponisten");
  EXPECT_EQ(lines.editLink.toStdString(), "<a href=\"cc\"><u>Bearbeiten …</u></a>");
  EXPECT_EQ(app::PictureText("image/jpeg", 2'000'000).toStdString(), "JPEG, 1.954 KB");

  media_fixtures::TempDir dir;
  guitest::TestWorkspace test{dir.Path()};
  test.workspace.workingTask = task;
  app::AddWizard wizard(test.workspace);
  wizard.show();
  EXPECT_EQ(guitest::Child<QComboBox>(wizard, "bitrateSelector")->itemText(0).toStdString(), "8 kbit/s");
  EXPECT_EQ(guitest::Child<QComboBox>(wizard, "maxBitrateSelector")->currentText().toStdString(), "256 kbit/s");
}

// The panel's links are links to assistive technology too: named by their text, and pressed
// they do what a click does.
TEST(InfoPanel, ItsLinksAreLinksThatAScreenReaderCanPress) {
  media_fixtures::TempDir dir;
  guitest::TestWorkspace test{dir.Path()};
  app::Workspace& workspace = test.workspace;
  workspace.settings.tips = core::kTipsOff;
  MessageAnswers answers(workspace.messages);
  std::vector<QUrl> opened;
  workspace.desktop.SetOpener([&opened](const QUrl& url) { opened.push_back(url); });
  core::ConversionTask task = VbrTask();
  task.sourceFile = dir.File("song.wma");
  task.outputFile = dir.File("song.mp3");
  workspace.tasks.Append(task);
  app::MainWindow main(workspace);
  app::AddWizard wizard(workspace, &main);
  main.SetWindows(&wizard, nullptr, nullptr);
  main.show();
  main.SetCurrentRow(0);
  auto* panel = guitest::Child<QWidget>(main, "infoPanel");
  const QString source = QString::fromStdString(task.sourceFile);
  EXPECT_EQ(guitest::LinkNames(*panel), (QStringList{source, QStringLiteral("Edit…")}));
  ASSERT_TRUE(guitest::PressLink(*panel, source));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].toLocalFile(), source);
  guitest::WizardAutopilot pilot(wizard, true);
  ASSERT_TRUE(guitest::PressLink(*panel, QStringLiteral("Edit…")));
  EXPECT_EQ(pilot.shows, 1) << "the edit link opens the wizard, as a click does";
}
