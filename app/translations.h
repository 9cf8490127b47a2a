// The program in the user's language: its own texts (translations/tavisto_<language>.ts, built
// into the program) and Qt's (the file dialogs, the standard buttons) from Qt's translations.
//
// Thread: the user-interface thread, at start-up.
#pragma once

#include <QLocale>

class QCoreApplication;

namespace app {

// Installs the translators for `locale` into `application` (English needs none). Returns whether
// the program has a translation for the locale's language.
bool InstallTranslations(QCoreApplication& application, const QLocale& locale = QLocale());

}  // namespace app
