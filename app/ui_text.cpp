#include "app/ui_text.h"

#include <algorithm>

#include "core/display_text.h"
#include "core/interface_texts.h"

namespace app {

QString SizeText(std::int64_t kilobytes) {
  return QLocale().toString(static_cast<double>(std::max<std::int64_t>(kilobytes, 0)) / 1024.0, 'f', 2) +
         QStringLiteral(" MB");
}

QString BitrateText(std::int32_t kbps) {
  // A rate is a code more than a quantity: never grouped, as the lists offer it.
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale.toString(kbps) + QLatin1Char(' ') + UiText(lang::KbpsUnit);
}

QString DurationText(std::int64_t duration) {
  // The core writes the tenths after a point; only the separator is the locale's.
  QString text = ToQString(core::FormatDuration(duration));
  if (const qsizetype point = text.lastIndexOf(QLatin1Char('.')); point >= 0) text.replace(point, 1, QLocale().decimalPoint());
  return text;
}

QString PictureText(const std::string& mimeType, std::int64_t bytes) {
  const QString type = ToQString(mimeType.substr(mimeType.rfind('/') + 1)).toUpper();  // "image/png" reads "PNG"
  const QString size = NumberText((std::max<std::int64_t>(bytes, 0) + 1023) / 1024) + QStringLiteral(" KB");
  return type.isEmpty() ? size : type + QStringLiteral(", ") + size;
}

}  // namespace app
