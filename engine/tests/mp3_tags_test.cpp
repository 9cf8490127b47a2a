// RenderId3v2Tag: the tag is put in front of a real MP3 stream (LAME through ffmpeg, without
// tags or Info frame) and read back by independent readers, mutagen and ffprobe.
#include "engine/mp3_tags.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/mmstream/tests/media_fixtures.h"
#include "tag_readers.h"
#include "tagged_sources.h"

namespace {

using namespace media_fixtures;
using Bytes = std::vector<std::uint8_t>;
using Frames = std::map<std::string, std::string>;
using testsupport::Hex;
using V = testsupport::TaggedValues;

const Bytes& Made(const std::string& arguments, const std::string& name) {
  static std::map<std::string, Bytes> made;
  if (!made.count(name)) {
    TempDir dir;
    EXPECT_TRUE(Ffmpeg(arguments, dir.File(name)));
    made[name] = ReadBytes(dir.File(name));
  }
  return made[name];
}

// One second of MP3 audio without any tag or Info frame.
const Bytes& RawMp3() {
  return Made(SineInput(440, 44100, 1.0) + " -c:a libmp3lame -b:a 128k -id3v2_version 0 -write_xing 0", "raw.mp3");
}
const Bytes& Png() { return testsupport::CoverImage(true); }

std::string Mp3With(const TempDir& dir, Bytes file) {
  file.insert(file.end(), RawMp3().begin(), RawMp3().end());
  WriteBytes(dir.File("out.mp3"), file);
  return dir.File("out.mp3");
}

engine::Mp3Tags AllFields() {
  engine::Mp3Tags f;
  f.title = V::title, f.artist = V::artist, f.albumArtist = V::albumArtist, f.album = V::album;
  f.date = V::date, f.genre = V::genre, f.comment = V::comment, f.composer = V::composer;
  f.track = V::track, f.trackTotal = V::trackTotal, f.disc = V::disc, f.discTotal = V::discTotal;
  return f;
}

struct RenderCase {
  const char* name;
  int version;
  engine::Mp3Tags (*fields)();
  engine::CoverPicture cover;  // its data: the PNG when `withCover`
  bool withCover;
  Frames expected;
  std::vector<const char*> absent;
};
void PrintTo(const RenderCase& row, std::ostream* out) { *out << row.name; }

const RenderCase kRenders[] = {
    {"AllFieldsV23", 3, AllFields, {"image/png", {}}, true,
     {{"version", "2.3.0"}, {"TIT2", V::title}, {"TPE1", V::artist}, {"TPE2", V::albumArtist},
      {"TALB", V::album}, {"TRCK", "3/12"}, {"TPOS", "2/3"}, {"TYER", "2004"}, {"TCON", V::genre},
      {"COMM", std::string("eng||") + V::comment}, {"TCOM", V::composer}},
     {"TDRC", "TDAT"}},
    {"AllFieldsV24", 4, AllFields, {"image/png", {}}, true,
     {{"version", "2.4.0"}, {"TIT2", "Café Über 東京 Ωμέγα"}, {"TPE2", "Various Artists"}, {"TRCK", "3/12"},
      {"TPOS", "2/3"}, {"TDRC", "2004-05-12"}, {"COMM", "eng||Ωμέγα comment 🎵"}},
     {"TYER"}},
    {"NumbersWithoutTotals", 3, [] { engine::Mp3Tags f; f.track = 7, f.disc = 1, f.date = "1999"; return f; }, {}, false,
     {{"frames", "TRCK TPOS TYER"}, {"TRCK", "7"}, {"TPOS", "1"}, {"TYER", "1999"}}, {}},
    // The year is the date's four-digit run wherever it stands; without one, no TYER at all.
    {"DayFirstDate", 3, [] { engine::Mp3Tags f; f.date = "12.05.2004"; return f; }, {}, false, {{"TYER", "2004"}}, {}},
    {"DateWithoutYear", 3, [] { engine::Mp3Tags f; f.title = "t", f.date = "May 04"; return f; }, {}, false, {{"frames", "TIT2"}}, {}},
    // A total alone says nothing about this track.
    {"TotalsWithoutNumbers", 3, [] { engine::Mp3Tags f; f.title = "t", f.trackTotal = 12, f.discTotal = 3; return f; }, {}, false,
     {{"frames", "TIT2"}}, {}},
    // Bytes that are not UTF-8 are Latin-1; NUL characters do not cut a text.
    {"Latin1BytesAndNul", 3, [] { engine::Mp3Tags f; f.title = "Caf\xE9 Cr\xE8me", f.artist = std::string("A\0B", 3); return f; }, {}, false,
     {{"TIT2", "Café Crème"}, {"TPE1", "AB"}}, {}},
    {"PictureOnlyWithoutMimeType", 3, [] { return engine::Mp3Tags{}; }, {"", {}}, true, {{"frames", "APIC"}}, {}},
};

class RenderId3v2 : public testing::TestWithParam<RenderCase> {};

TEST_P(RenderId3v2, MutagenReadsTheFramesBeforeTheAudio) {
  const engine::Mp3Tags fields = GetParam().fields();
  engine::CoverPicture cover = GetParam().cover;
  if (GetParam().withCover) cover.data = Png();
  const Bytes tag = engine::RenderId3v2Tag(fields, cover, GetParam().version);
  ASSERT_FALSE(tag.empty());
  TempDir dir;
  Frames read = testsupport::MutagenId3v2(Mp3With(dir, tag));
  for (const auto& [key, value] : GetParam().expected) EXPECT_EQ(read[key], value) << key << "; frames " << read["frames"];
  for (const char* key : GetParam().absent) EXPECT_EQ(read.count(key), 0u) << key;
  // The front cover, its bytes and MIME type unchanged (a missing type taken from the bytes).
  if (GetParam().withCover) {
    EXPECT_EQ(read["APIC"], "image/png|3||" + Hex(Png()));
  }
  // ID3v2.3 knows Latin-1 (0) and UTF-16 with a byte order mark (1) only.
  if (GetParam().version == 3) {
    EXPECT_EQ(read["encodings"].find_first_not_of("01 "), std::string::npos) << read["encodings"];
  }
  EXPECT_NEAR(std::stod(read["seconds"]), 1.0, 0.1) << "the stream after the tag";
}

INSTANTIATE_TEST_SUITE_P(Fields, RenderId3v2, testing::ValuesIn(kRenders),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(RenderId3v2Tag, NothingToWriteGivesNoTag) {
  engine::Mp3Tags totalsOnly;
  totalsOnly.trackTotal = 12, totalsOnly.discTotal = 2;
  engine::CoverPicture oversizedPicture;
  oversizedPicture.mimeType = "image/jpeg";
  oversizedPicture.data.assign(engine::kMaxPictureBytes + 1, 0xFF);
  for (int version : {3, 4}) {
    EXPECT_TRUE(engine::RenderId3v2Tag(engine::Mp3Tags{}, {}, version).empty());
    EXPECT_TRUE(engine::RenderId3v2Tag(totalsOnly, {}, version).empty());
    EXPECT_TRUE(engine::RenderId3v2Tag(engine::Mp3Tags{}, oversizedPicture, version).empty());
  }
}

}  // namespace
