// Tavisto's start-up: checks that media files can be decoded, fills the program-wide values,
// loads the settings, creates the windows in their order and runs the event loop until the main
// window closes.
#include <QApplication>
#include <QMessageBox>

#include "app/add.h"
#include "app/common.h"
#include "app/main.h"
#include "app/product.h"
#include "app/settings.h"
#include "app/tips.h"
#include "engine/ACS_DX9.h"
#include "engine/msgbox.h"
#include "engine/progress.h"
#include "engine/qt_dispatcher.h"
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

  if (const auto problem = engine::StartDecoding()) {
    ShowPlainMessage(*problem);
    return 0;
  }
  ProgramFolder = platform::RunningProgramFolder();
  LoadSettings();
  engine::QtDispatcher dispatcher;
  platform::SetMainDispatcher(&dispatcher);

  int result = 1;
  {
    TmainFrm mainFrm;
    TaddFrm addFrm;
    std::unique_ptr<engine::TprgFrm> prgFrm;
    try {
      prgFrm = std::make_unique<engine::TprgFrm>();
    } catch (const std::exception& e) {
      // Without the encoder nothing can be converted: say why and stop.
      ShowPlainMessage(e.what());
      platform::SetMainDispatcher(nullptr);
      engine::StopDecoding();
      return 1;
    }
    prgFrm->SetMainWindow(&mainFrm);
    engine::MessageWindow();
    std::unique_ptr<TTipsFrm> tipsFrm;
    if (tips < TipsOff) tipsFrm = std::make_unique<TTipsFrm>(&mainFrm);
    mainFrm.SetWindows(&addFrm, prgFrm.get(), tipsFrm.get());
    mainFrm.show();
    result = QApplication::exec();
  }
  Tasks.Clear();
  platform::SetMainDispatcher(nullptr);
  engine::StopDecoding();
  return result;
}
