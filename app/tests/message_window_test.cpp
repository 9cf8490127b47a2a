// The message window answered by clicking its buttons the way a person would, through the
// program's one way of showing a message (app::Messages).
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <filesystem>
#include <fstream>
#include <functional>

#include "app/desktop.h"
#include "app/message_window.h"
#include "core/interface_texts.h"
#include "gui_test_support.h"
#include "platform/paths/program_dirs.h"

using app::Answer;
using app::DefaultButton;
using app::MessageWindow;
using core::MessageKind;
using guitest::Child;

namespace {

// Runs `step` on the message window once it is up, modal.
void WhenShown(std::function<void(MessageWindow&)> step) {
  QTimer::singleShot(0, [step] {
    auto* window = qobject_cast<MessageWindow*>(QApplication::activeModalWidget());
    if (window == nullptr) {
      ADD_FAILURE() << "no message window is up";
      return;
    }
    EXPECT_TRUE(window->isVisible());
    step(*window);
  });
}

QPushButton* First(MessageWindow& window) { return Child<QPushButton>(window, "firstButton"); }
QPushButton* Second(MessageWindow& window) { return Child<QPushButton>(window, "secondButton"); }

// A help file beside the test program for the window to open: the build's copy of the guide,
// or one made for the test (and removed after it) when there is none. The build's copy is never
// touched, since other tests running at the same time open it too.
struct HelpFileBesideProgram {
  std::string path = platform::RunningProgramFolder() + app::kHelpFileName;
  bool made = !std::filesystem::exists(path);
  HelpFileBesideProgram() {
    if (made) std::ofstream(path) << "<html></html>";
  }
  ~HelpFileBesideProgram() {
    if (made) std::filesystem::remove(path);
  }
};

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop.SetOpener([this](const QUrl& url) { opened.push_back(url); });
  }

  Answer Ask(MessageKind kind, const std::string& text, const std::string& second, const std::string& first,
             DefaultButton defaultButton = DefaultButton::First) {
    return messages.Show(kind, text, second, first, defaultButton);
  }

  app::Desktop desktop;
  app::Messages messages{desktop};
  std::vector<QUrl> opened;
};

}  // namespace

TEST_F(Messages, FirstButtonGivesFirstSecondButtonAndTitleBarCloseGiveSecond) {
  WhenShown([](MessageWindow& w) { QTest::mouseClick(First(w), Qt::LeftButton); });
  EXPECT_EQ(Ask(MessageKind::Question, "Continue?", lang::NoButton, lang::YesButton), Answer::First);

  WhenShown([](MessageWindow& w) { QTest::mouseClick(Second(w), Qt::LeftButton); });
  EXPECT_EQ(Ask(MessageKind::Question, "Continue?", lang::NoButton, lang::YesButton), Answer::Second);

  WhenShown([](MessageWindow& w) { w.close(); });
  EXPECT_EQ(Ask(MessageKind::Question, "Continue?", lang::NoButton, lang::YesButton), Answer::Second);
}

TEST_F(Messages, ShowsTheTextCaptionsIconAndCaptionOfTheCall) {
  bool shown = false;
  WhenShown([&shown](MessageWindow& w) {
    shown = true;
    const QLabel* message = Child<QLabel>(w, "messageLabel");
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Warning")) << "a text no title belongs to is titled by its kind";
    EXPECT_EQ(message->text(), QStringLiteral("Line one\n <b>song</b>.wma"));
    EXPECT_EQ(message->textFormat(), Qt::PlainText) << "file names must never be read as markup";
    EXPECT_EQ(First(w)->text(), QStringLiteral("&Yes"));
    EXPECT_EQ(Second(w)->text(), QStringLiteral("&No"));
    EXPECT_EQ(w.Kind(), MessageKind::Warning);
    const int size = app::MessageIconSize();
    EXPECT_EQ(Child<QLabel>(w, "iconLabel")->pixmap().toImage(),
              app::MessageIcon(MessageKind::Warning).pixmap(size, size).toImage());
    First(w)->click();
  });
  Ask(MessageKind::Warning, "Line one\n <b>song</b>.wma", lang::NoButton, lang::YesButton);
  EXPECT_TRUE(shown);
}

