// Files written by a real muxer (the ffmpeg command-line tool), with non-ASCII texts.
#include "probe_helpers.h"

#include <cctype>
#include <cstdlib>

namespace metascan::testing {
namespace {

constexpr const char* kTitle = "Café Über 東京";

struct MuxerCase {
  const char* name;
  const char* fileName;
  const char* ffmpegArguments;  // input, codecs and any metadata not common to all cases
  Reader read;
  const char* expected;  // TagRecord::dump(), duration left out
};

const MuxerCase kCases[] = {
    // ASF keeps the artist as the content description's author; the album, genre, track and
    // year go to named attributes.
    {"WMA", "song.wma", "-f lavfi -i sine=d=1 -c:a wmav2", parse_wmv,
     "title=Café Über 東京\nalbum=Album\nyear=2004\ngenre=Jazz\ntrack=7\ncopyright=Us\n"
     "author=Ärtist\n"},
    {"WMV", "clip.wmv",
     "-f lavfi -i testsrc=d=1:s=64x48:r=5 -f lavfi -i sine=d=1 -c:v wmv2 -c:a wmav2", parse_wmv,
     "title=Café Über 東京\nalbum=Album\nyear=2004\ngenre=Jazz\ntrack=7\ncopyright=Us\n"
     "author=Ärtist\n"},
    {"MP4", "song.mp4", "-f lavfi -i sine=d=1 -c:a aac", parse_mov,
     "title=Café Über 東京\nartist=Ärtist\nalbum=Album\ncomment=Note\ngenre=Jazz\n"},
    {"MOV", "clip.mov", "-f lavfi -i sine=d=1 -c:a aac -f mov", parse_mov,
     "title=Café Über 東京\nartist=Ärtist\nalbum=Album\ncomment=Note\ngenre=Jazz\ncopyright=Us\n"},
    // The RealMedia muxer writes title, author, copyright and comment only; the author arrives
    // in `artist`.
    {"RealMedia", "song.rm", "-f lavfi -i sine=d=1 -c:a ac3 -f rm -metadata author=Writer", parse_rm,
     "title=Café Über 東京\nartist=Writer\ncomment=Note\ncopyright=Us\n"},
    {"MP3 with ID3v1", "song.mp3", "-f lavfi -i sine=d=1 -c:a libmp3lame -write_id3v1 1",
     getid3_id3v1,
     "title=Café Über 東京\nartist=Ärtist\nalbum=Album\nyear=2004\ncomment=Note\ngenre=Jazz\n"
     "track=7\n"},
};

void PrintTo(const MuxerCase& muxerCase, std::ostream* out) { *out << muxerCase.name; }

class RealMuxerFile : public ::testing::TestWithParam<MuxerCase> {};

TEST_P(RealMuxerFile, ReaderReturnsTheTextsTheMuxerWrote) {
  const MuxerCase& c = GetParam();
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
  TempFile folder({});
  std::string path = (folder.folder() / c.fileName).string();
  std::string command = std::string("ffmpeg -nostdin -hide_banner -loglevel error -y ") +
                        c.ffmpegArguments + " -shortest -metadata 'title=" + kTitle +
                        "' -metadata 'artist=Ärtist'"
                        " -metadata album=Album -metadata genre=Jazz -metadata comment=Note"
                        " -metadata copyright=Us -metadata year=2004 -metadata date=2004"
                        " -metadata track=7 '" + path + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  TagRecord record;
  ASSERT_EQ(c.read(path.c_str(), &record.info), METASCAN_OK);
  if (c.read == parse_wmv) {
    // One second of media plus the preroll the muxer declares, in 100-ns units.
    EXPECT_GE(record.info.duration, 10'000'000);
    EXPECT_LE(record.info.duration, 100'000'000);
    record.info.duration = 0;
  }
  EXPECT_EQ(record.dump(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, RealMuxerFile, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<MuxerCase>& param) {
                           std::string name;
                           for (char ch : std::string(param.param.name)) {
                             if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
                           }
                           return name;
                         });

}  // namespace
}  // namespace metascan::testing
