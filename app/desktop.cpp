#include "app/desktop.h"

#include <QDesktopServices>

#include "platform/paths/program_dirs.h"


namespace {

std::function<void(const QUrl&)>& Opener() {
  static std::function<void(const QUrl&)> opener;
  return opener;
}

void Open(const QUrl& url) {
  if (Opener()) {
    Opener()(url);
    return;
  }
  QDesktopServices::openUrl(url);
}

}  // namespace

void OpenWithDesktop(const std::string& pathOrAddress) {
  const QString text = QString::fromStdString(pathOrAddress);
  const bool address = text.startsWith(QLatin1String("mailto:")) || text.contains(QLatin1String("://"));
  Open(address ? QUrl(text) : QUrl::fromLocalFile(text));
}

void OpenHelpFile() {
  if (const auto help = platform::FindBesideProgram(HelpFileName)) Open(QUrl::fromLocalFile(QString::fromStdString(*help)));
}

void SetDesktopOpener(std::function<void(const QUrl&)> opener) { Opener() = std::move(opener); }

