// ReadSourceFile: the reading thread, the waiting user-interface thread and the messages of a
// file that cannot be added.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <system_error>

#include "core/conversion_task.h"
#include "core/inspection.h"
#include "core/interface_texts.h"
#include "app/source_reading.h"
#include "core/settings.h"
#include "message_answers.h"
#include "platform/mmstream/tests/media_fixtures.h"

using media_fixtures::Ffmpeg;
using media_fixtures::TempDir;

namespace {

class ReadSource : public ::testing::Test {
 protected:
  void SetUp() override {
    WorkingTask = ConversionTask();
    WorkingTask.sourceFile = "/music/earlier.wma";
    WorkingTask.title = "Earlier";
    Tasks.Clear();
    DefaultSettings = Settings();
  }
  void TearDown() override { SetReadingThreadStarter({}); }

  std::string Wma(const std::string& name) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(Ffmpeg(media_fixtures::SineInput(1000, 44100, 1) + " -c:a wmav2", path));
    return path;
  }

  TempDir dir;
  MessageAnswers answers;
};

TEST_F(ReadSource, ReadableFileIsTakenWithoutAMessage) {
  const std::string path = Wma("song.wma");
  EXPECT_TRUE(ReadSourceFile(path));
  EXPECT_TRUE(answers.asked.empty());
  EXPECT_TRUE(ReadingDone.load());
  EXPECT_EQ(ReadResult, ReadOk);
  EXPECT_EQ(WorkingTask.sourceFile, path);
  EXPECT_EQ(WorkingTask.title, "song");
  EXPECT_EQ(WorkingTask.outputFile, dir.File("song.mp3"));
}

TEST_F(ReadSource, UnreadableFileGivesTheCannotReadErrorAndChangesNothing) {
  const std::string path = dir.File("noise.wma");
  media_fixtures::WriteBytes(path, media_fixtures::RandomBytes(20000, 3));
  EXPECT_FALSE(ReadSourceFile(path));
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].kind, MessageKind::Error);
  EXPECT_EQ(answers.asked[0].text, std::string(lang::CannotReadFile) + "\n" + path + "\n" + lang::InstallCodecsHint);
  EXPECT_EQ(answers.asked[0].secondCaption, lang::HelpButton);
  EXPECT_EQ(answers.asked[0].firstCaption, lang::OKButton);
  EXPECT_EQ(WorkingTask.sourceFile, "/music/earlier.wma");
}

TEST_F(ReadSource, VideoOnlyFileGivesTheNoAudioWarningAndChangesNothing) {
  const std::string path = dir.File("video.wmv");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=d=1:s=64x48:r=5 -c:v wmv2", path));
  EXPECT_FALSE(ReadSourceFile(path));
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].kind, MessageKind::Warning);
  EXPECT_EQ(answers.asked[0].text, std::string(lang::NoAudioStream) + "\n" + path);
  EXPECT_EQ(answers.asked[0].secondCaption, lang::HelpButton);
  EXPECT_EQ(WorkingTask.sourceFile, "/music/earlier.wma");
  EXPECT_EQ(WorkingTask.title, "Earlier");
}

// Waiting for a thread that never ran would hang the program.
TEST_F(ReadSource, ThreadThatCannotStartEndsTheAddWithItsMessage) {
  SetReadingThreadStarter([](std::function<void()>) -> std::thread {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  });
  EXPECT_FALSE(ReadSourceFile(Wma("song.wma")));
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].kind, MessageKind::Error);
  EXPECT_EQ(answers.asked[0].text, lang::ThreadNotCreated);
  EXPECT_EQ(answers.asked[0].secondCaption, lang::HelpButton);
  EXPECT_EQ(answers.asked[0].firstCaption, lang::OKButton);
  EXPECT_TRUE(ReadingDone.load());
  EXPECT_EQ(WorkingTask.sourceFile, "/music/earlier.wma");
}

// The windows must keep working while a file is read, and an action they allow meanwhile must
// not start a second reading thread on the same working task.
TEST_F(ReadSource, WaitDispatchesEventsAndRefusesASecondReadMeanwhile) {
  const std::string path = Wma("song.wma");
  // The reading thread starts its work only once the user-interface thread has handled an
  // event (and tried a second read) during the wait.
  std::promise<void> eventHandled;
  std::shared_future<void> handled = eventHandled.get_future().share();
  SetReadingThreadStarter([handled](std::function<void()> body) {
    return std::thread([body, handled] {
      handled.wait();
      body();
    });
  });
  bool timerRan = false;
  bool nestedRead = true;
  QTimer::singleShot(0, [&] {
    timerRan = true;
    EXPECT_FALSE(ReadingDone.load());
    nestedRead = ReadSourceFile(path);
    eventHandled.set_value();
  });
  EXPECT_TRUE(ReadSourceFile(path));
  EXPECT_TRUE(timerRan);
  EXPECT_FALSE(nestedRead);
  EXPECT_TRUE(answers.asked.empty());
  EXPECT_EQ(WorkingTask.sourceFile, path);
}

}  // namespace
