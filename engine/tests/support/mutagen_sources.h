// Test support: sources tagged by an independent tagger, mutagen, the way the well-known taggers
// write each format (ASF WM/* attributes, Vorbis comments, MP4 atoms and
// ----:com.apple.iTunes:* atoms), with every field the program carries: several artists,
// composers and genres, lyrics, publisher, BPM, ISRC, grouping, subtitle, conductor, lyricist,
// original date, copyright, sort orders, the compilation flag, MusicBrainz identifiers, a rating
// of five stars, ReplayGain values (which must not be copied), a field no table names, and three
// "pictures": a back cover (JPEG, "Back side"), a front cover (PNG) and a text/html "cover".
#pragma once

#include <string>
#include <vector>

#include "platform/mmstream/tests/media_fixtures.h"

namespace testsupport {

// The values, one per field, each different, so a field written to the wrong frame shows.
struct FullTagValues {
  static constexpr const char* title = "Café Über 東京 Ωμέγα";
  static constexpr const char* artists[] = {"Track Artist Ёж", "Second Artist"};
  static constexpr const char* albumArtist = "Various Artists";
  static constexpr const char* album = "Album 東京";
  static constexpr const char* date = "2004-05-12";
  static constexpr const char* genres[] = {"Synthpop", "Nu Gaze"};
  static constexpr const char* comment = "Ωμέγα comment 🎵";
  static constexpr const char* composers[] = {"Jörg Composer", "Second Composer"};
  static constexpr const char* lyrics = "First line ♪\nSecond line";
  static constexpr const char* publisher = "Label Records";
  static constexpr const char* bpm = "128";
  static constexpr const char* isrc = "USRC17607839";
  static constexpr const char* grouping = "Grouping Ω";
  static constexpr const char* subtitle = "Subtitle Ω";
  static constexpr const char* conductor = "Conductor Name";
  static constexpr const char* lyricist = "Lyricist Name";
  static constexpr const char* originalDate = "1987-03-01";
  static constexpr const char* copyright = "℗ 2004 Label";
  static constexpr const char* albumSort = "Album Sort";
  static constexpr const char* artistSort = "Artist Sort";
  static constexpr const char* albumArtistSort = "Album Artist Sort";
  static constexpr const char* titleSort = "Title Sort";
  static constexpr const char* catalogNumber = "CAT-001";
  static constexpr const char* ownField = "own value";  // under the key MYFIELD
  static constexpr const char* recordingId = "11111111-1111-1111-1111-111111111111";
  static constexpr const char* releaseId = "22222222-2222-2222-2222-222222222222";
  static constexpr const char* artistId = "33333333-3333-3333-3333-333333333333";
  static constexpr const char* albumArtistId = "44444444-4444-4444-4444-444444444444";
  static constexpr const char* releaseGroupId = "55555555-5555-5555-5555-555555555555";
  static constexpr const char* workId = "66666666-6666-6666-6666-666666666666";
  static constexpr const char* releaseTrackId = "77777777-7777-7777-7777-777777777777";
  static constexpr const char* discId = "kDuQxW1HXnbOy9kxjYUbj1GSSd4-";
};

struct MutagenFormat {
  const char* name;       // for test names
  const char* extension;  // without the dot
  const char* encode;     // ffmpeg's output arguments for the audio
};
void PrintTo(const MutagenFormat& format, std::ostream* out);

// WMA, FLAC, Ogg Vorbis, Opus and M4A.
const std::vector<MutagenFormat>& MutagenFormats();

// A source of `seconds` of a tone in `format` tagged by mutagen with every FullTagValues field,
// named "tagged.<extension>" in `dir`.
std::string MakeMutagenTaggedSource(const media_fixtures::TempDir& dir, const MutagenFormat& format, double seconds);

}  // namespace testsupport
