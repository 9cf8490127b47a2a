// The windows as assistive technology and a German desktop see them: every control in each
// window's accessibility tree has a name, a German start shows the program's own texts and
// Qt's in German, and the program's icon is there without an installed icon theme.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QTranslator>

#include <functional>
#include <string>
#include <vector>

#include "app/about_window.h"
#include "app/add_wizard.h"
#include "app/collision_dialog.h"
#include "app/main_window.h"
#include "app/message_window.h"
#include "app/product_info.h"
#include "app/progress_window.h"
#include "app/tips_window.h"
#include "app/translations.h"
#include "app/ui_text.h"
#include "core/conversion_task.h"
#include "core/inspection.h"
#include "core/interface_texts.h"
#include "core/progress_text.h"
#include "core/settings.h"
#include "core/translation.h"
#include "gui_test_support.h"
#include "message_answers.h"
#include "platform/mmstream/tests/media_fixtures.h"

namespace {

// The roles a user operates or reads values from; each needs a name to be told apart.
bool NeedsName(QAccessible::Role role) {
  switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::ProgressBar:
    case QAccessible::Slider:
    case QAccessible::Link:
    case QAccessible::Graphic:
      return true;
    default:
      return false;
  }
}

// The controls of `window`'s accessibility tree that are shown but have no name: "role
// objectName" each.
std::vector<std::string> UnnamedControls(QWidget& window) {
  std::vector<std::string> unnamed;
  std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
    if (node == nullptr || node->state().invisible) return;
    if (NeedsName(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty()) {
      const QObject* object = node->object();
      unnamed.push_back(std::to_string(node->role()) + " " +
                        (object != nullptr ? object->objectName().toStdString() : std::string("?")));
    }
    // The rows of lists and trees are items, named by their own texts.
    if (node->role() == QAccessible::List || node->role() == QAccessible::Tree) return;
    for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
  };
  walk(QAccessible::queryAccessibleInterface(&window));
  return unnamed;
}

class WindowsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    workspace.settings.tips = core::kTipsOff;
    core::ConversionTask& task = workspace.workingTask;
    task = core::ConversionTask();
    task.sourceFile = dir.File("song.wma");
    task.outputFile = dir.File("song.mp3");
    task.encoding.sampleRate = 44100;
    task.encoding.bitrate = 128;
    task.encoding.channelMode = engine::ChannelMode::JointStereo;
  }

  media_fixtures::TempDir dir;
  guitest::TestWorkspace test{dir.Path()};
  app::Workspace& workspace = test.workspace;
  MessageAnswers answers{workspace.messages};
};

using Accessibility = WindowsFixture;

TEST_F(Accessibility, EveryControlOfEveryWindowHasAName) {
  app::MainWindow main(workspace);
  main.show();
  EXPECT_EQ(UnnamedControls(main), std::vector<std::string>{}) << "main window";

  app::AddWizard wizard(workspace);
  wizard.show();
  auto* pages = guitest::Child<QStackedWidget>(wizard, "pages");
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    EXPECT_EQ(UnnamedControls(wizard), std::vector<std::string>{}) << "wizard page " << page + 1;
  }
  wizard.hide();

  const auto check = [](QWidget& window, const char* what) {
    window.show();
    EXPECT_EQ(UnnamedControls(window), std::vector<std::string>{}) << what;
    window.hide();
  };
  app::ProgressWindow progress(workspace);
  check(progress, "progress window");
  app::MessageWindow message(workspace.desktop);
  check(message, "message window");
  app::CollisionDialog collision(nullptr, dir.File("song.mp3"));
  check(collision, "collision dialog");
  app::TipsWindow tips(workspace, nullptr, dir.File("no-tips.txt"));
  check(tips, "tips window");
  app::AboutWindow about(workspace.desktop);
  check(about, "about window");
}

// A German desktop: the windows, the texts the core composes and Qt's own dialogs speak German.
TEST_F(WindowsFixture, AGermanStartShowsEveryTextInGerman) {
  ASSERT_TRUE(app::InstallTranslations(*QCoreApplication::instance(), QLocale(QLocale::German, QLocale::Germany)));
  {
    app::MainWindow main(workspace);
    main.show();
    EXPECT_EQ(guitest::Child<QPushButton>(main, "addFilesButton")->text(), QStringLiteral("&Dateien hinzufügen …"));
    EXPECT_EQ(guitest::Child<QGroupBox>(main, "taskListBox")->title(), QStringLiteral("Aufgabenliste"));
    app::AddWizard wizard(workspace);
    wizard.show();
    EXPECT_EQ(guitest::Child<QPushButton>(wizard, "cancelButton")->text(), QStringLiteral("&Abbrechen"));
    EXPECT_EQ(wizard.windowTitle(), QStringLiteral("Einstellungen"));
    EXPECT_EQ(core::RunEndText({.cancelled = true}, app::TranslatedText), "Die Umwandlung wurde abgebrochen.\n0 umgewandelt");
    EXPECT_EQ(core::ReadFailureReason(core::ReadResult::NoAudio, app::TranslatedText), "hat keine Tonspur");
    // Qt's own file dialog, from Qt's translations.
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Suchen in:"));
  }
  for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
    QCoreApplication::removeTranslator(translator);
    delete translator;
  }
  EXPECT_EQ(core::RunEndText({.cancelled = true}, app::TranslatedText), "The conversion was cancelled.\n0 converted");
}

// Without an icon installed under the application id the program draws its own copy: a resource
// that no longer matches its file name would leave every window without an icon.
TEST(ProductIcon, IsDrawnWithoutAnInstalledIconTheme) {
  const QPixmap picture = app::ProductIcon().pixmap(48, 48);
  ASSERT_FALSE(picture.isNull());
  const QImage image = picture.toImage();
  EXPECT_GT(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 0) << "the middle of the icon is drawn";
}

}  // namespace
