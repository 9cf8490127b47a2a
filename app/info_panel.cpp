#include "app/info_panel.h"

#include <algorithm>

#include <QLabel>

#include "app/accessibility.h"
#include "app/ui_text.h"
#include "core/interface_texts.h"
#include "core/setting_choices.h"

namespace app {

namespace {

// The stars of a rating of `count` out of five: "★★★★☆".
constexpr int kMostStars = 5;

QString Escaped(const std::string& text) { return ToQString(text).toHtmlEscaped(); }
QString Bold(const char* label) { return QStringLiteral("<b>") + UiText(label).toHtmlEscaped() + QStringLiteral("</b>"); }
QString Link(const char* name, const QString& text) {
  return QStringLiteral("<a href=\"") + ToQString(name) + QStringLiteral("\"><u>") + text + QStringLiteral("</u></a>");
}

// "More tags: Album artist: Various Artists, Track: 3/12, Disc: 2/3, Composer: …, Cover: PNG,
// 12 KB, lyrics, 2 composers" with only the parts the task has; empty when it has none.
QString ExtrasLine(const core::ConversionTask& task) {
  QStringList parts;
  const auto add = [&parts](const char* label, const QString& value) {
    if (!value.isEmpty()) parts << UiText(label).toHtmlEscaped() + QStringLiteral(": ") + value.toHtmlEscaped();
  };
  add(lang::AlbumArtistLabel, ToQString(task.albumArtist));
  add(lang::TrackLabel, ToQString(task.track));
  if (task.disc > 0) {
    add(lang::DiscLabel, NumberText(task.disc) + (task.discTotal > 0 ? QStringLiteral("/") + NumberText(task.discTotal) : QString()));
  }
  add(lang::ComposerLabel, ToQString(task.composer));
  if (task.coverBytes > 0) {
    add(lang::CoverLabel, PictureText(task.coverMimeType, task.coverBytes) +
                              (task.omitCover ? QStringLiteral(" (") + UiText(lang::CoverLeftOut) + QStringLiteral(")")
                                              : QString()));
  }
  if (const QString more = MoreTagsText(task.moreTags); !more.isEmpty()) parts << more.toHtmlEscaped();
  if (parts.isEmpty()) return {};
  return Bold(lang::MoreTagsLabel) + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

// One part of the summary of more tags.
QString MoreTagText(const tags::MoreTagCount& tag) {
  const auto counted = [&tag](const char* one, const char* many) {
    return tag.count == 1 && one != nullptr ? UiText(one) : CountText(many, tag.count);
  };
  switch (tag.tag) {
    case tags::MoreTag::Artists: return counted(nullptr, lang::MoreArtists);
    case tags::MoreTag::AlbumArtists: return counted(nullptr, lang::MoreAlbumArtists);
    case tags::MoreTag::Composers: return counted(nullptr, lang::MoreComposers);
    case tags::MoreTag::Genres: return counted(nullptr, lang::MoreGenres);
    case tags::MoreTag::Lyrics: return UiText(lang::MoreLyrics);
    case tags::MoreTag::Rating: {
      const int stars = std::clamp(tag.count, 0, kMostStars);
      return UiText(lang::MoreRating).arg(QString(stars, QChar(0x2605)) + QString(kMostStars - stars, QChar(0x2606)));
    }
    case tags::MoreTag::Publisher: return UiText(lang::MorePublisher);
    case tags::MoreTag::Bpm: return UiText(lang::MoreBpm);
    case tags::MoreTag::Isrc: return UiText(lang::MoreIsrc);
    case tags::MoreTag::Grouping: return UiText(lang::MoreGrouping);
    case tags::MoreTag::Subtitle: return UiText(lang::MoreSubtitle);
    case tags::MoreTag::Conductor: return UiText(lang::MoreConductor);
    case tags::MoreTag::Lyricist: return UiText(lang::MoreLyricist);
    case tags::MoreTag::Remixer: return UiText(lang::MoreRemixer);
    case tags::MoreTag::OriginalYear: return UiText(lang::MoreOriginalYear);
    case tags::MoreTag::Copyright: return UiText(lang::MoreCopyright);
    case tags::MoreTag::SortOrders: return UiText(lang::MoreSortOrders);
    case tags::MoreTag::Compilation: return UiText(lang::MoreCompilation);
    case tags::MoreTag::MusicBrainzIds: return UiText(lang::MoreMusicBrainz);
    case tags::MoreTag::Pictures: return counted(lang::MoreOnePicture, lang::MorePictures);
    case tags::MoreTag::Other: return counted(lang::MoreOneOther, lang::MoreOthers);
  }
  return {};
}

}  // namespace

QString ChannelModeWord(engine::ChannelMode mode) { return UiText(core::ChannelModeName(mode)); }

QString MoreTagsText(const std::vector<tags::MoreTagCount>& moreTags) {
  QStringList parts;
  for (const tags::MoreTagCount& tag : moreTags) {
    if (const QString part = MoreTagText(tag); !part.isEmpty()) parts << part;
  }
  return parts.join(QStringLiteral(", "));
}

TaskInfoLines TaskInfoFor(const core::ConversionTask& task, bool outputExists) {
  TaskInfoLines lines;
  lines.input = Bold(lang::InputFileLabel) + QStringLiteral(": ") + Link("bb", Escaped(task.sourceFile));
  lines.output = Bold(lang::OutputFileLabel) + QStringLiteral(": ") +
                 (outputExists ? Link("dd", Escaped(task.outputFile)) : Escaped(task.outputFile));
  const engine::EncodingSettings& encoding = task.encoding;
  const QString rate = encoding.vbr ? NumberText(encoding.vbrMinBitrate) + QStringLiteral(" – ") +
                                          BitrateText(encoding.vbrMaxBitrate) + QStringLiteral(", ") +
                                          UiText(lang::VariableBitrate)
                                    : BitrateText(encoding.bitrate) + QStringLiteral(", ") + UiText(lang::ConstantBitrate);
  lines.settings = Bold(lang::MP3SettingsLabel) + QStringLiteral(": ") + ChannelModeWord(encoding.channelMode).toHtmlEscaped() +
                   QStringLiteral(", ") + rate.toHtmlEscaped();
  lines.extras = ExtrasLine(task);
  lines.duration = Bold(lang::DurationLabel) + QStringLiteral(": ") + DurationText(task.duration) + QStringLiteral(", ") +
                   Bold(lang::OutputFileSizeLabel) + QStringLiteral(": ") + UiText(lang::AboutSize).toHtmlEscaped() +
                   QStringLiteral(" ") + SizeText(task.estimatedSize).toHtmlEscaped();
  lines.editLink = Link("cc", UiText(lang::InfoEditLink).toHtmlEscaped());
  return lines;
}

QString EmptyListInfo() {
  return QStringLiteral("<a href=\"aa\">") + UiText(lang::AddFilesHint).toHtmlEscaped() + QStringLiteral("</a>");
}

void ShowInfoLine(QLabel* label, const QString& line) {
  ExposeLinks(label);
  label->setText(line);
}

QStringList MediaDialogFilters(const std::vector<std::string>& extensions) {
  QStringList patterns;
  for (const std::string& extension : extensions) patterns << QStringLiteral("*.") + ToQString(extension);
  return {UiText(lang::AllMediaFilesFilter) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(")"),
          UiText(lang::WindowsMediaFilesFilter) + QStringLiteral(" (*.wma *.wmv *.asf)"),
          UiText(lang::AllFilesFilter) + QStringLiteral(" (*)")};
}

}  // namespace app
