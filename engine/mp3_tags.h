// The tags an output MP3 file carries: an ID3v2 tag at its start, rendered by TagLib in memory,
// which every modern reader prefers; and the ID3v1 tag at its end (Latin-1, 30-byte fields),
// written by the encoder for old players. No Qt here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
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
  // Gives the front cover (APIC of type 3, empty description) when the file is started, on the
  // output's worker: a picture is read only when it is about to be written, so a long list of
  // tasks does not hold one picture each. Empty, or giving an empty picture: no APIC.
  std::function<CoverPicture()> cover;
  // Private frames (PRIV): an owner identifier and its bytes, written first in the tag, where a
  // reader finds them without going through the rest.
  std::vector<std::pair<std::string, std::string>> privateFrames;
};

// A complete ID3v2 tag (header, frames and padding) holding the non-empty fields and `cover`, to
// be written at the very start of an MP3 file, before its first audio frame: ID3v2.4 when
// `version` is 4, else ID3v2.3. Texts that fit in Latin-1 are written as Latin-1, others as
// UTF-16 with a byte order mark (ID3v2.3) or UTF-8 (ID3v2.4). The picture's bytes and MIME type
// are written unchanged; an empty MIME type is taken from the image's first bytes, and a picture
// larger than kMaxPictureBytes is left out. Empty when nothing gives a frame. Never throws: if
// rendering fails the result is empty as well.
std::vector<std::uint8_t> RenderId3v2Tag(const Mp3Tags& tags, const CoverPicture& cover = {},
                                         int version = 3) noexcept;

// The text of a track or disc position as TRCK and TPOS hold it: "3", or "3/12" with a total;
// "" when `number` is 0 (a total alone says nothing about this file).
std::string PositionText(int number, int total);

// The year of a date: its first run of exactly four digits ("2004" of "2004-05-12" or
// "12.05.2004"); "" when there is none.
std::string YearOf(const std::string& date);

// The Latin-1 bytes of a UTF-8 text for the ID3v1 tag: characters beyond Latin-1 become "?";
// bytes that are not valid UTF-8 are taken to be Latin-1 already.
std::string Id3v1Text(const std::string& utf8);

// The MIME type of an image from its first bytes (JPEG, PNG, GIF, BMP, WebP); "" for others.
std::string ImageMimeType(const std::uint8_t* data, std::size_t size);

}  // namespace engine
