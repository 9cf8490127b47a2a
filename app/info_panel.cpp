#include "app/info_panel.h"

#include <algorithm>
#include <cctype>

#include "app/qt_text.h"
#include "platform/paths/path_names.h"
#include "core/display_text.h"
#include "core/interface_texts.h"

namespace {

QString Escaped(const std::string& text) { return Q(text).toHtmlEscaped(); }
QString Bold(const char* label) { return QStringLiteral("<b>") + Q(label) + QStringLiteral("</b>"); }
QString Link(const char* name, const QString& text) {
  return QStringLiteral("<a href=\"") + Q(name) + QStringLiteral("\"><u>") + text + QStringLiteral("</u></a>");
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// "Album artist: Various Artists, Track: 3/12, Disc: 2/3, Composer: …, Cover: PNG, 12 KB" with
// only the parts the task has; empty when it has none.
QString ExtrasLine(const ConversionTask& task) {
  QStringList parts;
  const auto add = [&parts](const char* label, const QString& value) {
    if (!value.isEmpty()) parts << Q(label) + QStringLiteral(": ") + value.toHtmlEscaped();
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
                              (task.omitCover ? QStringLiteral(" (") + Q(lang::CoverLeftOut) + QStringLiteral(")")
                                              : QString()));
  }
  if (parts.isEmpty()) return {};
  return Bold(lang::MoreTagsLabel) + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

}  // namespace

std::string ChannelModeWord(int mode) {
  static const char* const words[] = {"Dual Channels", "Stero", "Joint Stero", "Mono"};
  return mode >= 0 && mode <= 3 ? words[mode] : "";
}

TaskInfoLines TaskInfoFor(const ConversionTask& task, bool outputExists) {
  TaskInfoLines lines;
  lines.input = Bold(lang::InputFileLabel) + QStringLiteral(": ") + Link("bb", Escaped(task.sourceFile));
  lines.output = Bold(lang::OutputFileLabel) + QStringLiteral(": ") +
                 (outputExists ? Link("dd", Escaped(task.outputFile)) : Escaped(task.outputFile));
  const QString rate = task.vbr ? QStringLiteral("%1 - %2 Kbps, VBR").arg(task.vbrMinBitrate).arg(task.vbrMaxBitrate)
                                : QStringLiteral("%1 Kbps, CBR").arg(task.bitrate);
  lines.settings = Bold(lang::MP3SettingsLabel) + QStringLiteral(": ") + Escaped(ChannelModeWord(task.channelMode)) +
                   QStringLiteral(", ") + rate;
  lines.extras = ExtrasLine(task);
  lines.duration = Bold(lang::DurationLabel) + QStringLiteral(": ") + Q(FormatDuration(task.duration)) +
                   QStringLiteral(", ") + Bold(lang::OutputFileSizeLabel) + QStringLiteral(": about ") +
                   Escaped(FormatSize(task.estimatedSize));
  lines.editLink = Link("cc", Q(lang::EditLink) + QStringLiteral("..."));
  return lines;
}

QString EmptyListInfo() {
  return QStringLiteral("<a href=\"aa\">") + Q(lang::AddFilesHint).toHtmlEscaped() + QStringLiteral("</a>");
}

std::vector<std::string> DropExtensions(const std::string& fileFilter) {
  const std::vector<std::string> parts = SplitAt(fileFilter, '|');
  if (parts.size() < 2) return {};
  std::string patterns = parts[1];
  patterns.erase(std::remove(patterns.begin(), patterns.end(), '*'), patterns.end());
  std::vector<std::string> extensions;
  for (const std::string& extension : SplitAt(patterns, ';'))
    if (!extension.empty()) extensions.push_back(extension);
  return extensions;
}

std::vector<std::string> AcceptedDrops(const std::vector<std::string>& paths,
                                       const std::vector<std::string>& extensions) {
  std::vector<std::string> accepted;
  for (const std::string& path : paths) {
    if (!platform::FileExists(path)) continue;  // folders (and vanished files) are not dropped files
    const std::string extension = Lower(platform::ExtensionOf(path));
    const bool listed = std::any_of(extensions.begin(), extensions.end(),
                                    [&](const std::string& e) { return Lower(e) == extension; });
    if (listed) accepted.push_back(path);
  }
  return accepted;
}

QStringList DialogNameFilters(const std::string& fileFilter) {
  const std::vector<std::string> parts = SplitAt(fileFilter, '|');
  QStringList filters;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = Q(parts[i + 1]);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << Q(parts[i]) + QStringLiteral(" (") + patterns + QStringLiteral(")");
  }
  filters << QStringLiteral("All Files (*)");
  return filters;
}
