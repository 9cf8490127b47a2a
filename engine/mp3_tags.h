// The tags an output MP3 file carries: an ID3v2 tag at its start, laid out here as the ID3v2.3
// document describes it and as the well-known taggers write it, which every modern reader
// prefers; and the ID3v1 tag at its end (Latin-1, 30-byte fields), written by the encoder for old
// players. The ID3v2 tag ends in padding, so that frames measured after the audio (ReplayGain,
// an album's values once the album is done) can be put into a finished file without moving its
// audio (RewriteTagInCopy). No Qt here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace engine {

// An embedded picture: the bytes of the image file exactly as a source holds them, and its MIME
// type ("image/jpeg", "image/png" ...).
struct CoverPicture {
  std::string mimeType;
  std::vector<std::uint8_t> data;

  bool empty() const { return data.empty(); }
};

// Pictures larger than this are neither read from a source nor written, so a hostile file cannot
// make the program hold and copy an arbitrarily large block.
inline constexpr std::size_t kMaxPictureBytes = 16u * 1024 * 1024;
// Texts larger than this are neither read from a source nor written: no tag a person wrote is that
// long, and a reader has to hold the whole tag.
inline constexpr std::size_t kMaxTagTextBytes = 1024u * 1024;
// The zero bytes at the end of every ID3v2 tag written here: room for the frames a finished file
// receives later (an album's ReplayGain values take about 120 bytes) without moving its audio.
inline constexpr std::size_t kId3v2Padding = 4096;

// The ID3v2 picture types this program names; every other number of 0 … 20 is kept as it is.
inline constexpr int kPictureOther = 0;
inline constexpr int kPictureFrontCover = 3;
inline constexpr int kPictureBackCover = 4;

// A picture with its place among the others: one APIC frame.
struct TagPicture {
  int type = kPictureFrontCover;  // ID3v2 picture type, 0 … 20
  std::string description;        // UTF-8; pictures of the same type need different descriptions
  std::string mimeType;           // "" is taken from the image's first bytes
  std::vector<std::uint8_t> data;
};

// One ID3v2 frame beyond the fields Mp3Tags names, as the tag mapping (core/tags/tag_mapping.h)
// or the ReplayGain meter gives it. Texts are UTF-8; bytes that are not valid UTF-8 are taken to
// be Latin-1 and NUL characters are dropped, as for Mp3Tags' texts.
struct Id3Frame {
  enum class Kind {
    Text,           // frame `id` (T000 … TZZZ except TXXX): `values`, several separated by NULs
    UserText,       // TXXX named `description`: `values`, several separated by NULs
    Lyrics,         // USLT in `language`, named `description`: the text values[0]
    Comment,        // COMM in `language`, named `description`: the text values[0]
    UniqueFileId,   // UFID of the owner `description`: the identifier values[0], at most 64 bytes
    Popularimeter,  // POPM of the e-mail address `description`: `rating` 1 … 255, no play count
    Private,        // PRIV of the owner `description`: the bytes values[0]; written first in the tag
  };
  Kind kind = Kind::Text;
  std::string id;           // the frame ID for Kind::Text; the others know theirs
  std::string description;  // see Kind
  std::string language = "eng";
  std::vector<std::string> values;
  int rating = 0;

  static Id3Frame Text(std::string id, std::vector<std::string> values);
  static Id3Frame UserText(std::string description, std::vector<std::string> values);
  static Id3Frame Lyrics(std::string text, std::string description = {});
  static Id3Frame UniqueFileId(std::string owner, std::string identifier);
  static Id3Frame Popularimeter(std::string email, int rating);
  static Id3Frame Private(std::string owner, std::string data);

  // The frame ID this frame is written under ("TPUB", "TXXX", "UFID" ...).
  std::string FrameId() const;
  // What tells frames of one ID apart: a frame put into a tag replaces the frames there with the
  // same identity (the ID, and for TXXX the description, for UFID the owner, for POPM the e-mail,
  // for USLT and COMM the language and description).
  std::string Identity() const;
  bool operator==(const Id3Frame&) const = default;
};

