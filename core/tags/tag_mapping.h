// From what a source holds to the MP3's ID3v2 tag: the named fields (with every value of those
// that hold several), each field of tag_fields.h to its frame, the rating to the desktop media
// player's own POPM, every picture to its APIC, and the source's fields no table names to TXXX
// frames of their own names; the user's values in place of the source's where they set one.
// The source's ReplayGain values are never copied: they are measured anew (replay_gain.h).
//
// Any thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/tags/source_tags.h"
#include "engine/mp3_tags.h"

namespace tags {

// The e-mail address the desktop media player names its rating with; a POPM of any other is not
// its own, and it would neither show nor keep it.
inline constexpr char kRatingEmail[] = "Windows Media Player 9 Series";

// The POPM rating byte the desktop media player writes for 1 … 5 stars: 1, 64, 128, 196, 255;
// 0 (no frame) for anything else.
int PopularimeterRating(int stars);

// What the user set for one file, in the wizard or on the command line. A field that is set
// replaces the source's (an empty text: no frame); one that is not keeps the source's. A text
// set for a field that holds several values is split at "; ", the way the fields show them, so
// an unchanged text keeps the source's values one by one.
struct TagOverrides {
  std::optional<std::string> title, artist, albumArtist, album, date, genre, comment, composer;
  std::optional<int> track, trackTotal, disc, discTotal;
  // Whether the fields beyond the named ones are carried (lyrics, sort orders, MusicBrainz
  // identifiers, the rating and the rest).
  bool carryMoreTags = true;
  // Whether the source's pictures are carried; without them no picture is written at all.
  bool carryPictures = true;
  // A front cover for a source without one of its own: the album art beside it (folder_art.h).
  // Ignored when the source has a front cover.
  std::optional<engine::TagPicture> folderCover;
};

// The MP3 tag for `source` with the user's `overrides`: every field as above, and `pictures`
// giving PicturesToWrite (a copy of the pictures is kept in the function; see PictureReader for
// reading them only when the file is started).
engine::Mp3Tags MapToMp3Tags(const SourceTags& source, const TagOverrides& overrides = {});

// The pictures to write for `source`: every picture the source holds, or none when the user chose
// none, the front cover first (the folder cover when the source has no front cover), the others
// in the source's order. Descriptions
// are made unique ("Back", "Back (2)"), since ID3v2 tells pictures apart by them and readers
// keep one picture per description; only the first picture of type 1 and of type 2 (the file
// icons, of which ID3v2 allows one each) is kept.
std::vector<engine::TagPicture> PicturesToWrite(const SourceTags& source, const TagOverrides& overrides);

// A function for Mp3Tags::pictures that reads the source at `path` again when it is called (on
// the output's worker), so that a task list holds no pictures: PicturesToWrite of what it finds.
std::function<std::vector<engine::TagPicture>()> PictureReader(std::string path, TagOverrides overrides);

// The frames of `source`'s fields beyond the named ones, in tag_fields.h's order, then the rating
// and the fields without a table entry: what MapToMp3Tags puts into Mp3Tags::frames.
std::vector<engine::Id3Frame> MoreTagFrames(const SourceTags& source);

}  // namespace tags
