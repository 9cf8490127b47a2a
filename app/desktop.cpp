#include "app/desktop.h"

#include <QApplication>
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

void EndForSignal(int signal) {
  // Not quit(): that asks every window to close, and one showing a run or a question refuses.
  QCoreApplication::exit(128 + signal);
}

QIcon ThemeIcon(const char* themeName, QStyle::StandardPixmap fallback) {
  return QIcon::fromTheme(QString::fromLatin1(themeName), QApplication::style()->standardIcon(fallback));
}

QIcon MessageIcon(core::MessageKind kind) {
  switch (kind) {
    case core::MessageKind::Error: return ThemeIcon("dialog-error", QStyle::SP_MessageBoxCritical);
    case core::MessageKind::Information: return ThemeIcon("dialog-information", QStyle::SP_MessageBoxInformation);
    case core::MessageKind::Question: return ThemeIcon("dialog-question", QStyle::SP_MessageBoxQuestion);
    case core::MessageKind::Warning: return ThemeIcon("dialog-warning", QStyle::SP_MessageBoxWarning);
  }
  return ThemeIcon("dialog-information", QStyle::SP_MessageBoxInformation);
}

int MessageIconSize() { return QApplication::style()->pixelMetric(QStyle::PM_MessageBoxIconSize); }

}  // namespace app