// Enter answers a question with the button it waits on: No where Yes would lose work, never
// the help button.
TEST_F(Messages, EnterPressesTheDefaultButton) {
  const struct {
    const char* second;
    DefaultButton asked;
    Answer result;
  } cases[] = {{lang::NoButton, DefaultButton::First, Answer::First},
               {lang::NoButton, DefaultButton::Second, Answer::Second},
               {lang::HelpButton, DefaultButton::Second, Answer::First}};
  for (const auto& c : cases) {
    WhenShown([](MessageWindow& w) { QTest::keyClick(&w, Qt::Key_Return); });
    EXPECT_EQ(Ask(MessageKind::Question, "Sure?", c.second, lang::YesButton, c.asked), c.result) << c.second;
  }
}

TEST_F(Messages, HelpCaptionOpensTheHelpFileAndTheWindowStays) {
  HelpFileBesideProgram help;
  WhenShown([this](MessageWindow& w) {
    Second(w)->click();
    Second(w)->click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(opened.size(), 2u);
    First(w)->click();
  });
  EXPECT_EQ(Ask(MessageKind::Error, "Cannot read.", lang::HelpButton, lang::OKButton), Answer::First);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_TRUE(opened[0].toLocalFile().endsWith(QStringLiteral("/tavisto.html")));
}

// Only the interface's own help text turns the second button into a help button.
TEST_F(Messages, ASecondCaptionOtherThanTheHelpTextClosesTheWindow) {
  HelpFileBesideProgram help;
  WhenShown([](MessageWindow& w) { Second(w)->click(); });
  EXPECT_EQ(Ask(MessageKind::Information, "Text", "Help", lang::OKButton), Answer::Second);
  EXPECT_TRUE(opened.empty());
}

TEST(MessageWindow, TheFourIconsDiffer) {
  const int size = app::MessageIconSize();
  const MessageKind kinds[] = {MessageKind::Error, MessageKind::Information, MessageKind::Question, MessageKind::Warning};
  for (std::size_t a = 0; a < 4; ++a) {
    const QImage first = app::MessageIcon(kinds[a]).pixmap(size, size).toImage();
    EXPECT_FALSE(first.isNull());
    for (std::size_t b = a + 1; b < 4; ++b) EXPECT_NE(first, app::MessageIcon(kinds[b]).pixmap(size, size).toImage());
  }
}

// Every message says in its title what it is about, whoever composed it: by the interface text
// it begins with (a protected file's names the file first), else by its kind; never "Message".
TEST(MessageTitle, FollowsTheTextTheMessageBeginsWith) {
  const struct {
    MessageKind kind;
    std::string text;
    const char* title;
  } cases[] = {
      {MessageKind::Question, "There is nothing to convert.\nPlease check the tasks you want to convert.", "Nothing to Convert"},
      {MessageKind::Error, "The following file cannot be read.\n/m/a.wma\nUsually installing ...", "Cannot Add File"},
      {MessageKind::Error, "/m/a.wma is protected by DRM and cannot be converted.", "Cannot Add File"},
      {MessageKind::Warning, "The following file has no audio stream and cannot be converted to MP3.\n/m/a.wmv", "Cannot Add File"},
      {MessageKind::Warning, "These files were not added:\n/m/a: has no audio stream", "Some Files Were Not Added"},
      {MessageKind::Question, "File exists:\n/m/a.mp3\nWould you like to replace the existing file?", "Replace File?"},
      {MessageKind::Information, lang::CannotActWhileBusy, "Please Wait"},
      {MessageKind::Error, "Cannot write the file \"/m/album.lst\": Permission denied.", "Error"},
      {MessageKind::Information, "", "Information"},
  };
  for (const auto& c : cases) EXPECT_STREQ(app::MessageTitleFor(c.kind, c.text), c.title) << c.text;
}

// A path has no blank to wrap at: one longer than a line is cut in its middle (the whole text in
// the tooltip), and the window, which has its natural size, stays on the screen.
TEST_F(Messages, APathLongerThanALineIsCutInItsMiddleAndTheWindowStaysOnTheScreen) {
  const std::string path = "/" + std::string(600, 'a') + "/song.wma";
  WhenShown([&](MessageWindow& w) {
    const QLabel* message = Child<QLabel>(w, "messageLabel");
    EXPECT_LE(w.frameGeometry().width(), QGuiApplication::primaryScreen()->availableGeometry().width());
    EXPECT_TRUE(message->text().startsWith(QStringLiteral("Missing:\n/aaa")) && message->text().endsWith(QStringLiteral("a/song.wma")));
    EXPECT_TRUE(message->text().contains(QChar(0x2026)));
    EXPECT_TRUE(message->toolTip().contains(QString::fromStdString(path)));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    First(w)->click();
  });
  Ask(MessageKind::Error, "Missing:\n" + path, lang::HelpButton, lang::OKButton);
}
