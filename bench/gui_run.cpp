// A desktop run without a person at the keyboard, for bench/gui-run.sh: the windows wired as the
// program's main() wires them (the Qt dispatcher, the workspace, the main window, the wizard and
// the progress window; not the single-instance socket, and no tips), on whatever display
// QT_QPA_PLATFORM or DISPLAY gives (the script runs it under Xvfb). The settings come from
// TAVISTO_REGISTRY, with the output folder, the jobs and the built-in MP3 settings given here. The files named are added as a user adds them from the command line: the first one
// clicked through the wizard, the question "same settings for the rest?" answered Yes; then
// Start is clicked as soon as the add is done, the end question ("open the output folder?") is
// answered No, and the program ends with the run. Nothing here waits on a timer: every step
// follows the event that makes it possible. The output folder must exist (the wizard would ask
// to make it).
//
// Prints one line, the seconds from the start of main() to each step, the moment the run ended
// on the system clock (seconds since 1970, for a script that timed the start of the process),
// and the CPU seconds the user-interface thread spent before Start and during the run:
//   desktop windows <s> added <s> started <s> ended <s> clock <s> ui-cpu <s> <s> done <n> failed <n>
// and exits non-zero when a file was not converted or any other message came up.
// Usage: bench_gui_run OUTPUT-FOLDER JOBS FILE...
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "app/add_wizard.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "app/qt_dispatcher.h"
#include "app/ui_text.h"
#include "app/workspace.h"
#include "core/conversion_task.h"
#include "core/interface_texts.h"
#include "core/settings.h"
#include "engine/conversion.h"
#include "platform/paths/program_dirs.h"

namespace {

// Calls `step` once each time `watched` gets an event of `type`, after the event has been handled.
class EventHook : public QObject {
 public:
  EventHook(QObject* watched, QEvent::Type type, std::function<void()> step)
      : type_(type), step_(std::move(step)) {
    watched->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == type_) QTimer::singleShot(0, this, step_);
    return QObject::eventFilter(watched, event);
  }

 private:
  QEvent::Type type_;
  std::function<void()> step_;
};

double Seconds(const QElapsedTimer& clock) { return static_cast<double>(clock.nsecsElapsed()) / 1e9; }

// The CPU time of the calling thread.
double ThreadSeconds() {
  timespec time{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  QApplication application(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_gui_run OUTPUT-FOLDER JOBS FILE...\n");
    return 2;
  }
  std::string outputFolder = argv[1];
  if (outputFolder.back() != '/') outputFolder += '/';
  const int jobs = std::atoi(argv[2]);
  const std::vector<std::string> files(argv + 3, argv + argc);
  if (engine::StartDecoding() || engine::EncoderProblem()) {
    std::fprintf(stderr, "bench_gui_run: cannot decode or encode\n");
    return 1;
  }

  app::QtDispatcher dispatcher;
  app::Workspace workspace(platform::RunningProgramFolder(), dispatcher);
  workspace.LoadSettings();
  workspace.settings.tips = core::kTipsOff;
  workspace.settings.outputFileDir = outputFolder;
  workspace.settings.jobs = jobs;
  workspace.settings.encoding = engine::kDefaultEncoding;
  // Yes to the same settings for the rest, No to opening the output folder at the end; any
  // other message is a fault of the run, which ends here (a modal loop might ask again and
  // again).
  workspace.messages.SetAnswerer([](const app::MessageRequest& request) {
    if (request.text == app::TranslatedText(lang::UseSameSettingsQuestion)) return app::Answer::First;
    if (request.text.find(app::TranslatedText(lang::OpenOutputFolderQuestion)) == std::string::npos) {
      std::fprintf(stderr, "bench_gui_run: unexpected message: %s\n", request.text.c_str());
      std::_Exit(1);
    }
    return app::Answer::Second;
  });

  double windowsAt = 0, addedAt = 0, startedAt = 0, endedAt = 0, endedClock = 0, uiBeforeRun = 0, uiInRun = 0;
  {
    app::MainWindow mainWindow(workspace);
    app::AddWizard wizard(workspace, &mainWindow);
    app::ProgressWindow progressWindow(workspace);
    progressWindow.SetMainWindow(&mainWindow);
    mainWindow.SetWindows(&wizard, &progressWindow, nullptr);

    auto* next = wizard.findChild<QPushButton*>(QStringLiteral("nextButton"));
    auto* start = mainWindow.findChild<QPushButton*>(QStringLiteral("startButton"));
    // The wizard's three pages, each confirmed as the user would with its Next (OK) button.
    EventHook throughWizard(&wizard, QEvent::Show, [&] {
      for (int page = 0; page < 3 && wizard.isVisible(); ++page) next->click();
    });
    // Start once the add is done and the button can be pressed.
    bool clicked = false;
    EventHook startWhenAdded(start, QEvent::EnabledChange, [&] {
      if (clicked || !start->isEnabled() || mainWindow.Adding()) return;
      clicked = true;
      addedAt = Seconds(clock);
      uiBeforeRun = ThreadSeconds();
      start->click();
      startedAt = Seconds(clock);
    });
    QObject::connect(&progressWindow, &app::ProgressWindow::runEnded, [&] {
      endedAt = Seconds(clock);
      endedClock = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
      uiInRun = ThreadSeconds() - uiBeforeRun;
      QApplication::quit();
    });

    mainWindow.show();
    windowsAt = Seconds(clock);
    QTimer::singleShot(0, &mainWindow, [&] { mainWindow.AddPaths(files); });
    QApplication::exec();
  }

  int done = 0, failed = 0;
  for (int task = 0; task < workspace.tasks.Count(); ++task) {
    if (workspace.tasks[task].state == core::TaskState::Done) {
      ++done;
    } else {
      ++failed;
      std::fprintf(stderr, "bench_gui_run: not converted: %s (%s)\n", workspace.tasks[task].sourceFile.c_str(),
                   workspace.tasks[task].stateDetail.c_str());
    }
  }
  failed += static_cast<int>(files.size()) - workspace.tasks.Count();
  std::printf("desktop windows %.3f added %.3f started %.3f ended %.3f clock %.6f ui-cpu %.3f %.3f done %d failed %d\n",
              windowsAt, addedAt, startedAt, endedAt, endedClock, uiBeforeRun, uiInRun, done, failed);
  return failed == 0 && endedAt > 0 ? 0 : 1;
}
