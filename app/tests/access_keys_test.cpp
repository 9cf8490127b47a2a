// Access keys over every window and wizard page, in English and in German: no two controls of a
// window share a key, and Alt with each key reaches the control that carries it (a button is
// pressed, a label's field takes the focus) instead of being ignored.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QShortcutEvent>
#include <QStackedWidget>
#include <QTimer>
#include <QTranslator>
#include <QtTest/QTest>

#include <map>

#include "app/about_window.h"
#include "app/add_wizard.h"
#include "app/collision_dialog.h"
#include "app/main_window.h"
#include "app/message_window.h"
#include "app/progress_window.h"
#include "app/tips_window.h"
#include "core/interface_texts.h"
#include "core/settings.h"
#include "gui_test_support.h"
#include "platform/mmstream/tests/media_fixtures.h"

namespace {

// Records each shortcut event's receiver. A button's is swallowed, so that a key is tried without
// doing what the button does; a label's goes on and moves the focus to its field.
class ShortcutRecorder : public QObject {
 public:
  ShortcutRecorder() { QCoreApplication::instance()->installEventFilter(this); }
  ~ShortcutRecorder() override { QCoreApplication::instance()->removeEventFilter(this); }
  std::vector<std::pair<QObject*, bool>> received;  // receiver, ambiguous

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Shortcut) return false;
    received.emplace_back(watched, static_cast<QShortcutEvent*>(event)->isAmbiguous());
    return qobject_cast<QLabel*>(watched) == nullptr;
  }
};

// Every problem with the access keys of `window` as it shows now, one line each.
std::string KeyProblems(QWidget& window) {
  std::string problems;
  std::map<QString, std::vector<QWidget*>> byKey;
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    if (widget->window() != &window || !widget->isVisibleTo(&window)) continue;
    const auto* button = qobject_cast<QAbstractButton*>(widget);
    const auto* label = qobject_cast<QLabel*>(widget);
    // A rich-text label's "&" begins an entity ("&quot;"), not an access key.
    const bool plainLabel = label != nullptr && label->textFormat() != Qt::RichText;
    const QString caption = button != nullptr ? button->text() : plainLabel ? label->text() : QString();
    if (const QKeySequence key = QKeySequence::mnemonic(caption); !key.isEmpty()) byKey[key.toString()].push_back(widget);
  }
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) return "\n  the window could not be made active";
  ShortcutRecorder recorder;
  for (const auto& [key, controls] : byKey) {
    if (controls.size() > 1) {
      problems += "\n  " + key.toStdString() + " is carried by";
      for (const QWidget* control : controls) problems += " " + control->objectName().toStdString();
    }
    // A disabled control's key does nothing until the control is enabled; clashes count anyway.
    if (controls.size() > 1 || !controls[0]->isEnabled()) continue;
    recorder.received.clear();
    QWidget* focus = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &window;
    const QKeyCombination pressed = QKeySequence(key)[0];
    QTest::keyClick(focus, pressed.key(), pressed.keyboardModifiers());
    const auto* label = qobject_cast<QLabel*>(controls[0]);
    const QWidget* field = label != nullptr ? label->buddy() : nullptr;
    const bool reached = recorder.received.size() == 1 && recorder.received[0].first == controls[0] &&
                         !recorder.received[0].second &&
                         (label == nullptr || (field != nullptr && field->isAncestorOf(QApplication::focusWidget())) ||
                          (field != nullptr && QApplication::focusWidget() == field));
    if (!reached) problems += "\n  " + key.toStdString() + " does not reach its control";
  }
  return problems;
}

class AccessKeys : public ::testing::TestWithParam<QLocale::Language> {
 protected:
  void SetUp() override {
    workspace.settings.tips = core::kTipsOff;
    workspace.workingTask.sourceFile = dir.File("song.wma");
    workspace.workingTask.outputFile = dir.File("song.mp3");
    QLocale::setDefault(QLocale(GetParam()));
    if (GetParam() != QLocale::English) {
      ASSERT_TRUE(translator_.load(QLocale(GetParam()), "tavisto", "_", ":/tavisto/translations"));
      QCoreApplication::installTranslator(&translator_);
    }
  }
  void TearDown() override {
    QCoreApplication::removeTranslator(&translator_);
    QLocale::setDefault(saved_);
  }
  void Check(QWidget& window, const std::string& what) {
    window.show();
    const std::string problems = KeyProblems(window);
    EXPECT_EQ(problems, "") << QLocale::languageToString(GetParam()).toStdString() << ", " << what;
  }

  media_fixtures::TempDir dir;
  guitest::TestWorkspace test{dir.Path()};
  app::Workspace& workspace = test.workspace;

 private:
  QTranslator translator_;
  QLocale saved_;
};

TEST_P(AccessKeys, EveryKeyOfEveryWindowIsUniqueAndReachesItsControl) {
  {
    app::MainWindow main(workspace);
    Check(main, "main window");
  }
  {
    app::AddWizard wizard(workspace);
    wizard.show();
    auto* pages = guitest::Child<QStackedWidget>(wizard, "pages");
    auto* vbr = guitest::Child<QCheckBox>(wizard, "vbrCheck");
    for (const auto& [page, variable] : {std::pair{0, false}, {1, false}, {1, true}, {2, false}}) {
      pages->setCurrentIndex(page);
      if (vbr->isChecked() != variable) vbr->click();
      Check(wizard, "wizard page " + std::to_string(page + 1) + (variable ? ", variable bit rate" : ""));
    }
  }
  app::ProgressWindow progress(workspace);
  Check(progress, "progress window");
  app::CollisionDialog collision(nullptr, dir.File("song.mp3"));
  Check(collision, "collision question");
  app::MessageWindow message(workspace.desktop);
  for (const auto& [kind, first, second] : {std::tuple{core::MessageKind::Error, lang::OKButton, lang::HelpButton},
                                            {core::MessageKind::Question, lang::YesButton, lang::NoButton}}) {
    QTimer::singleShot(0, [&, first = first, second = second] {
      Check(message, std::string("message window, ") + first + " " + second);
      message.reject();
    });
    message.ShowMessage(kind, lang::InformationKind, "Text", second, first, app::DefaultButton::First, nullptr);
  }
  app::AboutWindow about(workspace.desktop);
  Check(about, "about window");
  app::TipsWindow tips(workspace, nullptr, dir.File("no-tips.txt"));
  Check(tips, "tips window");
}

INSTANTIATE_TEST_SUITE_P(Languages, AccessKeys, ::testing::Values(QLocale::English, QLocale::German),
                         [](const auto& row) { return QLocale::languageToString(row.param).toStdString(); });

}  // namespace
