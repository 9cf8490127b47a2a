// Adding a library to the task list: the main window's add of whole folders, timed, against the
// inspection alone of the same files in the same run. Prints one line per measure:
//   add <files> <seconds> <milliseconds per file>
//   inspect <files> <seconds> <milliseconds per file>
// The first file goes through the wizard (clicked through at once); the question "same
// settings?" is answered Yes, so every other file is added straight away, as a user adding a
// folder of 1,000 files would.
// Usage: bench_add_files FOLDER...
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <string>
#include <vector>

#include "app/add_wizard.h"
#include "app/main_window.h"
#include "app/qt_dispatcher.h"
#include "app/workspace.h"
#include "core/added_files.h"
#include "core/inspection.h"
#include "engine/conversion.h"
#include "platform/mmstream/media_stream.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  std::vector<std::string> folders;
  for (int i = 1; i < argc; ++i) folders.push_back(argv[i]);
  if (folders.empty()) {
    std::fprintf(stderr, "usage: bench_add_files FOLDER...\n");
    return 2;
  }
  if (engine::StartDecoding()) return 1;
  app::QtDispatcher dispatcher;
  app::Workspace workspace("/", dispatcher);
  workspace.LoadSettings();
  workspace.settings.tips = core::kTipsOff;
  workspace.settings.outputFileDir.clear();
  // Yes: the same settings for the rest.
  workspace.messages.SetAnswerer([](const app::MessageRequest&) { return app::Answer::First; });

  const std::vector<core::AddedFile> files =
      core::CollectAddedFiles(folders, platform::mmstream::MediaFileExtensions());
  {
    app::MainWindow window(workspace);
    app::AddWizard wizard(workspace);
    window.SetWindows(&wizard, nullptr, nullptr);
    window.show();
    QTimer autopilot;
    QObject::connect(&autopilot, &QTimer::timeout, [&] {
      if (wizard.isVisible()) wizard.findChild<QPushButton*>(QStringLiteral("nextButton"))->click();
      if (!window.Adding()) QApplication::quit();
    });
    QElapsedTimer clock;
    clock.start();
    window.AddPaths(folders);
    autopilot.start(1);
    QApplication::exec();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const int added = workspace.tasks.Count();
    std::printf("add %d %.3f %.2f\n", added, seconds, 1000.0 * seconds / std::max(added, 1));
  }

  QElapsedTimer clock;
  clock.start();
  int inspected = 0;
  for (const core::AddedFile& file : files) {
    if (core::InspectMediaFile(file.path).result == core::ReadResult::Ok) ++inspected;
  }
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  std::printf("inspect %d %.3f %.2f\n", inspected, seconds, 1000.0 * seconds / std::max(inspected, 1));
  return 0;
}