struct Mp3Tags {
  // UTF-8 texts; bytes that are not valid UTF-8 are taken to be Latin-1. Empty: no frame.
  std::string title;        // TIT2
  std::string artist;       // TPE1, the track's artist
  std::string albumArtist;  // TPE2
  std::string album;        // TALB
  std::string date;         // TYER in ID3v2.3 (the year of the date only), TDRC in ID3v2.4
  std::string genre;        // TCON, a name
  std::string comment;      // COMM, language "eng", empty description
  std::string composer;     // TCOM
  int track = 0, trackTotal = 0;  // TRCK "3" or "3/12"; no frame when track is 0
  int disc = 0, discTotal = 0;    // TPOS "1" or "1/2"; no frame when disc is 0
  // Every value of a field that holds several (two artists, two composers, several genres):
  // when not empty, these are written in place of the single text above, separated by NULs
  // (see RenderCompleteId3v2Tag).
  std::vector<std::string> artists, albumArtists, composers, genres;
  // The frames beyond these fields (lyrics, publisher, sort orders, MusicBrainz identifiers,
  // rating, ReplayGain ...), written after them in this order. A frame of the same identity as
  // one the fields above give replaces that one.
  std::vector<Id3Frame> frames;
  // Gives the front cover (APIC of type 3, empty description) when the file is started, on the
  // output's worker: a picture is read only when it is about to be written, so a long list of
  // tasks does not hold one picture each. Empty, or giving an empty picture: no APIC.
  std::function<CoverPicture()> cover;
  // Gives every picture to write, in order, when the file is started, on the output's worker;
  // when set it takes the place of `cover` (see RenderCompleteId3v2Tag).
  std::function<std::vector<TagPicture>()> pictures;
  // What the source held that is too large to carry (a text over a megabyte, a picture over
  // kMaxPictureBytes): not written, but named in the file's warning.
  struct LeftOut {
    std::string what;  // a tag's name, or "picture" and its type number
    std::uint64_t bytes = 0;
  };
  std::vector<LeftOut> leftOut;
};

// A complete ID3v2 tag (header, frames and kId3v2Padding bytes of padding) holding the non-empty
// fields, `tags.frames` and `cover`, to be written at the very start of an MP3 file, before its
// first audio frame: ID3v2.4 when `version` is 4, else ID3v2.3. Texts that fit in Latin-1 are
// written as Latin-1, others as UTF-16 with a byte order mark (ID3v2.3) or UTF-8 (ID3v2.4). The
// picture's bytes and MIME type are written unchanged; an empty MIME type is taken from the
// image's first bytes, and a picture larger than kMaxPictureBytes is left out. Empty when nothing
// gives a frame. Never throws: if rendering fails the result is empty as well.
std::vector<std::uint8_t> RenderId3v2Tag(const Mp3Tags& tags, const CoverPicture& cover = {},
                                         int version = 3) noexcept;

// The same with every picture of `pictures` (APIC frames of their types and descriptions, in
// order) in place of one front cover. Fields with several values write them separated by NULs,
// which ID3v2.4 defines and the well-known taggers and readers (mutagen, TagLib) also write and
// read in ID3v2.3 text frames; "/" or "; " would make one value of "AC/DC". A text or picture
// over its limit (kMaxTagTextBytes, kMaxPictureBytes) is left out; so is a frame without a value.
std::vector<std::uint8_t> RenderCompleteId3v2Tag(const Mp3Tags& tags, const std::vector<TagPicture>& pictures,
                                                 int version = 3) noexcept;

