// ReadSourceTags on real files: audio and texts from the ffmpeg command line (TagLib writes the
// texts where ffmpeg cannot), pictures added with TagLib's format classes.
#include "core/tags/source_tags.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <taglib/aifffile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

#include "platform/mmstream/tests/media_fixtures.h"
#include "platform/utf8.h"
#include "tagged_sources.h"

namespace {

using namespace media_fixtures;
using Bytes = std::vector<std::uint8_t>;
using Frame = TagLib::ID3v2::AttachedPictureFrame;

using testsupport::CoverImage;
using testsupport::TaggedFormat;
using V = testsupport::TaggedValues;

const Bytes& Image(bool front) { return CoverImage(front); }

using testsupport::Apic;
using testsupport::Vector;

std::string MakeSource(const TempDir& dir, const TaggedFormat& format, double seconds) {
  return testsupport::MakeTaggedSource(dir, format, seconds);
}

// Which picture becomes the cover, on MP3 files.
struct PictureCase {
  const char* name;
  std::vector<Frame*> (*frames)();
  const char* mime;  // "" for no cover
  bool front;        // the front image expected, else the back one
};
void PrintTo(const PictureCase& row, std::ostream* out) { *out << row.name; }

const PictureCase kPictures[] = {
    {"NoFrontCoverTakesTheFirst",
     [] { return std::vector{Apic(Image(false), "image/jpeg", Frame::Other), Apic(Image(true), "image/png", Frame::Media)}; },
     "image/jpeg", false},
    {"MissingMimeTypeFromTheBytes", [] { return std::vector{Apic(Image(true), "", Frame::FrontCover)}; }, "image/png", true},
    // "-->" marks a link to a picture elsewhere, not a picture.
    {"LinkIsNoPicture",
     [] { return std::vector{Apic(Bytes{'h', 't', 't', 'p', ':', '/', '/'}, "-->", Frame::FrontCover)}; }, "", false},
    {"OversizedFrontCoverIgnored",
     [] {
       Bytes huge(engine::kMaxPictureBytes + 1, 0x5A);
       huge[0] = 0xFF, huge[1] = 0xD8, huge[2] = 0xFF;  // a JPEG's first bytes
       return std::vector{Apic(huge, "image/jpeg", Frame::FrontCover), Apic(Image(false), "image/jpeg", Frame::BackCover)};
     },
     "image/jpeg", false},
};

class SourceTagsPicture : public testing::TestWithParam<PictureCase> {};

TEST_P(SourceTagsPicture, ChoosesTheCover) {
  TempDir dir;
  const std::string path = dir.File("source.mp3");
  ASSERT_TRUE(Ffmpeg(SineInput(440, 44100, 0.2) + " -c:a libmp3lame", path));
  {
    TagLib::MPEG::File file(path.c_str(), false);
    for (Frame* frame : GetParam().frames()) file.ID3v2Tag(true)->addFrame(frame);
    ASSERT_TRUE(file.save());
  }
  const tags::CoverPicture cover = tags::ReadSourceTags(path).cover;
  EXPECT_EQ(cover.mimeType, GetParam().mime);
  EXPECT_TRUE(cover.data == (*GetParam().mime == '\0' ? Bytes() : Image(GetParam().front)));
}

INSTANTIATE_TEST_SUITE_P(Mp3, SourceTagsPicture, testing::ValuesIn(kPictures),
                         [](const auto& row) { return std::string(row.param.name); });

// ASF numbers stored as numbers, zero-based WM/Track, WM/Year, a numbered WM/Genre. (Reading
// these once crashed in TagLib 1.13, whose ASF::Tag::attribute() adds an empty list for a
// missing name.)
TEST(SourceTags, AsfAttributeForms) {
  using TagLib::ASF::Attribute;
  using TagLib::String;
  const struct {
    std::vector<std::pair<const char*, Attribute>> attributes;
    int track, total;
    const char* date;
    const char* genre;
  } cases[] = {
      {{{"WM/TrackNumber", Attribute(7u)}}, 7, 0, "", ""},
      {{{"WM/Track", Attribute(6u)}}, 7, 0, "", ""},
      {{{"WM/TrackNumber", Attribute(String("5/9"))}, {"WM/Track", Attribute(0u)}}, 5, 9, "", ""},
      {{{"WM/Year", Attribute(String("1999"))}, {"WM/Genre", Attribute(String("(17)"))}}, 0, 0, "1999", "Rock"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const std::string path = dir.File("source.wma");
    ASSERT_TRUE(Ffmpeg(SineInput(440, 44100, 0.2) + " -c:a wmav2", path));
    {
      TagLib::ASF::File file(path.c_str(), false);
      for (const auto& [name, value] : c.attributes) file.tag()->setAttribute(name, value);
      ASSERT_TRUE(file.save());
    }
    const tags::SourceTags read = tags::ReadSourceTags(path);
    const std::string what = c.attributes.front().first;
    EXPECT_EQ(std::vector({read.track, read.trackTotal}), std::vector({c.track, c.total})) << what;
    EXPECT_EQ(read.date, c.date) << what;
    EXPECT_EQ(read.genre, c.genre) << what;
  }
}

TEST(SourceTags, GenreNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"17", "Rock"},    {" 0 ", "Blues"},  {"(17)", "Rock"},      {"(17)Hard Rock", "Hard Rock"},
      {"(RX)", "Remix"}, {"(CR)", "Cover"}, {"(4)(17)", "Disco"},  {"((Special) Mix", "(Special) Mix"},
      {"255", ""},       {"(9999)", ""},    {"(live) set", "(live) set"}, {"Synthpop", "Synthpop"}, {"", ""},
  };
  for (const auto& [text, name] : cases) EXPECT_EQ(tags::GenreName(text), name) << text;
}

