#include "core/tags/tag_fields.h"

#include <algorithm>
#include <string_view>

namespace tags {

namespace {

using Kind = engine::Id3Frame::Kind;
using F = TagField;
using V = FieldValue;

// ID3v2.3 frames where ID3v2.3 has one; the TXXX names and the UFID owner MusicBrainz's own
// tagger writes where it has none. TMOO and TSST are ID3v2.4's, which readers of ID3v2.3 tags
// take as well.
constexpr TagFieldInfo kFields[] = {
    {F::Lyrics, {"LYRICS", "UNSYNCEDLYRICS", "UNSYNCED LYRICS"}, Kind::Lyrics, "USLT", false, V::Text},
    {F::Publisher, {"LABEL", "PUBLISHER", "ORGANIZATION"}, Kind::Text, "TPUB", true, V::Text},
    {F::Bpm, {"BPM"}, Kind::Text, "TBPM", false, V::Number},
    {F::Isrc, {"ISRC"}, Kind::Text, "TSRC", false, V::Text},
    {F::Grouping, {"GROUPING", "CONTENTGROUP"}, Kind::Text, "TIT1", false, V::Text},
    {F::Subtitle, {"SUBTITLE"}, Kind::Text, "TIT3", false, V::Text},
    {F::Conductor, {"CONDUCTOR"}, Kind::Text, "TPE3", true, V::Text},
    {F::Lyricist, {"LYRICIST"}, Kind::Text, "TEXT", true, V::Text},
    {F::Remixer, {"REMIXER", "MIXARTIST"}, Kind::Text, "TPE4", true, V::Text},
    {F::OriginalDate, {"ORIGINALDATE", "ORIGINALYEAR"}, Kind::Text, "TORY", false, V::Text},
    {F::Copyright, {"COPYRIGHT"}, Kind::Text, "TCOP", false, V::Text},
    {F::AlbumSort, {"ALBUMSORT"}, Kind::Text, "TSOA", false, V::Text},
    {F::ArtistSort, {"ARTISTSORT"}, Kind::Text, "TSOP", false, V::Text},
    {F::AlbumArtistSort, {"ALBUMARTISTSORT"}, Kind::Text, "TSO2", false, V::Text},
    {F::TitleSort, {"TITLESORT"}, Kind::Text, "TSOT", false, V::Text},
    {F::ComposerSort, {"COMPOSERSORT"}, Kind::Text, "TSOC", false, V::Text},
    {F::Compilation, {"COMPILATION"}, Kind::Text, "TCMP", false, V::Flag},
    {F::DiscSubtitle, {"DISCSUBTITLE"}, Kind::Text, "TSST", false, V::Text},
    {F::Mood, {"MOOD"}, Kind::Text, "TMOO", true, V::Text},
    {F::Language, {"LANGUAGE"}, Kind::Text, "TLAN", true, V::Text},
    {F::Media, {"MEDIA"}, Kind::Text, "TMED", false, V::Text},
    {F::InitialKey, {"INITIALKEY", "KEY"}, Kind::Text, "TKEY", false, V::Text},
    {F::Work, {"WORK"}, Kind::UserText, "WORK", false, V::Text},
    {F::Artists, {"ARTISTS"}, Kind::UserText, "ARTISTS", true, V::Text},
    {F::CatalogNumber, {"CATALOGNUMBER"}, Kind::UserText, "CATALOGNUMBER", true, V::Text},
    {F::Barcode, {"BARCODE", "UPC", "EAN"}, Kind::UserText, "BARCODE", true, V::Text},
    {F::Asin, {"ASIN"}, Kind::UserText, "ASIN", false, V::Text},
    {F::Script, {"SCRIPT"}, Kind::UserText, "SCRIPT", false, V::Text},
    {F::ReleaseCountry, {"RELEASECOUNTRY"}, Kind::UserText, "MusicBrainz Album Release Country", false, V::Text},
    {F::ReleaseStatus, {"RELEASESTATUS"}, Kind::UserText, "MusicBrainz Album Status", false, V::Text},
    {F::ReleaseType, {"RELEASETYPE"}, Kind::UserText, "MusicBrainz Album Type", true, V::Text},
    {F::MusicBrainzRecordingId, {"MUSICBRAINZ_TRACKID"}, Kind::UniqueFileId, "http://musicbrainz.org", false, V::Text},
    {F::MusicBrainzReleaseTrackId, {"MUSICBRAINZ_RELEASETRACKID"}, Kind::UserText, "MusicBrainz Release Track Id", false, V::Text},
    {F::MusicBrainzReleaseId, {"MUSICBRAINZ_ALBUMID"}, Kind::UserText, "MusicBrainz Album Id", false, V::Text},
    {F::MusicBrainzArtistId, {"MUSICBRAINZ_ARTISTID"}, Kind::UserText, "MusicBrainz Artist Id", true, V::Text},
    {F::MusicBrainzAlbumArtistId, {"MUSICBRAINZ_ALBUMARTISTID"}, Kind::UserText, "MusicBrainz Album Artist Id", true, V::Text},
    {F::MusicBrainzReleaseGroupId, {"MUSICBRAINZ_RELEASEGROUPID"}, Kind::UserText, "MusicBrainz Release Group Id", false, V::Text},
    {F::MusicBrainzWorkId, {"MUSICBRAINZ_WORKID"}, Kind::UserText, "MusicBrainz Work Id", true, V::Text},
    {F::MusicBrainzDiscId, {"MUSICBRAINZ_DISCID"}, Kind::UserText, "MusicBrainz Disc Id", false, V::Text},
    {F::MusicBrainzOriginalArtistId, {"MUSICBRAINZ_ORIGINALARTISTID"}, Kind::UserText, "MusicBrainz Original Artist Id", true, V::Text},
    {F::MusicBrainzOriginalReleaseId, {"MUSICBRAINZ_ORIGINALALBUMID"}, Kind::UserText, "MusicBrainz Original Album Id", false, V::Text},
    {F::AcoustId, {"ACOUSTID_ID"}, Kind::UserText, "Acoustid Id", false, V::Text},
    {F::AcoustIdFingerprint, {"ACOUSTID_FINGERPRINT"}, Kind::UserText, "Acoustid Fingerprint", false, V::Text},
};

static_assert(std::size(kFields) == kTagFieldCount);

constexpr bool InTableOrder() {
  for (std::size_t i = 0; i < std::size(kFields); ++i) {
    if (static_cast<std::size_t>(kFields[i].field) != i) return false;
  }
  return true;
}
static_assert(InTableOrder(), "kFields lists the fields in TagField's order");

// The keys SourceTags' own fields read.
constexpr std::string_view kNamedKeys[] = {
    "TITLE", "ARTIST", "ALBUMARTIST", "ALBUM", "TRACKNUMBER", "TRACKTOTAL", "TOTALTRACKS", "DISCNUMBER",
    "DISCTOTAL", "TOTALDISCS", "DATE", "YEAR", "GENRE", "COMMENT", "DESCRIPTION", "COMPOSER",
};

// What belongs to the source's file rather than to the music: its encoder, loudness and gapless
// data measured for other audio, ratings (read on their own), pictures coded as text.
constexpr std::string_view kNeverCarried[] = {
    "RATING", "METADATA_BLOCK_PICTURE", "COVERART", "COVERARTMIME", "LENGTH", "WAVEFORMATEXTENSIBLE_CHANNEL_MASK",
};
constexpr std::string_view kNeverCarriedPrefixes[] = {"ENCOD", "REPLAYGAIN_", "R128_", "ITUN", "FMPS_"};

}  // namespace

std::span<const TagFieldInfo, kTagFieldCount> TagFields() { return std::span<const TagFieldInfo, kTagFieldCount>(kFields); }

const TagFieldInfo& InfoOf(TagField field) { return kFields[static_cast<std::size_t>(field)]; }

bool IsConsumedKey(const std::string& key) {
  if (std::find(std::begin(kNamedKeys), std::end(kNamedKeys), key) != std::end(kNamedKeys)) return true;
  if (std::find(std::begin(kNeverCarried), std::end(kNeverCarried), key) != std::end(kNeverCarried)) return true;
  for (std::string_view prefix : kNeverCarriedPrefixes) {
    if (key.compare(0, prefix.size(), prefix) == 0) return true;
  }
  for (const TagFieldInfo& info : kFields) {
    for (const char* known : info.keys) {
      if (known != nullptr && key == known) return true;
    }
  }
  return false;
}

}  // namespace tags
