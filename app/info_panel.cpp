#include "app/info_panel.h"


#include "app/qt_text.h"
#include "platform/paths/path_names.h"
#include "core/display_text.h"
#include "core/interface_texts.h"
#include "core/setting_choices.h"

namespace {

QString Escaped(const std::string& text) { return Q(text).toHtmlEscaped(); }
QString Bold(const char* label) { return QStringLiteral("<b>") + T(label).toHtmlEscaped() + QStringLiteral("</b>"); }
QString Link(const char* name, const QString& text) {
  return QStringLiteral("<a href=\"") + Q(name) + QStringLiteral("\"><u>") + text + QStringLiteral("</u></a>");
}

// "Album artist: Various Artists, Track: 3/12, Disc: 2/3, Composer: …, Cover: PNG, 12 KB" with
// only the parts the task has; empty when it has none.
QString ExtrasLine(const ConversionTask& task) {
  QStringList parts;
  const auto add = [&parts](const char* label, const QString& value) {
    if (!value.isEmpty()) parts << T(label).toHtmlEscaped() + QStringLiteral(": ") + value.toHtmlEscaped();
  };
  add(lang::AlbumArtistLabel, Q(task.albumArtist));
  add(lang::TrackLabel, Q(task.track));
  if (task.disc > 0) {
    add(lang::DiscLabel, QString::number(task.disc) +
                             (task.discTotal > 0 ? QStringLiteral("/") + QString::number(task.discTotal) : QString()));
  }
  add(lang::ComposerLabel, Q(task.composer));
  if (task.coverBytes > 0) {
    add(lang::CoverLabel, Q(FormatPicture(task.coverMimeType, task.coverBytes)) +
                              (task.omitCover ? QStringLiteral(" (") + T(lang::CoverLeftOut) + QStringLiteral(")")
                                              : QString()));
  }
  if (parts.isEmpty()) return {};
  return Bold(lang::MoreTagsLabel) + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

}  // namespace

QString ChannelModeWord(int mode) {
  const std::vector<std::string> words = ChannelModeItems();
  return mode >= 0 && mode < static_cast<int>(words.size()) ? T(words[static_cast<std::size_t>(mode)]) : QString();
}

TaskInfoLines TaskInfoFor(const ConversionTask& task, bool outputExists) {
  TaskInfoLines lines;
  lines.input = Bold(lang::InputFileLabel) + QStringLiteral(": ") + Link("bb", Escaped(task.sourceFile));
  lines.output = Bold(lang::OutputFileLabel) + QStringLiteral(": ") +
                 (outputExists ? Link("dd", Escaped(task.outputFile)) : Escaped(task.outputFile));
  const QString rate = task.vbr ? QStringLiteral("%1 - %2 kbps, %3").arg(task.vbrMinBitrate).arg(task.vbrMaxBitrate).arg(T(lang::VariableBitrate))
                                : QStringLiteral("%1 kbps, %2").arg(task.bitrate).arg(T(lang::ConstantBitrate));
  lines.settings = Bold(lang::MP3SettingsLabel) + QStringLiteral(": ") + ChannelModeWord(task.channelMode).toHtmlEscaped() +
                   QStringLiteral(", ") + rate;
  lines.extras = ExtrasLine(task);
  lines.duration = Bold(lang::DurationLabel) + QStringLiteral(": ") + Q(FormatDuration(task.duration)) +
                   QStringLiteral(", ") + Bold(lang::OutputFileSizeLabel) + QStringLiteral(": ") +
                   T(lang::AboutSize).toHtmlEscaped() + QStringLiteral(" ") + Escaped(FormatSize(task.estimatedSize));
  lines.editLink = Link("cc", T(lang::EditLink).toHtmlEscaped());
  return lines;
}

QString EmptyListInfo() {
  return QStringLiteral("<a href=\"aa\">") + T(lang::AddFilesHint).toHtmlEscaped() + QStringLiteral("</a>");
}

QStringList MediaDialogFilters(const std::vector<std::string>& extensions) {
  QStringList patterns;
  for (const std::string& extension : extensions) patterns << QStringLiteral("*.") + Q(extension);
  return {T(lang::AllMediaFilesFilter) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(")"),
          T(lang::WindowsMediaFilesFilter) + QStringLiteral(" (*.wma *.wmv *.asf)"),
          T(lang::AllFilesFilter) + QStringLiteral(" (*)")};
}
