// Texts between the core's UTF-8 strings and Qt's QString, the interface texts in the user's
// language, and numbers, sizes and durations written as the user's locale writes them (QLocale:
// "0,71 MB" and "0:03:25,9" on a German desktop).
#pragma once

#include <cstdint>
#include <string>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
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

// A whole number as the user's locale writes it ("12.345" in German); the core's NumberFormat.
inline QString NumberText(std::int64_t number) { return QLocale().toString(static_cast<qlonglong>(number)); }
inline std::string LocaleNumber(std::int64_t number) { return NumberText(number).toStdString(); }

// An interface text with its "%1" replaced by a number in the user's format: "3 converted".
inline QString CountText(const char* text, std::int64_t count) { return UiText(text).arg(NumberText(count)); }

// A size in kilobytes as megabytes with two decimals: "2.90 MB", "2,90 MB".
QString SizeText(std::int64_t kilobytes);

// A bit rate with its unit in the user's language: "128 kbps", "128 kbit/s".
QString BitrateText(std::int32_t kbps);

// A duration (100-ns units) as H:mm:ss with tenths, with the user's decimal separator:
// "0:03:25.9", "0:03:25,9".
QString DurationText(std::int64_t duration);

// A picture's type and size: "JPEG, 18 KB" (kilobytes rounded up, in the user's format).
QString PictureText(const std::string& mimeType, std::int64_t bytes);

}  // namespace app
