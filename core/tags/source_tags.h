// The tags of a source file, read with TagLib from every format it knows: ID3v2 and ID3v1 (MP3,
// and the ID3 chunk of WAV and AIFF), ASF (WMA, WMV), MP4 (M4A), FLAC, Ogg Vorbis, Opus, Speex
// and Ogg FLAC comments, APEv2 (WavPack, Monkey's Audio, Musepack) and RIFF INFO. No Qt here.
//
// Everything is read through TagLib's property map, whose keys are the same for every format,
// plus what that map leaves out of some formats, added under the same keys before any field is
// taken from it: ASF's further Author attributes (more artists), WM/IsCompilation,
// WM/SharedUserRating, MusicBrainz/Disc Id and the other MusicBrainz attributes TagLib does not
// name; MP4's ----:com.apple.iTunes:NAME atoms TagLib does not name (as NAME, MusicBrainz's names
// as their Vorbis keys); ID3v2's POPM (the rating). TagLib names ID3v2's TIT1 and ASF's
// WM/ContentGroupDescription "WORK"; here they are the grouping, as in every other format.
//
// The named fields and the TagLib property keys they come from (TagLib maps each format's own
// keys to these names; the format's key is given where it differs):
//   title         TITLE          ID3v2 TIT2, ASF Title, MP4 ©nam, RIFF INAM
//   artist        ARTIST         ID3v2 TPE1, ASF Author, MP4 ©ART, RIFF IART
//   albumArtist  ALBUMARTIST    ID3v2 TPE2, ASF WM/AlbumArtist, MP4 aART, APE "Album Artist";
//                                also the comment keys "ALBUM ARTIST" and "ALBUM_ARTIST"
//   album         ALBUM          ID3v2 TALB, ASF WM/AlbumTitle, MP4 ©alb, RIFF IPRD
//   track/total   TRACKNUMBER    "3" or "3/12": ID3v2 TRCK, ASF WM/TrackNumber, MP4 trkn,
//                                APE Track; totals also from TRACKTOTAL or TOTALTRACKS; ASF's
//                                zero-based WM/Track when WM/TrackNumber is absent
//   disc/total    DISCNUMBER     ID3v2 TPOS, ASF WM/PartOfSet, MP4 disk, APE Disc; totals also
//                                from DISCTOTAL or TOTALDISCS
//   date          DATE           ID3v2 TDRC (TYER in ID3v2.3), ASF WM/Year, MP4 ©day, APE Year,
//                                RIFF ICRD; YEAR when DATE is absent
//   genre         GENRE          ID3v2 TCON, ASF WM/Genre, MP4 ©gen or gnre, RIFF IGNR
//   comment       COMMENT        ID3v2 COMM, MP4 ©cmt, RIFF ICMT; the comment key DESCRIPTION
//                                when COMMENT is absent; ASF Description
//   composer      COMPOSER       ID3v2 TCOM, ASF WM/Composer, MP4 ©wrt
// Fields with several values (an ID3v2.4 frame or a comment key given twice) keep the first
// value, except artist, album artist, composer and genre, whose values are joined with "; " (and
// kept one by one in artists, albumArtists, composers and genres). Every other field a source
// holds is read by the table of tag_fields.h; what that table does not name either is kept in
// `others` under its key.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/tags/tag_fields.h"
#include "engine/mp3_tags.h"

namespace tags {

using engine::CoverPicture;

struct SourceTags {
  // Valid UTF-8, without NUL characters or surrounding white space; empty when absent.
  std::string title, artist, albumArtist, album;
  std::string date;   // the source's own text: "2004", "2004-05-12", ...
  std::string genre;  // a name: ID3v1 genre numbers and "(17)" references are resolved
  std::string comment, composer;
  int track = 0, trackTotal = 0, disc = 0, discTotal = 0;  // 0 when absent
  // The front cover when the source tells picture types apart, else its first picture; empty
  // when the source holds none of at most engine::kMaxPictureBytes. Sources that name no MIME
  // type (MP4 without a known format, APEv2) get one from the image's first bytes.
  CoverPicture cover;

  // Every distinct value of the fields that hold several, in the source's order (for ASF, the
  // order of the file's header objects); the texts above join them with "; ".
  std::vector<std::string> artists, albumArtists, composers, genres;
  // Every other field of tag_fields.h: its values as the source holds them (valid UTF-8, trimmed,
  // none empty), none where it is absent.
  std::array<std::vector<std::string>, kTagFieldCount> more;
  // The rating in stars, 1 … 5; 0 when the source has none. Read from ASF's WM/SharedUserRating
  // (1, 25, 50, 75, 99), an ID3v2 POPM (1 … 255; the desktop media player's own first), a
  // FMPS_RATING (0.0 … 1.0) or a RATING (1 … 5, or 0 … 100).
  int rating = 0;
  // Whether the source holds ReplayGain (or R128) values: they describe the source's loudness
  // and are measured anew for the MP3, never copied.
  bool hadReplayGain = false;
  // Every embedded picture that is a real image (JPEG, PNG, GIF, BMP, WebP or TIFF by its first
  // bytes, whatever type it claims), with its ID3v2 picture type (MP4's first picture is the front
  // cover, its others 0, "other") and description, in the order the tags list them; at most
  // engine::kMaxPictureBytes each.
  std::vector<engine::TagPicture> pictures;
  // Fields neither the named ones nor tag_fields.h name: the property key (upper case, as TagLib
  // gives it) and every value, in key order.
  std::vector<std::pair<std::string, std::vector<std::string>>> others;

  // What was left out, for a warning: a picture over engine::kMaxPictureBytes, a text over
  // engine::kMaxTagTextBytes.
  struct LeftOut {
    enum class Kind { Picture, Text };
    Kind kind;
    std::string what;  // the property key of a text, "picture" and its type number for a picture
    std::size_t bytes;
  };
  std::vector<LeftOut> leftOut;

  const std::vector<std::string>& Values(TagField field) const { return more[static_cast<std::size_t>(field)]; }
  // The first value of `field`, "" when it has none.
  std::string Value(TagField field) const { return Values(field).empty() ? std::string() : Values(field).front(); }
};

// Reads the tags of the file at `path` (UTF-8). Only regular files are opened (a FIFO or a
// device is refused before any read), audio properties are not read, and nothing is thrown:
// a file that cannot be opened or that TagLib does not know gives an empty SourceTags.
SourceTags ReadSourceTags(const std::string& path) noexcept;

// Reads a track or disc position: "3", "03", "3/12" or "3 / 12" into number and total (a total
// only when given). A text that does not start with a number leaves both as they were.
void ParsePosition(const std::string& text, int& number, int& total);

// The genre name of a genre text, by the program's genre table: "17", "(17)" and "(17)Rock" give
// "Rock", "(RX)" "Remix", "(CR)" "Cover"; a number without a name gives ""; any other text is
// returned trimmed.
std::string GenreName(const std::string& text);

}  // namespace tags
