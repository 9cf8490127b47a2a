#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace app {

bool InstallTranslations(QCoreApplication& application, const QLocale& locale) {
  // Qt's own texts; a missing file leaves them English.
  auto* qt = new QTranslator(&application);
  if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qt);
  } else {
    delete qt;
  }
  auto* own = new QTranslator(&application);
  const bool found = own->load(locale, QStringLiteral("tavisto"), QStringLiteral("_"), QStringLiteral(":/tavisto/translations"));
  if (found) {
    QCoreApplication::installTranslator(own);
  } else {
    delete own;
  }
  return found;
}

}  // namespace app
