#include "core/tags/tag_summary.h"

#include <algorithm>
#include <map>

namespace tags {

namespace {

// The summary's key of each field of tag_fields.h; the fields without one of their own count as
// "other".
MoreTag KeyOf(TagField field) {
  switch (field) {
    case TagField::Lyrics: return MoreTag::Lyrics;
    case TagField::Publisher: return MoreTag::Publisher;
    case TagField::Bpm: return MoreTag::Bpm;
    case TagField::Isrc: return MoreTag::Isrc;
    case TagField::Grouping: return MoreTag::Grouping;
    case TagField::Subtitle: return MoreTag::Subtitle;
    case TagField::Conductor: return MoreTag::Conductor;
    case TagField::Lyricist: return MoreTag::Lyricist;
    case TagField::Remixer: return MoreTag::Remixer;
    case TagField::OriginalDate: return MoreTag::OriginalYear;
    case TagField::Copyright: return MoreTag::Copyright;
    case TagField::AlbumSort:
    case TagField::ArtistSort:
    case TagField::AlbumArtistSort:
    case TagField::TitleSort:
    case TagField::ComposerSort: return MoreTag::SortOrders;
    case TagField::Compilation: return MoreTag::Compilation;
    case TagField::MusicBrainzRecordingId:
    case TagField::MusicBrainzReleaseTrackId:
    case TagField::MusicBrainzReleaseId:
    case TagField::MusicBrainzArtistId:
    case TagField::MusicBrainzAlbumArtistId:
    case TagField::MusicBrainzReleaseGroupId:
    case TagField::MusicBrainzWorkId:
    case TagField::MusicBrainzDiscId:
    case TagField::MusicBrainzOriginalArtistId:
    case TagField::MusicBrainzOriginalReleaseId:
    case TagField::AcoustId:
    case TagField::AcoustIdFingerprint: return MoreTag::MusicBrainzIds;
    default: return MoreTag::Other;
  }
}

}  // namespace

std::vector<MoreTagCount> SummarizeMoreTags(const SourceTags& source) {
  std::map<MoreTag, int> counts;
  const auto several = [&counts](MoreTag tag, std::size_t values) {
    if (values > 1) counts[tag] = static_cast<int>(values);
  };
  several(MoreTag::Artists, source.artists.size());
  several(MoreTag::AlbumArtists, source.albumArtists.size());
  several(MoreTag::Composers, source.composers.size());
  several(MoreTag::Genres, source.genres.size());
  for (const TagFieldInfo& info : TagFields()) {
    if (!source.Values(info.field).empty()) ++counts[KeyOf(info.field)];
  }
  if (source.rating > 0) counts[MoreTag::Rating] = source.rating;
  // The front cover is shown on its own; the others are "more".
  const std::size_t shown = source.cover.empty() ? 0 : 1;
  if (source.pictures.size() > shown) counts[MoreTag::Pictures] = static_cast<int>(source.pictures.size() - shown);
  if (!source.others.empty()) counts[MoreTag::Other] += static_cast<int>(source.others.size());

  std::vector<MoreTagCount> out;
  for (const auto& [tag, count] : counts) {
    // A single field counts once, whatever it is ("lyrics", "publisher").
    const bool counted = tag == MoreTag::Artists || tag == MoreTag::AlbumArtists || tag == MoreTag::Composers ||
                         tag == MoreTag::Genres || tag == MoreTag::Rating || tag == MoreTag::SortOrders ||
                         tag == MoreTag::MusicBrainzIds || tag == MoreTag::Pictures || tag == MoreTag::Other;
    out.push_back({tag, counted ? count : 1});
  }
  return out;
}

}  // namespace tags