// The frames of one ID3v2 tag (ID3v2.3 or 2.4, without unsynchronisation or extended header), as
// they stand in its bytes.
struct RawId3Frame {
  std::string id;
  std::string identity;  // as Id3Frame::Identity() gives it for the frame's kind
  std::size_t offset = 0;  // of the frame header, from the start of the tag
  std::size_t size = 0;    // header included
};
struct Id3v2Layout {
  int version = 0;             // 3 or 4
  std::size_t tagSize = 0;     // header, frames and padding: where the audio starts
  std::vector<RawId3Frame> frames;
};
// The layout of the tag at the start of `bytes` (which may hold more than the tag); nullopt when
// they do not start with an ID3v2.3 or 2.4 tag this program can rewrite: unsynchronised, with an
// extended header, compressed or encrypted frames, or frames that overrun the tag.
std::optional<Id3v2Layout> ParseId3v2Layout(const std::uint8_t* bytes, std::size_t size);

// What is known of an ID3v2 tag once it is written, without holding its bytes (a picture may be
// megabytes): where its header and each frame lie, with a checksum of their bytes; everything
// after the last frame up to `size` is padding (zeros). What verification compares the file with.
struct WrittenTag {
  struct Part {
    std::string id;  // the frame ID, or "header"
    std::size_t offset = 0, size = 0;
    std::uint64_t checksum = 0;  // TagChecksum of its bytes
  };
  std::size_t size = 0;  // the whole tag, padding included; 0: no tag
  std::vector<Part> parts;

  // The parts of `tag`, a whole tag as RenderCompleteId3v2Tag gives it; no parts when it is none.
  static WrittenTag Of(const std::vector<std::uint8_t>& tag);
};
// FNV-1a over `data`, continued from `checksum`: a part read in pieces is the pieces in turn.
inline constexpr std::uint64_t kTagChecksumStart = 0xcbf29ce484222325ULL;
std::uint64_t TagChecksum(const std::uint8_t* data, std::size_t size, std::uint64_t checksum = kTagChecksumStart);

enum class RetagOutcome {
  Rewritten,    // the copy holds the new tag and the old audio
  DoesNotFit,   // the new frames need more room than the tag's padding: nothing written
  NoTag,        // the file does not start with a tag this program can rewrite: nothing written
};
struct RetagResult {
  RetagOutcome outcome = RetagOutcome::NoTag;
  WrittenTag tag;  // the new tag when Rewritten: what verification compares
};
// Puts `frames` into the ID3v2 tag of the MP3 at `path` within the tag's own size, and writes the
// file with that tag to `copyPath`, which the caller created (the hidden staged name of a finished
// file; the caller renames it over `path`): the tag's frames that `frames` do not replace (by
// identity) byte for byte and in their order, then `frames`, then padding to the old size, then
// every byte after the old tag unchanged, so the audio is not moved. `copyPath` naming the same
// file as `path` (by any name) writes the tag in place: only for a file that has no final name
// yet. The tag is read and written in pieces: a large picture is never held. Raises FileError
// when a file cannot be read or written; `copyPath` is then incomplete and must go.
RetagResult RewriteTagInCopy(const std::string& path, const std::vector<Id3Frame>& frames,
                             const std::string& copyPath);

// The text of a track or disc position as TRCK and TPOS hold it: "3", or "3/12" with a total;
// "" when `number` is 0 (a total alone says nothing about this file).
std::string PositionText(int number, int total);

// The year of a date: its first run of exactly four digits ("2004" of "2004-05-12" or
// "12.05.2004"); "" when there is none.
std::string YearOf(const std::string& date);

// The 128-byte ID3v1.1 tag for the end of an MP3: title, artist, album, the year of the date,
// comment (28 bytes), track and the genre's number (255 for a name the ID3v1 list lacks), texts
// in Latin-1 (Id3v1Text) cut to their fields.
std::vector<std::uint8_t> RenderId3v1Tag(const Mp3Tags& tags);

// The Latin-1 bytes of a UTF-8 text for the ID3v1 tag: characters beyond Latin-1 become "?";
// bytes that are not valid UTF-8 are taken to be Latin-1 already.
std::string Id3v1Text(const std::string& utf8);

// The MIME type of an image from its first bytes (JPEG, PNG, GIF, BMP, WebP, TIFF); "" for
// others.
std::string ImageMimeType(const std::uint8_t* data, std::size_t size);

}  // namespace engine
