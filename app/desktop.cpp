#include "app/desktop.h"

#include <QDesktopServices>

#include "platform/paths/program_dirs.h"

namespace app {

void Desktop::OpenUrl(const QUrl& url) const {
  if (opener_) {
    opener_(url);
    return;
  }
  QDesktopServices::openUrl(url);
}

void Desktop::Open(const std::string& pathOrAddress) const {
  const QString text = QString::fromStdString(pathOrAddress);
  const bool address = text.startsWith(QLatin1String("mailto:")) || text.contains(QLatin1String("://"));
  OpenUrl(address ? QUrl(text) : QUrl::fromLocalFile(text));
}

void Desktop::OpenHelp() const {
  if (const auto help = platform::FindBesideProgram(kHelpFileName))
    OpenUrl(QUrl::fromLocalFile(QString::fromStdString(*help)));
}

}  // namespace app
