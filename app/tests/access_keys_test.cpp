// Access keys over every window and wizard page, in English and in German: within one window or
// page no two controls share a key, and pressing Alt with each key reaches the control that
// carries it (a button is pressed, a label's field takes the focus) instead of being ignored.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QShortcutEvent>
#include <QStackedWidget>
#include <QTimer>
#include <QTranslator>
#include <QtTest/QTest>

#include <map>
#include <string>
#include <vector>

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

using core::MessageKind;

// A control that shows an access key ("&Pause"), and the key.
struct KeyedControl {
  QWidget* control;
  QString caption;
  QKeySequence key;
};

QString CaptionOf(QWidget* widget) {
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->textFormat() == Qt::RichText ? QString() : label->text();
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
  return {};
}

// The controls of `window` that are shown (or would be, were the window shown) and carry a key.
std::vector<KeyedControl> KeyedControls(QWidget& window) {
  std::vector<KeyedControl> keyed;
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    if (widget->window() != &window || !widget->isVisibleTo(&window)) continue;
    const QString caption = CaptionOf(widget);
    const QKeySequence key = QKeySequence::mnemonic(caption);
    if (!key.isEmpty()) keyed.push_back({widget, caption, key});
  }
  return keyed;
}

// Records every shortcut event: to whom, and whether another control had the same key. Those for
// buttons are swallowed, so that pressing a key tests it without doing what the button does; a
// label's goes on and moves the focus to its field.
class ShortcutRecorder : public QObject {
 public:
  ShortcutRecorder() { QCoreApplication::instance()->installEventFilter(this); }
  ~ShortcutRecorder() override { QCoreApplication::instance()->removeEventFilter(this); }

  struct Delivery {
    QObject* receiver;
    bool ambiguous;
  };
  std::vector<Delivery> deliveries;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Shortcut) return false;
    deliveries.push_back({watched, static_cast<QShortcutEvent*>(event)->isAmbiguous()});
    return qobject_cast<QLabel*>(watched) == nullptr;
  }
};

// Whether the focus is in `field` (itself, its focus proxy or a part of it, as an editable combo
// box's text field).
bool FocusIn(QWidget* field) {
  const QWidget* focus = QApplication::focusWidget();
  return focus != nullptr && (focus == field || field->isAncestorOf(focus) || focus == field->focusProxy());
}

// Every problem with the access keys of `window` as it shows now, one line each.
std::vector<std::string> KeyProblems(QWidget& window) {
  std::vector<std::string> problems;
  const std::vector<KeyedControl> keyed = KeyedControls(window);
  std::map<QString, std::vector<const KeyedControl*>> byKey;
  for (const KeyedControl& control : keyed) byKey[control.key.toString().toUpper()].push_back(&control);
  for (const auto& [key, controls] : byKey) {
    if (controls.size() < 2) continue;
    std::string clash = key.toStdString() + " is carried by";
    for (const KeyedControl* control : controls) clash += " \"" + control->caption.toStdString() + "\"";
    problems.push_back(clash);
  }

  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) {
    problems.push_back("the window could not be made active");
    return problems;
  }
  ShortcutRecorder recorder;
  for (const KeyedControl& control : keyed) {
    // A disabled control's key is inert until the control is enabled; its clashes count above.
    if (!control.control->isEnabled()) continue;
    recorder.deliveries.clear();
    QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &window;
    const QKeyCombination combination = control.key[0];
    QTest::keyClick(target, combination.key(), combination.keyboardModifiers());
    const std::string what = control.key.toString().toStdString() + " (\"" + control.caption.toStdString() + "\")";
    if (recorder.deliveries.size() != 1 || recorder.deliveries[0].receiver != control.control) {
      problems.push_back(what + " does not reach its control");
      continue;
    }
    if (recorder.deliveries[0].ambiguous) problems.push_back(what + " is ambiguous");
    if (auto* label = qobject_cast<QLabel*>(control.control)) {
      if (label->buddy() == nullptr || !FocusIn(label->buddy())) problems.push_back(what + " moves the focus to no field");
    }
  }
  return problems;
}

std::string Listed(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n  " + line;
  return text;
}

struct Language {
  const char* name;
  QLocale locale;
};

void PrintTo(const Language& language, std::ostream* out) { *out << language.name; }

class AccessKeys : public ::testing::TestWithParam<Language> {
 protected:
  void SetUp() override {
    workspace.settings.tips = core::kTipsOff;
    core::ConversionTask& task = workspace.workingTask;
    task.sourceFile = dir.File("song.wma");
    task.outputFile = dir.File("song.mp3");
    task.encoding.sampleRate = 44100;
    task.encoding.bitrate = 128;
    task.title = "Song";
    savedLocale_ = QLocale();
    const QLocale locale = GetParam().locale;
    QLocale::setDefault(locale);
    if (locale.language() != QLocale::English) {
      ASSERT_TRUE(translator_.load(locale, QStringLiteral("tavisto"), QStringLiteral("_"),
                                   QStringLiteral(":/tavisto/translations")));
      QCoreApplication::installTranslator(&translator_);
    }
  }
  void TearDown() override {
    QCoreApplication::removeTranslator(&translator_);
    QLocale::setDefault(savedLocale_);
  }

  // The problems of `window` shown, under the name `what`.
  void Check(QWidget& window, const std::string& what) {
    window.show();
    const std::vector<std::string> problems = KeyProblems(window);
    EXPECT_TRUE(problems.empty()) << GetParam().name << ", " << what << ":" << Listed(problems);
  }

  media_fixtures::TempDir dir;
  guitest::TestWorkspace test{dir.Path()};
  app::Workspace& workspace = test.workspace;

 private:
  QTranslator translator_;
  QLocale savedLocale_;
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
    const struct {
      int page;
      bool vbr;
      const char* name;
    } steps[] = {{0, false, "wizard page 1"},
                 {1, false, "wizard page 2, constant bit rate"},
                 {1, true, "wizard page 2, variable bit rate"},
                 {2, false, "wizard page 3"}};
    for (const auto& step : steps) {
      pages->setCurrentIndex(step.page);
      if (vbr->isChecked() != step.vbr) vbr->click();
      Check(wizard, step.name);
    }
  }
  {
    app::ProgressWindow progress(workspace);
    Check(progress, "progress window");
  }
  {
    app::CollisionDialog collision(nullptr, dir.File("song.mp3"));
    Check(collision, "collision question");
  }
  {
    const struct {
      MessageKind kind;
      const char* second;
      const char* first;
    } kinds[] = {{MessageKind::Error, lang::HelpButton, lang::OKButton},
                 {MessageKind::Information, lang::HelpButton, lang::OKButton},
                 {MessageKind::Question, lang::NoButton, lang::YesButton},
                 {MessageKind::Warning, lang::HelpButton, lang::OKButton}};
    app::MessageWindow message(workspace.desktop);
    for (const auto& kind : kinds) {
      QTimer::singleShot(0, [&] {
        Check(message, std::string("message window, ") + kind.first + " " + kind.second);
        message.reject();
      });
      message.ShowMessage(kind.kind, lang::InformationKind, "Text", kind.second, kind.first, app::DefaultButton::First, nullptr);
    }
  }
  {
    app::AboutWindow about(workspace.desktop);
    Check(about, "about window");
  }
  {
    app::TipsWindow tips(workspace, nullptr, dir.File("no-tips.txt"));
    Check(tips, "tips window");
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, AccessKeys,
                         ::testing::Values(Language{"English", QLocale(QLocale::English, QLocale::UnitedStates)},
                                           Language{"German", QLocale(QLocale::German, QLocale::Germany)}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
