// Tavisto's start-up: checks that media files can be decoded, fills the program-wide values,
// loads the settings, creates the windows in their order and runs the event loop until the main
// window closes.
#include <QApplication>
#include <QMessageBox>

#include "app/add_wizard.h"
#include "core/conversion_task.h"
#include "app/main_window.h"
#include "app/product_info.h"
#include "core/settings.h"
#include "app/tips_window.h"
#include "app/translations.h"
#include "engine/decoded_input.h"
#include "app/message_window.h"
#include "app/progress_window.h"
#include "app/qt_dispatcher.h"
#include "platform/paths/program_dirs.h"

namespace {

// A plain message before (or instead of) the program's own windows.
void ShowPlainMessage(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(ProductTitle), QString::fromStdString(text));
  box.exec();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(ProductTitle));
  QApplication::setDesktopFileName(QStringLiteral("tavisto"));
  QApplication::setWindowIcon(ProductIcon());
  InstallTranslations(application);

  if (const auto problem = engine::StartDecoding()) {
    ShowPlainMessage(*problem);
    return 0;
  }
  ProgramFolder = platform::RunningProgramFolder();
  LoadSettings();
  QtDispatcher dispatcher;
  platform::SetMainDispatcher(&dispatcher);

  int result = 1;
  {
    MainWindow mainWindow;
    AddWizard wizard;
    std::unique_ptr<ProgressWindow> progressWindow;
    try {
      progressWindow = std::make_unique<ProgressWindow>();
    } catch (const std::exception& e) {
      // Without the encoder nothing can be converted: say why and stop.
      ShowPlainMessage(e.what());
      platform::SetMainDispatcher(nullptr);
      engine::StopDecoding();
      return 1;
    }
    progressWindow->SetMainWindow(&mainWindow);
    ProgramMessageWindow();
    std::unique_ptr<TipsWindow> tipsWindow;
    if (TipIndex < TipsOff) tipsWindow = std::make_unique<TipsWindow>(&mainWindow);
    mainWindow.SetWindows(&wizard, progressWindow.get(), tipsWindow.get());
    mainWindow.show();
    result = QApplication::exec();
  }
  Tasks.Clear();
  platform::SetMainDispatcher(nullptr);
  engine::StopDecoding();
  return result;
}