// Genres stored as an ID3v1 number or an ID3v2.3 reference arrive as names.
TEST(SourceTags, NumberedGenresOfMp3TagsBecomeNames) {
  TempDir dir;
  const std::string v1 = dir.File("v1.mp3");
  ASSERT_TRUE(Ffmpeg(SineInput(440, 44100, 0.2) + " -c:a libmp3lame -id3v2_version 0", v1));
  Bytes bytes = ReadBytes(v1);
  Bytes id3v1(128, 0);
  id3v1[0] = 'T', id3v1[1] = 'A', id3v1[2] = 'G', id3v1[3] = 'x', id3v1[127] = 17;  // genre 17: Rock
  bytes.insert(bytes.end(), id3v1.begin(), id3v1.end());
  WriteBytes(v1, bytes);
  EXPECT_EQ(tags::ReadSourceTags(v1).genre, "Rock");
  const std::string v23 = dir.File("v23.mp3");
  ASSERT_TRUE(Ffmpeg(SineInput(440, 44100, 0.2) + " -c:a libmp3lame -id3v2_version 3 -metadata 'genre=(17)'", v23));
  EXPECT_EQ(tags::ReadSourceTags(v23).genre, "Rock");
}

// What ffmpeg writes into WAV is a RIFF INFO list.
TEST(SourceTags, WavInfoList) {
  TempDir dir;
  const std::string path = dir.File("info.wav");
  ASSERT_TRUE(Ffmpeg(SineInput(440, 44100, 0.2) + " " + testsupport::TaggedMetadataArguments(), path));
  const tags::SourceTags read = tags::ReadSourceTags(path);
  EXPECT_EQ(std::vector({read.title, read.artist, read.album, read.genre}),
            std::vector<std::string>({V::title, V::artist, V::album, V::genre}));
  EXPECT_EQ(read.track, 3);
  EXPECT_FALSE(read.date.empty());
}

bool CleanTexts(const tags::SourceTags& r) {
  for (const std::string* text : {&r.title, &r.artist, &r.albumArtist, &r.album, &r.date, &r.genre, &r.comment, &r.composer}) {
    for (std::size_t i = 0; i < text->size();) {
      const std::size_t length = platform::Utf8SequenceLength(*text, i);
      if (length == 0 || (*text)[i] == '\0') return false;
      i += length;
    }
  }
  return true;
}

// No readable media file: an empty result at once. A FIFO without a writer would block an
// open() that waits for one.
TEST(SourceTags, NoFileGivesNothing) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("pipe.mp3").c_str(), 0600), 0);
  WriteBytes(dir.File("empty.wma"), {});
  WriteBytes(dir.File("noise.flac"), RandomBytes(4096, 1));
  for (const std::string& path : {dir.File("missing.mp3"), dir.Path(), dir.File("pipe.mp3"), std::string("/dev/zero"),
                                  dir.File("empty.wma"), dir.File("noise.flac"), std::string()}) {
    const tags::SourceTags read = tags::ReadSourceTags(path);
    EXPECT_TRUE(read.title.empty() && read.artist.empty() && read.album.empty() && read.date.empty() &&
                read.genre.empty() && read.comment.empty() && read.track == 0 && read.cover.empty())
        << path;
  }
}

// Every format cut short or with bytes of its tag area overwritten: an answer with clean texts.
TEST(SourceTags, DamagedFilesGiveCleanTexts) {
  TempDir dir;
  for (const TaggedFormat& format : testsupport::TaggedFormats()) {
    const Bytes whole = ReadBytes(MakeSource(dir, format, 0.2));
    const std::string damaged = dir.File(std::string("damaged.") + format.extension);
    for (std::size_t cut : {std::size_t{10}, std::size_t{200}, whole.size() / 3, whole.size() - 7}) {
      WriteBytes(damaged, Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
      EXPECT_TRUE(CleanTexts(tags::ReadSourceTags(damaged))) << format.name << " cut at " << cut;
    }
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
      Bytes bytes = whole;
      const Bytes noise = RandomBytes(16, seed);
      const std::size_t at = (seed * 97) % std::min<std::size_t>(bytes.size() - 16, 4096);
      std::copy(noise.begin(), noise.end(), bytes.begin() + static_cast<long>(at));
      WriteBytes(damaged, bytes);
      EXPECT_TRUE(CleanTexts(tags::ReadSourceTags(damaged))) << format.name << " noise at " << at;
    }
  }
}

// Each read closes the file it opened, refused or not.
TEST(SourceTags, ClosesWhatItOpens) {
  TempDir dir;
  const std::string path = dir.File("source.flac");
  ASSERT_TRUE(Ffmpeg(SineInput(440, 44100, 0.2) + " -c:a flac -metadata title=T", path));
  const auto open = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  const auto before = open();
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(tags::ReadSourceTags(path).title, "T");
    tags::ReadSourceTags(dir.Path());
  }
  EXPECT_EQ(open(), before);
}

}  // namespace
