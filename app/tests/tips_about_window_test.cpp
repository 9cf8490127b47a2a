// The tips window's counter and the about window's texts and links.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>

#include <filesystem>
#include <fstream>

#include "app/about_window.h"
#include "app/tips_window.h"
#include "core/settings.h"
#include "core/version.h"
#include "accessible_links.h"
#include "gui_test_support.h"
#include "platform/mmstream/tests/media_fixtures.h"

using guitest::Child;

namespace {

struct TipsFile {
  media_fixtures::TempDir dir;
  std::string path = dir.File("tips.txt");
  explicit TipsFile(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
};

std::string Shown(app::TipsWindow& window) { return Child<QLabel>(window, "tipLabel")->text().toStdString(); }
void Click(app::TipsWindow& window, const char* button) { Child<QPushButton>(window, button)->click(); }

class Tips : public ::testing::Test {
 protected:
  media_fixtures::TempDir dir;
  guitest::TestWorkspace test{dir.Path()};
  app::Workspace& workspace = test.workspace;
  std::int32_t& tipIndex = workspace.settings.tips;
};

}  // namespace

TEST(TipLines, LineEndsOfEitherKindAndEmptyTips) {
  EXPECT_EQ(app::TipLines("one\r\ntwo\n\nfour"), (std::vector<std::string>{"one", "two", "", "four"}));
  EXPECT_EQ(app::TipLines("only\n"), (std::vector<std::string>{"only"}));
  EXPECT_EQ(app::TipLines("caf\xE9"), (std::vector<std::string>{"caf\u00e9"}));  // a legacy file
  EXPECT_TRUE(app::TipLines("").empty());
}

TEST_F(Tips, TheCounterStepsOnFromTheTipShownLastAndWraps) {
  TipsFile five("t0\nt1\nt2\nt3\nt4\n");
  tipIndex = 4;
  app::TipsWindow window(workspace, nullptr, five.path);
  EXPECT_EQ(Shown(window), "t0");
  EXPECT_EQ(tipIndex, 0);
  Click(window, "nextTipButton");
  EXPECT_EQ(Shown(window), "t1");
  EXPECT_EQ(tipIndex, 1);

  TipsFile three("a\nb\nc\n");
  tipIndex = 7;
  app::TipsWindow wrapped(workspace, nullptr, three.path);
  EXPECT_EQ(Shown(wrapped), "a");
  EXPECT_EQ(tipIndex, 0);

  tipIndex = 0;  // a first start shows the second line
  app::TipsWindow first(workspace, nullptr, three.path);
  EXPECT_EQ(Shown(first), "b");
}

// An empty tips file has no tip to show either; it must not leave the window blank or crash.
TEST_F(Tips, MissingOrEmptyTipsFileShowsNoTipsFound) {
  TipsFile empty("");
  for (const std::string& path : {empty.path, empty.dir.File("missing.txt")}) {
    tipIndex = 3;
    app::TipsWindow window(workspace, nullptr, path);
    EXPECT_EQ(Shown(window), "No tips found.");
    Click(window, "nextTipButton");
    EXPECT_EQ(Shown(window), "No tips found.");
  }
}

TEST_F(Tips, OnlyOkWithTheBoxClearedSwitchesTipsOff) {
  TipsFile three("a\nb\nc\n");
  tipIndex = 0;
  app::TipsWindow window(workspace, nullptr, three.path);
  Child<QCheckBox>(window, "showTipsCheck")->setChecked(false);
  Click(window, "nextTipButton");
  EXPECT_EQ(tipIndex, 2) << "clearing the box alone does not switch tips off";
  Click(window, "okButton");
  EXPECT_EQ(tipIndex, core::kTipsOff);
  Click(window, "nextTipButton");
  EXPECT_EQ(tipIndex, core::kTipsOff) << "with tips off nothing steps on";

  tipIndex = 1;
  app::TipsWindow kept(workspace, nullptr, three.path);
  Click(kept, "okButton");
  EXPECT_EQ(tipIndex, 2);
}

// The addresses are real links (a screen reader finds and presses them); the label of the home
// page carries no access key of its own, the button beside does.
TEST(AboutWindow, ShowsVersionMakerAndLicenceAndOpensTheAddresses) {
  app::Desktop desktop;
  std::vector<QUrl> opened;
  desktop.SetOpener([&](const QUrl& url) { opened.push_back(url); });
  app::AboutWindow window(desktop);
  window.show();
  const auto text = [&window](const char* label) { return Child<QLabel>(window, label)->text(); };
  EXPECT_EQ(window.windowTitle(), QStringLiteral("About Tavisto"));
  EXPECT_EQ(text("titleLabel"), QStringLiteral("Tavisto"));
  EXPECT_EQ(text("versionLabel"), QStringLiteral("Version:"));
  EXPECT_EQ(text("versionNumberLabel"), QString::fromUtf8(ProductVersion));
  EXPECT_EQ(text("buildLabel"), QStringLiteral("(Build 2521)"));
  EXPECT_EQ(text("homePageLabel"), QStringLiteral("Home page:"));
  EXPECT_EQ(text("supportEmailLabel"), QStringLiteral("Support Email:"));
  EXPECT_EQ(text("makerLabel"), QStringLiteral("© Quorlen"));
  EXPECT_EQ(text("licenceLabel"),
            QStringLiteral("Licensed under the GNU General Public License, version 3 or later."));
  const QString home = QString::fromUtf8(app::kHomePageAddress), mail = QString::fromUtf8(app::kSupportEmailAddress);
  EXPECT_EQ(guitest::LinkNames(window), (QStringList{home, mail, QStringLiteral("Read the licence")}));
  Child<QPushButton>(window, "homePageButton")->click();
  for (const QString& link : guitest::LinkNames(window)) EXPECT_TRUE(guitest::PressLink(window, link)) << link.toStdString();
  ASSERT_EQ(opened.size(), 4u);
  EXPECT_EQ(opened[0].toString(), home);
  EXPECT_EQ(opened[1].toString(), home);
  EXPECT_EQ(opened[2].toString(), QStringLiteral("mailto:") + mail);
  EXPECT_EQ(opened[3].toString(), QStringLiteral("https://www.gnu.org/licenses/gpl-3.0.html"));
  EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "its natural size: nothing to stretch or maximise";
  Child<QPushButton>(window, "okButton")->click();
  EXPECT_EQ(window.result(), QDialog::Accepted);
}
