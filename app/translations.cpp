#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "core/translation.h"

namespace {

// For the core: a text of the context every interface text has.
std::string TranslateInterfaceText(const char* text) {
  return QCoreApplication::translate("lang", text).toStdString();
}

}  // namespace

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
  SetTextTranslator(&TranslateInterfaceText);
  return found;
}
