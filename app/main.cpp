// Tavisto's start-up: hands the files it was given to a Tavisto already running (and ends), or
// checks that media files can be decoded, makes the workspace (with the task list kept for this
// display) and the windows in their order, adds the files and runs the event loop until the
// main window closes.
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/add_wizard.h"
#include "app/desktop.h"
#include "app/main_window.h"
#include "app/product_info.h"
#include "app/progress_window.h"
#include "app/qt_dispatcher.h"
#include "app/single_instance.h"
#include "app/tips_window.h"
#include "app/translations.h"
#include "app/ui_text.h"
#include "app/workspace.h"
#include "core/interface_texts.h"
#include "core/task_store.h"
#include "core/version.h"
#include "engine/conversion.h"
#include "platform/paths/program_dirs.h"
#include "platform/memory_use.h"
#include "platform/signal_watcher.h"

namespace {

using namespace app;

// A plain message before (or instead of) the program's own windows.
void ShowPlainMessage(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, ToQString(kProductTitle), QString::fromStdString(text));
  box.exec();
}

// The files and folders on the command line, made absolute; unknown options are reported and
// passed over.
std::vector<std::string> CommandLinePaths(int argc, char** argv) {
  std::error_code error;
  std::filesystem::path workingFolder = std::filesystem::current_path(error);
  if (error) workingFolder = "/";
  const StartArguments arguments = ReadStartArguments({argv + 1, argv + argc}, workingFolder);
  for (const std::string& option : arguments.unknownOptions)
    std::fprintf(stderr, "tavisto: unknown option %s (ignored)\n", option.c_str());
  return arguments.paths;
}

// Brings the program to the front, for a later start: the main window, or the modal window over
// it (the wizard, a question, the progress window). A run hidden in the notification area comes
// back, so that the user sees why the files wait.
void BringToFront(MainWindow& mainWindow, ProgressWindow& progressWindow) {
  if (progressWindow.Running() && !mainWindow.isVisible()) {
    progressWindow.RestoreRun();
    return;
  }
  if (mainWindow.isMinimized()) mainWindow.setWindowState(mainWindow.windowState() & ~Qt::WindowMinimized);
  mainWindow.show();
  mainWindow.raise();
  mainWindow.activateWindow();
  if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != &mainWindow) {
    modal->raise();
    modal->activateWindow();
  }
}

// Adds `paths` (MainWindow::AddPaths waits itself while a file is read or a run is shown), but
// after the tips window when that is up: its wizard would open over the tips.
void AddAfterTips(MainWindow& mainWindow, TipsWindow* tipsWindow, const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  if (tipsWindow != nullptr && tipsWindow->isVisible()) {
    QObject::connect(
        tipsWindow, &QDialog::finished, &mainWindow,
        [&mainWindow, paths] {
          QTimer::singleShot(0, &mainWindow, [&mainWindow, paths] { mainWindow.AddPaths(paths); });
        },
        Qt::SingleShotConnection);
    return;
  }
  mainWindow.AddPaths(paths);
}

// What `tavisto --help` prints: it opens no window, so that it works without a desktop too.
constexpr char kHelpText[] = R"(Usage: tavisto [--] [FILE|FOLDER]...
Converts WMA, WMV and other media files to MP3 on the desktop.

The files and folders named are added to the list as Add Files adds them (a folder adds the
media files under it). When Tavisto is already running, they are handed to its window, which
comes to the front, and this start ends.

  -h, --help     show this help and exit
      --version  show the version and exit
  --             ends the options: every argument after it is a file

Closing the program or logging out during a conversion stops it like Cancel: the files being
converted are removed, the MP3 files already finished stay, and nothing incomplete is left.
tavisto-convert converts from the command line.
)";

}  // namespace

