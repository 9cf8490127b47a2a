#include "app/info_panel.h"


#include "app/ui_text.h"
#include "platform/paths/path_names.h"
#include "core/display_text.h"
#include "core/interface_texts.h"
#include "core/setting_choices.h"

#include <QLocale>

namespace app {

namespace {

QString Escaped(const std::string& text) { return ToQString(text).toHtmlEscaped(); }
QString Bold(const char* label) { return QStringLiteral("<b>") + UiText(label).toHtmlEscaped() + QStringLiteral("</b>"); }
QString Link(const char* name, const QString& text) {
  return QStringLiteral("<a href=\"") + ToQString(name) + QStringLiteral("\"><u>") + text + QStringLiteral("</u></a>");
}

// "Album artist: Various Artists, Track: 3/12, Disc: 2/3, Composer: …, Cover: PNG, 12 KB" with
// only the parts the task has; empty when it has none.
QString ExtrasLine(const core::ConversionTask& task) {
  QStringList parts;
  const auto add = [&parts](const char* label, const QString& value) {
    if (!value.isEmpty()) parts << UiText(label).toHtmlEscaped() + QStringLiteral(": ") + value.toHtmlEscaped();
  };
  add(lang::AlbumArtistLabel, ToQString(task.albumArtist));
  add(lang::TrackLabel, ToQString(task.track));
  if (task.disc > 0) {
    add(lang::DiscLabel, QString::number(task.disc) +
                             (task.discTotal > 0 ? QStringLiteral("/") + QString::number(task.discTotal) : QString()));
  }
  add(lang::ComposerLabel, ToQString(task.composer));
  if (task.coverBytes > 0) {
    add(lang::CoverLabel, ToQString(core::FormatPicture(task.coverMimeType, task.coverBytes)) +
                              (task.omitCover ? QStringLiteral(" (") + UiText(lang::CoverLeftOut) + QStringLiteral(")")
                                              : QString()));
  }
  if (parts.isEmpty()) return {};
  return Bold(lang::MoreTagsLabel) + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

}  // namespace

QString ChannelModeWord(engine::ChannelMode mode) { return UiText(core::ChannelModeName(mode)); }

TaskInfoLines TaskInfoFor(const core::ConversionTask& task, bool outputExists) {
  TaskInfoLines lines;
  lines.input = Bold(lang::InputFileLabel) + QStringLiteral(": ") + Link("bb", Escaped(task.sourceFile));
  lines.output = Bold(lang::OutputFileLabel) + QStringLiteral(": ") +
                 (outputExists ? Link("dd", Escaped(task.outputFile)) : Escaped(task.outputFile));
  const engine::EncodingSettings& encoding = task.encoding;
  const QString rate = encoding.vbr ? QStringLiteral("%1 - %2 kbps, %3")
                                          .arg(encoding.vbrMinBitrate)
                                          .arg(encoding.vbrMaxBitrate)
                                          .arg(UiText(lang::VariableBitrate))
                                    : QStringLiteral("%1 kbps, %2").arg(encoding.bitrate).arg(UiText(lang::ConstantBitrate));
  lines.settings = Bold(lang::MP3SettingsLabel) + QStringLiteral(": ") + ChannelModeWord(encoding.channelMode).toHtmlEscaped() +
                   QStringLiteral(", ") + rate;
  lines.extras = ExtrasLine(task);
  lines.duration = Bold(lang::DurationLabel) + QStringLiteral(": ") + ToQString(core::FormatDuration(task.duration)) +
                   QStringLiteral(", ") + Bold(lang::OutputFileSizeLabel) + QStringLiteral(": ") +
                   UiText(lang::AboutSize).toHtmlEscaped() + QStringLiteral(" ") + Escaped(core::FormatSize(task.estimatedSize, QLocale().decimalPoint().toStdString()));
  lines.editLink = Link("cc", UiText(lang::EditLink).toHtmlEscaped());
  return lines;
}

QString EmptyListInfo() {
  return QStringLiteral("<a href=\"aa\">") + UiText(lang::AddFilesHint).toHtmlEscaped() + QStringLiteral("</a>");
}

QStringList MediaDialogFilters(const std::vector<std::string>& extensions) {
  QStringList patterns;
  for (const std::string& extension : extensions) patterns << QStringLiteral("*.") + ToQString(extension);
  return {UiText(lang::AllMediaFilesFilter) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(")"),
          UiText(lang::WindowsMediaFilesFilter) + QStringLiteral(" (*.wma *.wmv *.asf)"),
          UiText(lang::AllFilesFilter) + QStringLiteral(" (*)")};
}

}  // namespace app
