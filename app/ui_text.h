// Texts between the core's UTF-8 strings and Qt's QString, and the interface texts in the
// user's language.
#pragma once

#include <string>

#include <QCoreApplication>
#include <QFile>
#include <QString>

namespace app {

inline QString ToQString(const std::string& text) { return QString::fromStdString(text); }
inline QString ToQString(const char* text) { return QString::fromUtf8(text); }

// A path for the windows, and back: through the file-name coding, so that names that are not
// valid UTF-8 survive the round trip.
inline QString PathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
inline std::string PathOf(const QString& text) { return QFile::encodeName(text).toStdString(); }

// An interface text (core/interface_texts.h) in the user's language.
inline QString UiText(const char* text) { return QCoreApplication::translate("lang", text); }
inline QString UiText(const std::string& text) { return UiText(text.c_str()); }

// The same for the core, which composes its texts (run summaries, failure reasons) through it.
inline std::string TranslatedText(const char* text) { return UiText(text).toStdString(); }

}  // namespace app
