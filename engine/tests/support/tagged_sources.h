// Test support: real source files of many formats that carry every tag field the program
// reads, in several scripts, with two pictures (a back cover listed before the front cover, so
// that a reader has to choose by type). Audio and texts come from the ffmpeg command line;
// TagLib adds the pictures, and the texts where ffmpeg's muxer writes none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <taglib/attachedpictureframe.h>
#include <taglib/tbytevector.h>

#include "platform/mmstream/tests/media_fixtures.h"

namespace testsupport {

// The values every tagged source carries: a compilation's track, with both artists.
struct TaggedValues {
  static constexpr const char* title = "Café Über 東京 Ωμέγα";
  static constexpr const char* artist = "Track Artist Ёж";
  static constexpr const char* albumArtist = "Various Artists";
  static constexpr const char* album = "Album 東京";
  static constexpr const char* date = "2004-05-12";
  static constexpr const char* genre = "Synthpop";
  static constexpr const char* comment = "Ωμέγα comment 🎵";
  static constexpr const char* composer = "Jörg Composer";
  static constexpr int track = 3, trackTotal = 12, disc = 2, discTotal = 3;
};

struct TaggedFormat {
  const char* name;       // for test names: "Wma", "Flac" ...
  const char* extension;  // without the dot
  const char* encode;     // ffmpeg's output arguments, or nullptr for TagLib-written texts
};
void PrintTo(const TaggedFormat& format, std::ostream* out);

// MP3 with ID3v2, FLAC, Ogg Vorbis, Opus, M4A (AAC), WMA, AIFF and WAV with an ID3 chunk,
// WavPack with APEv2.
const std::vector<TaggedFormat>& TaggedFormats();

// The pictures: the front cover (a PNG) and the back cover (a JPEG), real image files.
const std::vector<std::uint8_t>& CoverImage(bool front);

// A source of `seconds` of a 440 Hz tone in `format`, named "source.<extension>" in `dir`.
std::string MakeTaggedSource(const media_fixtures::TempDir& dir, const TaggedFormat& format, double seconds);

// TagLib's bytes of `bytes`.
TagLib::ByteVector Vector(const std::vector<std::uint8_t>& bytes);

// An ID3v2 picture frame (APIC) for a tag to own.
TagLib::ID3v2::AttachedPictureFrame* Apic(const std::vector<std::uint8_t>& data, const char* mime,
                                          TagLib::ID3v2::AttachedPictureFrame::Type type);

// The ffmpeg arguments that give a file every text of TaggedValues.
std::string TaggedMetadataArguments();

}  // namespace testsupport
