// Reading an added file: the reading thread and its result on the user-interface thread, and
// what the main window makes of a file that cannot be added (its message) or of a reading thread
// that cannot start.
#include <gtest/gtest.h>

#include <QPushButton>

#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

#include "app/add_wizard.h"
#include "app/main_window.h"
#include "app/source_reader.h"
#include "core/conversion_task.h"
#include "core/inspection.h"
#include "core/interface_texts.h"
#include "gui_test_support.h"
#include "message_answers.h"
#include "platform/mmstream/tests/media_fixtures.h"

using core::MessageKind;
using guitest::ServeUntil;
using media_fixtures::Ffmpeg;
using media_fixtures::TempDir;

namespace {

std::string Wma(const TempDir& dir, const std::string& name) {
  const std::string path = dir.File(name);
  EXPECT_TRUE(Ffmpeg(media_fixtures::SineInput(1000, 44100, 1) + " -c:a wmav2", path));
  return path;
}

class ReadSource : public ::testing::Test {
 protected:
  TempDir dir;
  guitest::TestWorkspace test{dir.Path()};
  app::Workspace& workspace = test.workspace;
  app::SourceReader reader{test.dispatcher};
};

TEST_F(ReadSource, AReadableFileComesBackOnTheUserInterfaceThreadAndMakesATask) {
  const std::string path = Wma(dir, "song.wma");
  std::optional<core::Inspection> read;
  std::thread::id readOn;
  ASSERT_TRUE(reader.Read(path, [&](const core::Inspection& inspection) {
    read = inspection;
    readOn = std::this_thread::get_id();
  }));
  EXPECT_TRUE(reader.Busy());
  ASSERT_TRUE(ServeUntil([&read] { return read.has_value(); }));
  EXPECT_FALSE(reader.Busy());
  EXPECT_EQ(readOn, std::this_thread::get_id());
  EXPECT_EQ(read->result, core::ReadResult::Ok);
  const core::ConversionTask task = core::TaskOf(*read, workspace.settings, workspace.tasks);
  EXPECT_EQ(task.sourceFile, path);
  EXPECT_EQ(task.title, "song");
  EXPECT_EQ(task.outputFile, dir.File("song.mp3"));
}

// One reading thread at a time: a second read asked for meanwhile (the windows keep answering
// the user) is refused and never answers; the first comes back once.
TEST_F(ReadSource, ASecondReadIsRefusedWhileOneIsInProgress) {
  const std::string path = Wma(dir, "song.wma");
  int results = 0;
  bool secondAnswered = false;
  {
    guitest::ReadingGate gate(reader);
    ASSERT_TRUE(reader.Read(path, [&results](const core::Inspection&) { ++results; }));
    EXPECT_FALSE(reader.Read(path, [&secondAnswered](const core::Inspection&) { secondAnswered = true; }));
  }
  ASSERT_TRUE(ServeUntil([&results] { return results > 0; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(results, 1);
  EXPECT_FALSE(secondAnswered);
  EXPECT_TRUE(reader.Read(path, [&results](const core::Inspection&) { ++results; })) << "free again once it answered";
  ASSERT_TRUE(ServeUntil([&results] { return results == 2; }));
}

// A reader that goes while its thread reads waits for the thread, and its result reaches no one.
TEST_F(ReadSource, AResultArrivingAfterTheReaderWentIsDropped) {
  const std::string path = Wma(dir, "song.wma");
  auto gone = std::make_unique<app::SourceReader>(test.dispatcher);
  bool answered = false;
  {
    guitest::ReadingGate gate(*gone);
    ASSERT_TRUE(gone->Read(path, [&answered](const core::Inspection&) { answered = true; }));
  }
  gone.reset();
  QCoreApplication::processEvents();
  EXPECT_FALSE(answered);
}

// The main window reading one file at a time, with the working task from before.
class AddOneFile : public ::testing::Test {
 protected:
  void SetUp() override {
    workspace.workingTask = core::ConversionTask();
    workspace.workingTask.sourceFile = "/music/earlier.wma";
    workspace.workingTask.title = "Earlier";
    main.SetWindows(&wizard, nullptr, nullptr);
    main.show();
  }
  void Add(const std::string& path) {
    main.AddPaths({path});
    ASSERT_TRUE(ServeUntil([this] { return !main.Adding(); })) << "the add did not end";
  }

  TempDir dir;
  guitest::TestWorkspace test{dir.Path()};
  app::Workspace& workspace = test.workspace;
  MessageAnswers answers{workspace.messages};
  app::MainWindow main{workspace};
  app::AddWizard wizard{workspace, &main};
};

TEST_F(AddOneFile, AReadableFileGoesToTheWizardWithoutAMessage) {
  const std::string path = Wma(dir, "song.wma");
  guitest::WizardAutopilot pilot(wizard);
  Add(path);
  EXPECT_EQ(pilot.shows, 1);
  EXPECT_TRUE(answers.asked.empty());
  ASSERT_EQ(workspace.tasks.Count(), 1);
  EXPECT_EQ(workspace.tasks[0].sourceFile, path);
  EXPECT_EQ(workspace.tasks[0].title, "song");
  EXPECT_EQ(workspace.tasks[0].outputFile, dir.File("song.mp3"));
}

struct Refusal {
  const char* name;
  std::function<std::string(const TempDir& dir)> make;  // the file, made; its path
  MessageKind kind;
  std::function<std::string(const std::string& path)> text;
};
void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class AddUnreadable : public AddOneFile, public ::testing::WithParamInterface<Refusal> {};

// A file given alone that cannot be added says why in a message of its own, offers help, and
// leaves the working task and the list as they were.
TEST_P(AddUnreadable, SaysWhyAndChangesNothing) {
  const Refusal& refusal = GetParam();
  const std::string path = refusal.make(dir);
  guitest::WizardAutopilot pilot(wizard);
  Add(path);
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].kind, refusal.kind);
  EXPECT_EQ(answers.asked[0].text, refusal.text(path));
  EXPECT_EQ(answers.asked[0].secondCaption, lang::HelpButton);
  EXPECT_EQ(answers.asked[0].firstCaption, lang::OKButton);
  EXPECT_EQ(pilot.shows, 0);
  EXPECT_EQ(workspace.tasks.Count(), 0);
  EXPECT_EQ(workspace.workingTask.sourceFile, "/music/earlier.wma");
  EXPECT_EQ(workspace.workingTask.title, "Earlier");
}

INSTANTIATE_TEST_SUITE_P(
    Files, AddUnreadable,
    ::testing::Values(
        Refusal{"NotMedia",
                [](const TempDir& dir) {
                  media_fixtures::WriteBytes(dir.File("noise.wma"), media_fixtures::RandomBytes(20000, 3));
                  return dir.File("noise.wma");
                },
                MessageKind::Error,
                [](const std::string& path) {
                  return std::string(lang::CannotReadFile) + "\n" + path + "\n" + lang::InstallCodecsHint;
                }},
        Refusal{"VideoOnly",
                [](const TempDir& dir) {
                  EXPECT_TRUE(Ffmpeg("-f lavfi -i testsrc=d=1:s=64x48:r=5 -c:v wmv2", dir.File("video.wmv")));
                  return dir.File("video.wmv");
                },
                MessageKind::Warning,
                [](const std::string& path) { return std::string(lang::NoAudioStream) + "\n" + path; }},
        Refusal{"Missing", [](const TempDir& dir) { return dir.File("gone.wma"); }, MessageKind::Error,
                [](const std::string& path) { return std::string(lang::FileDoesNotExist) + "\n" + path; }}),
    [](const auto& row) { return std::string(row.param.name); });

// Waiting for a thread that never ran would hang the program: the add ends with its message.
TEST_F(AddOneFile, AThreadThatCannotStartEndsTheAddWithItsMessage) {
  main.Reader().SetThreadStarter([](std::function<void()>) -> std::thread {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  });
  main.AddPaths({Wma(dir, "song.wma")});
  EXPECT_FALSE(main.Adding());
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].kind, MessageKind::Error);
  EXPECT_EQ(answers.asked[0].text, lang::ThreadNotCreated);
  EXPECT_EQ(answers.asked[0].secondCaption, lang::HelpButton);
  EXPECT_EQ(answers.asked[0].firstCaption, lang::OKButton);
  EXPECT_TRUE(guitest::Child<QPushButton>(main, "addFilesButton")->isEnabled()) << "the window is free again";
  EXPECT_EQ(workspace.workingTask.sourceFile, "/music/earlier.wma");
  main.Reader().SetThreadStarter({});
}

// Files handed over while one is read (by a later start of the program) wait and are added
// after, through the wizard like any other.
TEST_F(AddOneFile, FilesGivenWhileOneIsReadAreAddedAfter) {
  const std::string first = Wma(dir, "first.wma"), second = Wma(dir, "second.wma");
  guitest::WizardAutopilot pilot(wizard);
  {
    guitest::ReadingGate gate(main.Reader());
    main.AddPaths({first});
    main.AddPaths({second});
    EXPECT_TRUE(main.Adding());
  }
  ASSERT_TRUE(ServeUntil([this] { return workspace.tasks.Count() == 2 && !main.Adding(); }));
  EXPECT_EQ(pilot.shows, 2);
  EXPECT_EQ(workspace.tasks[0].sourceFile, first);
  EXPECT_EQ(workspace.tasks[1].sourceFile, second);
  EXPECT_TRUE(answers.asked.empty());
}

}  // namespace
