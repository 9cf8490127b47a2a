// The message window answered by clicking its buttons the way a person would.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <filesystem>
#include <fstream>

#include "core/interface_texts.h"
#include "app/message_window.h"
#include "app/desktop.h"
#include "platform/paths/program_dirs.h"


namespace {

// Runs `step` once the modal window is up.
void WhenShown(std::function<void(MessageWindow&)> step) {
  QTimer::singleShot(0, [step] {
    ASSERT_TRUE(ProgramMessageWindow().isVisible());
    step(ProgramMessageWindow());
  });
}

// A help file beside the test program for the window to open: the build's copy of the guide,
// or one made for the test (and removed after it) when there is none. The build's copy is never
// touched, since other tests running at the same time open it too.
struct HelpFileBesideProgram {
  std::string path = platform::RunningProgramFolder() + HelpFileName;
  bool made = !std::filesystem::exists(path);
  std::vector<QUrl> opened;
  HelpFileBesideProgram() {
    if (made) std::ofstream(path) << "<html></html>";
    SetDesktopOpener([this](const QUrl& url) { opened.push_back(url); });
  }
  ~HelpFileBesideProgram() {
    SetDesktopOpener({});
    if (made) std::filesystem::remove(path);
  }
};

}  // namespace

TEST(MessageWindow, FirstButtonGivesOneSecondButtonAndTitleBarCloseGiveTwo) {
  WhenShown([](MessageWindow& w) { QTest::mouseClick(w.firstButton, Qt::LeftButton); });
  EXPECT_EQ(ShowMessageWindow(MessageKind::Question, "Continue?", lang::NoButton, lang::YesButton), 1);

  WhenShown([](MessageWindow& w) { QTest::mouseClick(w.secondButton, Qt::LeftButton); });
  EXPECT_EQ(ShowMessageWindow(MessageKind::Question, "Continue?", lang::NoButton, lang::YesButton), 2);

  WhenShown([](MessageWindow& w) { w.close(); });
  EXPECT_EQ(ShowMessageWindow(MessageKind::Question, "Continue?", lang::NoButton, lang::YesButton), 2);
}

TEST(MessageWindow, ShowsTheTextCaptionsIconAndCaptionOfTheCall) {
  WhenShown([](MessageWindow& w) {
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Message"));
    EXPECT_EQ(w.messageLabel->text(), QStringLiteral("Line one\n <b>song</b>.wma"));
    EXPECT_EQ(w.messageLabel->textFormat(), Qt::PlainText) << "file names must never be read as markup";
    EXPECT_EQ(w.firstButton->text(), QStringLiteral("&Yes"));
    EXPECT_EQ(w.secondButton->text(), QStringLiteral("&No"));
    EXPECT_EQ(w.Kind(), MessageKind::Warning);
    EXPECT_EQ(w.iconLabel->pixmap().toImage(), w.icons[static_cast<std::size_t>(MessageKind::Warning)].toImage());
    w.firstButton->click();
  });
  ShowMessageWindow(MessageKind::Warning, "Line one\n <b>song</b>.wma", lang::NoButton, lang::YesButton);
}

// Enter answers a question with the button it waits on: No where Yes would lose work, never
// the help button.
TEST(MessageWindow, EnterPressesTheDefaultButton) {
  const struct {
    const char* second;
    DefaultButton asked;
    int result;
  } cases[] = {{lang::NoButton, DefaultButton::First, 1},
               {lang::NoButton, DefaultButton::Second, 2},
               {lang::HelpButton, DefaultButton::Second, 1}};
  for (const auto& c : cases) {
    WhenShown([](MessageWindow& w) { QTest::keyClick(&w, Qt::Key_Return); });
    EXPECT_EQ(ShowMessageWindow(MessageKind::Question, "Sure?", c.second, lang::YesButton, c.asked), c.result) << c.second;
  }
}

TEST(MessageWindow, HelpCaptionOpensTheHelpFileAndTheWindowStays) {
  HelpFileBesideProgram help;
  WhenShown([&help](MessageWindow& w) {
    w.secondButton->click();
    w.secondButton->click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(help.opened.size(), 2u);
    w.firstButton->click();
  });
  EXPECT_EQ(ShowMessageWindow(MessageKind::Error, "Cannot read.", lang::HelpButton, lang::OKButton), 1);
  ASSERT_EQ(help.opened.size(), 2u);
  EXPECT_TRUE(help.opened[0].toLocalFile().endsWith(QStringLiteral("/tavisto.html")));
}

// Only the interface's own help text turns the second button into a help button.
TEST(MessageWindow, ASecondCaptionOtherThanTheHelpTextClosesTheWindow) {
  HelpFileBesideProgram help;
  WhenShown([](MessageWindow& w) { w.secondButton->click(); });
  EXPECT_EQ(ShowMessageWindow(MessageKind::Information, "Text", "Help", lang::OKButton), 2);
  EXPECT_TRUE(help.opened.empty());
}

TEST(MessageWindow, TheFourIconsDiffer) {
  const auto icons = MessageIcons();
  for (int a = 0; a < 4; ++a) {
    EXPECT_EQ(icons[a].size(), QSize(42, 42));
    for (int b = a + 1; b < 4; ++b) EXPECT_NE(icons[a].toImage(), icons[b].toImage());
  }
}
