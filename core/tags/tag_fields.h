// The tag fields a source carries into its MP3 beyond title, artist, album artist, album, track,
// disc, date, genre, comment and composer: one table that says, for each, the TagLib property
// keys it is read from (every format maps to these keys, so every format maps the same way;
// source_tags.cpp adds what TagLib's property map leaves out of some formats under the same
// keys) and the ID3v2.3 frame it is written to (tag_mapping.cpp), named as the well-known taggers
// and MusicBrainz's own tagger name them. No Qt here.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>

#include "engine/mp3_tags.h"

namespace tags {

enum class TagField {
  Lyrics,
  Publisher,
  Bpm,
  Isrc,
  Grouping,
  Subtitle,
  Conductor,
  Lyricist,
  Remixer,
  OriginalDate,
  Copyright,
  AlbumSort,
  ArtistSort,
  AlbumArtistSort,
  TitleSort,
  ComposerSort,
  Compilation,
  DiscSubtitle,
  Mood,
  Language,
  Media,
  InitialKey,
  Work,
  Artists,  // the track's artists one by one, where "artist" is one text naming them all
  CatalogNumber,
  Barcode,
  Asin,
  Script,
  ReleaseCountry,
  ReleaseStatus,
  ReleaseType,
  MusicBrainzRecordingId,  // MusicBrainz's "track id" in Vorbis comments: the recording
  MusicBrainzReleaseTrackId,
  MusicBrainzReleaseId,
  MusicBrainzArtistId,
  MusicBrainzAlbumArtistId,
  MusicBrainzReleaseGroupId,
  MusicBrainzWorkId,
  MusicBrainzDiscId,
  MusicBrainzOriginalArtistId,
  MusicBrainzOriginalReleaseId,
  AcoustId,
  AcoustIdFingerprint,
};
inline constexpr std::size_t kTagFieldCount = static_cast<std::size_t>(TagField::AcoustIdFingerprint) + 1;

// How a field's text becomes the frame's.
enum class FieldValue {
  Text,         // as it stands
  Number,       // a whole number ("128.4" gives "128"); anything else is not written
  Flag,         // "1", "true" or "yes" give "1"; anything else is not written
};

struct TagFieldInfo {
  TagField field;
  // The property keys, the first one present wins; unused places are null.
  std::array<const char*, 3> keys;
  engine::Id3Frame::Kind kind;  // Text, UserText, Lyrics or UniqueFileId
  // The frame ID (Text), the TXXX description (UserText) or the UFID owner (UniqueFileId).
  const char* target;
  // Whether every value is carried (several artists' identifiers); else only the first.
  bool several;
  FieldValue value;
};

// Every field, in TagField's order.
std::span<const TagFieldInfo, kTagFieldCount> TagFields();
const TagFieldInfo& InfoOf(TagField field);

// Whether a property key is one that TagFields() or the named fields of SourceTags read, or one
// that is never carried (the source's encoder and its settings, ReplayGain and R128 values,
// gapless and normalisation data of other formats, ratings, pictures coded as text): the keys
// that remain are carried as TXXX frames of their own name.
bool IsConsumedKey(const std::string& key);

}  // namespace tags