int main(int argc, char** argv) {
  // Answered before any window or display is needed.
  if (const StartArguments early = ReadStartArguments({argv + 1, argv + argc}, "/"); early.help || early.version) {
    if (early.help)
      std::fputs(kHelpText, stdout);
    else
      std::printf("tavisto %s\nLicense GPL-3.0-or-later: GNU GPL version 3 or later "
                  "<https://www.gnu.org/licenses/gpl.html>.\nThis is free software: you are free to change "
                  "and redistribute it.\nThere is NO WARRANTY, to the extent permitted by law.\n",
                  ProductVersion);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  platform::ReturnLargeBlocksWhenFreed();
  // Logging out or closing the terminal stops the program as Ctrl-C and the window's close do:
  // a run going on is cancelled and leaves nothing behind. Taken before any thread starts.
  platform::SignalWatcher stopSignals({SIGINT, SIGTERM, SIGHUP}, [](int signal) {
    engine::InterruptDecoding();
    QMetaObject::invokeMethod(QCoreApplication::instance(), [signal] { EndForSignal(signal); }, Qt::QueuedConnection);
  });
  QApplication application(argc, argv);
  QApplication::setApplicationName(ToQString(kProductTitle));
  QApplication::setDesktopFileName(QStringLiteral("org.quorlen.Tavisto"));
  QApplication::setWindowIcon(ProductIcon());
  InstallTranslations(application);

  // QApplication has taken its own arguments out of argv.
  const std::vector<std::string> paths = CommandLinePaths(argc, argv);
  auto instance = std::make_unique<SingleInstance>();
  switch (instance->Start(paths)) {
    case SingleInstance::Role::HandedOff:
      return 0;
    case SingleInstance::Role::NotAnswered: {
      const QString text = UiText(lang::InstanceNotAnswering).arg(instance->Error());
      std::fprintf(stderr, "tavisto: %s\n", text.toLocal8Bit().constData());
      ShowPlainMessage(text.toStdString());
      return 1;
    }
    case SingleInstance::Role::Alone:
      // Still a working program; only later starts open windows of their own.
      std::fprintf(stderr, "tavisto: cannot listen on %s (%s): later starts will not hand over their files\n",
                   instance->SocketPath().toLocal8Bit().constData(), instance->Error().toLocal8Bit().constData());
      break;
    case SingleInstance::Role::Listening:
      break;
  }

  if (const auto problem = engine::StartDecoding()) {
    ShowPlainMessage(*problem);
    return 0;
  }
  // Without the encoder nothing can be converted: say why and stop.
  if (const auto problem = engine::EncoderProblem()) {
    ShowPlainMessage(*problem);
    return 1;
  }
  QtDispatcher dispatcher;
  Workspace workspace(platform::RunningProgramFolder(), dispatcher);
  workspace.LoadSettings();
  // One list per display, as there is one Tavisto per display (see SingleInstance).
  QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
  workspace.KeepTasksIn(core::TaskListPath(core::InstanceName(display.toStdString())));

  int result = 1;
  {
    MainWindow mainWindow(workspace);
    AddWizard wizard(workspace, &mainWindow);
    ProgressWindow progressWindow(workspace);
    progressWindow.SetMainWindow(&mainWindow);
    std::unique_ptr<TipsWindow> tipsWindow;
    if (workspace.settings.tips < core::kTipsOff) tipsWindow = std::make_unique<TipsWindow>(workspace, &mainWindow);
    mainWindow.SetWindows(&wizard, &progressWindow, tipsWindow.get());
    QObject::connect(instance.get(), &SingleInstance::PathsReceived, &mainWindow,
                     [&](const std::vector<std::string>& received) {
                       BringToFront(mainWindow, progressWindow);
                       AddAfterTips(mainWindow, tipsWindow.get(), received);
                     });
    mainWindow.show();
    // After the first show, whose tips window (when it comes) is queued ahead of this.
    QTimer::singleShot(0, &mainWindow, [&] { AddAfterTips(mainWindow, tipsWindow.get(), paths); });
    result = QApplication::exec();
    // From here on no hand-off could be answered: the next start is the first again.
    instance.reset();
    // Ended by a signal (a logout) rather than the window's close: the list is kept all the same.
    mainWindow.KeepTasksNow();
    workspace.SaveSettings();
  }
  return result;
}
