// The message window answered by clicking its buttons the way a person would.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <filesystem>
#include <fstream>

#include "app/lang.h"
#include "engine/msgbox.h"
#include "engine/shell.h"
#include "platform/paths/program_dirs.h"

using namespace engine;

namespace {

// Runs `step` once the modal window is up.
void WhenShown(std::function<void(TmsgFrm&)> step) {
  QTimer::singleShot(0, [step] {
    ASSERT_TRUE(MessageWindow().isVisible());
    step(MessageWindow());
  });
}

// A help file beside the test program for the window to open.
struct HelpFileBesideProgram {
  std::string path = platform::RunningProgramFolder() + HelpFileName;
  std::vector<QUrl> opened;
  HelpFileBesideProgram() {
    std::ofstream(path) << "<html></html>";
    SetDesktopOpener([this](const QUrl& url) { opened.push_back(url); });
  }
  ~HelpFileBesideProgram() {
    SetDesktopOpener({});
    std::filesystem::remove(path);
  }
};

}  // namespace

TEST(MessageWindow, FirstButtonGivesOneSecondButtonAndTitleBarCloseGiveTwo) {
  WhenShown([](TmsgFrm& w) { QTest::mouseClick(w.okBtn, Qt::LeftButton); });
  EXPECT_EQ(ShowMessageWindow(mkQuestion, "Continue?", lang::NoButton, lang::YesButton), 1);

  WhenShown([](TmsgFrm& w) { QTest::mouseClick(w.helpBtn, Qt::LeftButton); });
  EXPECT_EQ(ShowMessageWindow(mkQuestion, "Continue?", lang::NoButton, lang::YesButton), 2);

  WhenShown([](TmsgFrm& w) { w.close(); });
  EXPECT_EQ(ShowMessageWindow(mkQuestion, "Continue?", lang::NoButton, lang::YesButton), 2);
}

TEST(MessageWindow, ShowsTheTextCaptionsIconAndCaptionOfTheCall) {
  WhenShown([](TmsgFrm& w) {
    EXPECT_EQ(w.windowTitle(), QStringLiteral("   Message ..."));
    EXPECT_EQ(w.msgLabel->text(), QStringLiteral("Line one\n <b>song</b>.wma"));
    EXPECT_EQ(w.msgLabel->textFormat(), Qt::PlainText) << "file names must never be read as markup";
    EXPECT_EQ(w.okBtn->text(), QStringLiteral("&Yes"));
    EXPECT_EQ(w.helpBtn->text(), QStringLiteral("&No"));
    EXPECT_EQ(w.Kind(), mkWarning);
    EXPECT_EQ(w.icon->pixmap().toImage(), w.iconList[mkWarning].toImage());
    w.okBtn->click();
  });
  ShowMessageWindow(mkWarning, "Line one\n <b>song</b>.wma", lang::NoButton, lang::YesButton);
}

TEST(MessageWindow, HelpCaptionOpensTheHelpFileAndTheWindowStays) {
  HelpFileBesideProgram help;
  WhenShown([&help](TmsgFrm& w) {
    w.helpBtn->click();
    w.helpBtn->click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(help.opened.size(), 2u);
    w.okBtn->click();
  });
  EXPECT_EQ(ShowMessageWindow(mkError, "Cannot read.", lang::HelpButton, lang::OKButton), 1);
  ASSERT_EQ(help.opened.size(), 2u);
  EXPECT_TRUE(help.opened[0].toLocalFile().endsWith(QStringLiteral("/tavisto.html")));
}

// Only the interface's own help text turns the second button into a help button.
TEST(MessageWindow, ASecondCaptionOtherThanTheHelpTextClosesTheWindow) {
  HelpFileBesideProgram help;
  WhenShown([](TmsgFrm& w) { w.helpBtn->click(); });
  EXPECT_EQ(ShowMessageWindow(mkInformation, "Text", "Help", lang::OKButton), 2);
  EXPECT_TRUE(help.opened.empty());
}

TEST(MessageWindow, TheFourIconsDiffer) {
  const auto icons = MessageIcons();
  for (int a = 0; a < 4; ++a) {
    EXPECT_EQ(icons[a].size(), QSize(42, 42));
    for (int b = a + 1; b < 4; ++b) EXPECT_NE(icons[a].toImage(), icons[b].toImage());
  }
}
