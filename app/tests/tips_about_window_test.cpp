// The tips window's counter and the about window's texts and links.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <filesystem>
#include <fstream>

#include "app/about_window.h"
#include "core/settings.h"
#include "app/tips_window.h"
#include "app/desktop.h"
#include "platform/mmstream/tests/media_fixtures.h"

namespace {

struct TipsFile {
  media_fixtures::TempDir dir;
  std::string path = dir.File("tips.txt");
  explicit TipsFile(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
};

std::string Shown(const TipsWindow& window) { return window.tipLabel->text().toStdString(); }

}  // namespace

TEST(TipLines, LineEndsOfEitherKindAndEmptyTips) {
  EXPECT_EQ(TipLines("one\r\ntwo\n\nfour"), (std::vector<std::string>{"one", "two", "", "four"}));
  EXPECT_EQ(TipLines("only\n"), (std::vector<std::string>{"only"}));
  EXPECT_EQ(TipLines("caf\xE9"), (std::vector<std::string>{"caf\u00e9"}));  // a legacy file
  EXPECT_TRUE(TipLines("").empty());
}

TEST(TipsWindow, TheCounterStepsOnFromTheTipShownLastAndWraps) {
  TipsFile five("t0\nt1\nt2\nt3\nt4\n");
  TipIndex = 4;
  TipsWindow window(nullptr, five.path);
  EXPECT_EQ(Shown(window), "t0");
  EXPECT_EQ(TipIndex, 0);
  window.nextTipButton->click();
  EXPECT_EQ(Shown(window), "t1");
  EXPECT_EQ(TipIndex, 1);

  TipsFile three("a\nb\nc\n");
  TipIndex = 7;
  TipsWindow wrapped(nullptr, three.path);
  EXPECT_EQ(Shown(wrapped), "a");
  EXPECT_EQ(TipIndex, 0);

  TipIndex = 0;  // a first start shows the second line
  TipsWindow first(nullptr, three.path);
  EXPECT_EQ(Shown(first), "b");
}

// An empty tips file has no tip to show either; it must not leave the window blank or crash.
TEST(TipsWindow, MissingOrEmptyTipsFileShowsNoTipsFound) {
  TipsFile empty("");
  for (const std::string& path : {empty.path, empty.dir.File("missing.txt")}) {
    TipIndex = 3;
    TipsWindow window(nullptr, path);
    EXPECT_EQ(Shown(window), "No tips found.");
    window.nextTipButton->click();
    EXPECT_EQ(Shown(window), "No tips found.");
  }
}

TEST(TipsWindow, OnlyOkWithTheBoxClearedSwitchesTipsOff) {
  TipsFile three("a\nb\nc\n");
  TipIndex = 0;
  TipsWindow window(nullptr, three.path);
  window.showTipsCheck->setChecked(false);
  window.nextTipButton->click();
  EXPECT_EQ(TipIndex, 2) << "clearing the box alone does not switch tips off";
  window.okButton->click();
  EXPECT_EQ(TipIndex, TipsOff);
  window.nextTipButton->click();
  EXPECT_EQ(TipIndex, TipsOff) << "with tips off nothing steps on";

  TipIndex = 1;
  TipsWindow kept(nullptr, three.path);
  kept.okButton->click();
  EXPECT_EQ(TipIndex, 2);
}

TEST(AboutWindow, ShowsVersionAndOpensTheAddresses) {
  std::vector<QUrl> opened;
  SetDesktopOpener([&](const QUrl& url) { opened.push_back(url); });
  AboutWindow window;
  window.show();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("About Tavisto"));
  EXPECT_EQ(window.titleLabel->text(), QStringLiteral("Tavisto"));
  EXPECT_EQ(window.versionLabel->text(), QStringLiteral("Version:"));
  EXPECT_EQ(window.versionNumberLabel->text(), QStringLiteral("1.08"));
  EXPECT_EQ(window.buildLabel->text(), QStringLiteral("(Build 2521)"));
  EXPECT_EQ(window.homePageLabel->text(), QStringLiteral("Home &Page:"));
  EXPECT_EQ(window.supportEmailLabel->text(), QStringLiteral("Support Email:"));
  window.homePageButton->click();
  window.OnSupportEmailClicked();
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].toString(), QString::fromUtf8(HomePageAddress));
  EXPECT_EQ(opened[1].toString(), QStringLiteral("mailto:") + QString::fromUtf8(SupportEmailAddress));
  window.okButton->click();
  EXPECT_EQ(window.result(), 1);
  SetDesktopOpener({});
}
