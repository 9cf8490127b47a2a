// The five functions as a program calls them, on real files generated with ffmpeg.
#include "avpull/avpull.h"
#include "platform/mmstream/tests/media_fixtures.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>

using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;

extern "C" size_t avpull_c_record_size(int which);
extern "C" int32_t avpull_c_call_all(const char* name);

namespace {

constexpr int32_t kUntouched = -7;

// What file_init wrote, with every output preset so that untouched outputs show.
struct Opened {
  int32_t result = 0;
  AVPULL_STREAM_TIME duration = kUntouched;
  int32_t video_status = kUntouched;
  int32_t audio_status = kUntouched;
  AVPULL_VIDEOINFOHEADER video{};
  AVPULL_WAVEFORMATEX audio{};

  Opened() {
    std::memset(&video, 0xAB, sizeof video);
    std::memset(&audio, 0xAB, sizeof audio);
  }
};

Opened Init(const std::string& path) {
  Opened o;
  o.result = file_init(path.c_str(), &o.duration, &o.video_status, &o.audio_status, &o.video, &o.audio);
  return o;
}

bool Untouched(const Opened& o) {
  Opened fresh;
  return o.duration == kUntouched && o.video_status == kUntouched && o.audio_status == kUntouched &&
         std::memcmp(&o.video, &fresh.video, sizeof o.video) == 0 &&
         std::memcmp(&o.audio, &fresh.audio, sizeof o.audio) == 0;
}

// Every test leaves the library closed and at its default buffer size, whatever it did.
class Avpull : public ::testing::Test {
 protected:
  void TearDown() override {
    if (file_init(reopen_.c_str(), &d_, &v_, &a_, &vi_, &af_) == 0 && a_ == AVPULL_AUDIO_READY) {
      set_audio_buffer_size(4096);
    }
    file_exit();
  }
  TempDir dir_;
  std::string reopen_ = MakeWav();

 private:
  std::string MakeWav() {
    const std::string path = dir_.File("reset.wav");
    Ffmpeg(SineInput(1000, 8000, 0.1), path);
    return path;
  }
  AVPULL_STREAM_TIME d_ = 0;
  int32_t v_ = 0, a_ = 0;
  AVPULL_VIDEOINFOHEADER vi_{};
  AVPULL_WAVEFORMATEX af_{};
};

struct Block {
  int32_t result;
  std::vector<uint8_t> bytes;
  AVPULL_STREAM_TIME start = 0;
  AVPULL_STREAM_TIME end = 0;
};

Block NextAudio() {
  Block b;
  uint8_t* data = reinterpret_cast<uint8_t*>(&b);  // must be replaced
  int32_t length = -1;
  b.result = file_get_audio_sample(&data, &length, &b.start, &b.end);
  if (b.result == 0) {
    EXPECT_NE(data, nullptr);
    if (data != nullptr) b.bytes.assign(data, data + length);
  } else {
    EXPECT_EQ(data, nullptr);
  }
  return b;
}

// All audio blocks to the end: they must join in time and carry their length in time.
std::vector<uint8_t> AllAudio(const AVPULL_WAVEFORMATEX& format, std::size_t* largest = nullptr) {
  std::vector<uint8_t> pcm;
  AVPULL_STREAM_TIME expected = 0;
  for (int guard = 0; guard < 100000; ++guard) {
    const Block b = NextAudio();
    if (b.result != 0) {
      EXPECT_EQ(b.result, AVPULL_END_OF_STREAM);
      return pcm;
    }
    EXPECT_EQ(b.start, expected);
    EXPECT_GT(b.end, b.start);
    EXPECT_NEAR(static_cast<double>(b.end - b.start),
                static_cast<double>(b.bytes.size()) / format.nBlockAlign * 1e7 / format.nSamplesPerSec, 1.0);
    expected = b.end;
    if (largest != nullptr) *largest = std::max(*largest, b.bytes.size());
    pcm.insert(pcm.end(), b.bytes.begin(), b.bytes.end());
  }
  ADD_FAILURE() << "no end of stream";
  return pcm;
}

int16_t Sample(const std::vector<uint8_t>& pcm, std::size_t index) {
  return static_cast<int16_t>(pcm[2 * index] | (pcm[2 * index + 1] << 8));
}

struct KindRow {
  const char* name;
  const char* file;
  std::string arguments;
  bool video;
  bool audio;
};

void PrintTo(const KindRow& row, std::ostream* out) { *out << row.name; }

std::string TestPattern(int seconds) {
  return "-f lavfi -i testsrc=size=160x120:rate=25:duration=" + std::to_string(seconds) + " ";
}

class FileKinds : public Avpull, public ::testing::WithParamInterface<KindRow> {};

// Catches wrong durations, formats and geometry, and statuses that do not match the streams,
// for each kind of file the program is given.
TEST_P(FileKinds, ReportDurationFormatAndGeometry) {
  const KindRow& row = GetParam();
  const std::string path = dir_.File(row.file);
  ASSERT_TRUE(Ffmpeg(row.arguments, path));
  const Opened o = Init(path);
  EXPECT_EQ(o.result, 0);
  EXPECT_NEAR(o.duration / 1e7, 2.0, 0.1);
  EXPECT_EQ(o.video_status, row.video ? AVPULL_VIDEO_READY : AVPULL_VIDEO_NONE);
  EXPECT_EQ(o.audio_status, row.audio ? AVPULL_AUDIO_READY : AVPULL_AUDIO_NONE);
  if (row.video) {
    EXPECT_EQ(o.video.rcSource.left, 0);
    EXPECT_EQ(o.video.rcSource.top, 0);
    EXPECT_EQ(o.video.rcSource.right, 160);
    EXPECT_EQ(o.video.rcSource.bottom, 120);
    EXPECT_EQ(o.video.rcTarget.left, static_cast<int32_t>(0xABABABAB));  // not written
    EXPECT_EQ(o.video.dwBitRate, 0u);
    EXPECT_EQ(o.video.AvgTimePerFrame, 400000);
    EXPECT_EQ(o.video.bmiHeader.biSize, 40u);
    EXPECT_EQ(o.video.bmiHeader.biWidth, 160);
    EXPECT_EQ(o.video.bmiHeader.biHeight, 120);
    EXPECT_EQ(o.video.bmiHeader.biPlanes, 1);
    EXPECT_EQ(o.video.bmiHeader.biBitCount, 32);
    EXPECT_EQ(o.video.bmiHeader.biCompression, 0u);
  }
  if (row.audio) {
    EXPECT_EQ(o.audio.wFormatTag, 1);
    EXPECT_EQ(o.audio.nChannels, 2);
    EXPECT_EQ(o.audio.wBitsPerSample, 16);
    EXPECT_EQ(o.audio.nSamplesPerSec, 44100u);
    EXPECT_EQ(o.audio.nBlockAlign, 4);
    EXPECT_EQ(o.audio.nAvgBytesPerSec, 176400u);
    const Block first = NextAudio();
    EXPECT_EQ(first.result, 0);
    EXPECT_EQ(first.start, 0);
  }
  if (row.video) {
    uint8_t* pixels = nullptr;
    int32_t size = 0;
    AVPULL_STREAM_TIME start = -1;
    AVPULL_STREAM_TIME end = -1;
    EXPECT_EQ(file_get_video_frame(&pixels, &size, &start, &end), 0);
    EXPECT_NE(pixels, nullptr);
    EXPECT_EQ(size, 160 * 120 * 4);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 400000);
  }
  EXPECT_EQ(file_exit(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FileKinds,
    ::testing::Values(
        KindRow{"Wma", "a.wma", SineInput(1000, 44100, 2) + " -ac 2 -c:a wmav2", false, true},
        KindRow{"Wmv", "a.wmv", TestPattern(2) + SineInput(1000, 44100, 2) + " -ac 2 -c:v wmv2 -c:a wmav2", true, true},
        KindRow{"Asf", "a.asf", TestPattern(2) + SineInput(1000, 44100, 2) + " -ac 2 -c:v msmpeg4 -c:a wmav2", true, true},
        KindRow{"Mp4", "a.mp4", TestPattern(2) + SineInput(1000, 44100, 2) + " -ac 2 -c:v libx264 -c:a aac", true, true},
        KindRow{"Mov", "a.mov", TestPattern(2) + SineInput(1000, 44100, 2) + " -ac 2 -c:v mpeg4 -c:a pcm_s16le", true, true},
        KindRow{"Wav", "a.wav", SineInput(1000, 44100, 2) + " -ac 2", false, true},
        KindRow{"Mp3", "a.mp3", SineInput(1000, 44100, 2) + " -ac 2 -c:a libmp3lame", false, true},
        KindRow{"VideoOnly", "v.wmv", TestPattern(2) + "-c:v wmv2", true, false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Avpull, VideoOnlyFileRefusesAudioRequests) {
  const std::string path = dir_.File("v.mp4");
  ASSERT_TRUE(Ffmpeg(TestPattern(1) + "-c:v libx264", path));
  const Opened o = Init(path);
  ASSERT_EQ(o.result, 0);
  EXPECT_EQ(o.audio_status, AVPULL_AUDIO_NONE);
  EXPECT_EQ(NextAudio().result, AVPULL_E_NOSTREAM);
  EXPECT_EQ(set_audio_buffer_size(1000), AVPULL_BUFFER_NO_SAMPLE);
}

// Neither stream, or not media at all: a failure code, and nothing written.
TEST_F(Avpull, FilesWithoutStreamsAreRefusedUntouched) {
  const std::string subtitles = dir_.File("only.srt");
  media_fixtures::WriteBytes(subtitles, {'1', '\n', '0', '0', ':', '0', '0', ':', '0', '0', ',', '0', '0', '0', ' ',
                                         '-', '-', '>', ' ', '0', '0', ':', '0', '0', ':', '0', '1', ',', '0', '0',
                                         '0', '\n', 'H', 'i', '\n', '\n'});
  const std::string data_only = dir_.File("only.mkv");
  ASSERT_TRUE(Ffmpeg("-i '" + subtitles + "' -c:s srt", data_only));
  const std::string noise = dir_.File("noise.wma");
  media_fixtures::WriteBytes(noise, media_fixtures::RandomBytes(40000, 5));
  // A FIFO without a writer would block the open for good.
  const std::string fifo = dir_.File("fifo.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  for (const std::string& path : {data_only, noise, dir_.File("absent.wma"), fifo}) {
    const Opened o = Init(path);
    EXPECT_LT(o.result, 0) << path;
    EXPECT_TRUE(Untouched(o)) << path;
    EXPECT_EQ(file_exit(), 0);
  }
  EXPECT_EQ(Init(data_only).result, AVPULL_E_NOSTREAM);
  file_exit();
  EXPECT_EQ(Init(dir_.File("absent.wma")).result, AVPULL_E_FAIL);
  file_exit();
}

// The widening paths: a mono 8-bit source reports 16-bit stereo, each block is four times the
// bytes decoded (1024 decoded with the default 4096-byte buffer), left equals right, and
// silence stays silence.
TEST_F(Avpull, MonoEightBitSourceComesOutAsSixteenBitStereo) {
  const std::string path = dir_.File("u8.wav");
  ASSERT_TRUE(Ffmpeg(SineInput(500, 11025, 2) + " -ac 1 -c:a pcm_u8", path));
  const Opened o = Init(path);
  ASSERT_EQ(o.result, 0);
  ASSERT_EQ(o.audio_status, AVPULL_AUDIO_READY);
  EXPECT_EQ(o.audio.nChannels, 2);
  EXPECT_EQ(o.audio.wBitsPerSample, 16);
  EXPECT_EQ(o.audio.nSamplesPerSec, 11025u);
  EXPECT_EQ(o.audio.nBlockAlign, 4);
  EXPECT_EQ(o.audio.nAvgBytesPerSec, 44100u);

  std::size_t largest = 0;
  const auto pcm = AllAudio(o.audio, &largest);
  EXPECT_EQ(largest, 4096u);
  EXPECT_EQ(pcm.size(), 2u * 11025 * 4);
  double sum = 0;
  for (std::size_t i = 0; i < pcm.size() / 4; ++i) {
    ASSERT_EQ(Sample(pcm, 2 * i), Sample(pcm, 2 * i + 1)) << i;
    sum += Sample(pcm, 2 * i);
  }
  EXPECT_NEAR(sum / (pcm.size() / 4), 0.0, 300.0);  // a sine centred on silence
}

TEST_F(Avpull, MonoSourceAt22050ComesOutAsStereo) {
  const std::string path = dir_.File("mono.wma");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 22050, 2) + " -ac 1 -c:a wmav2", path));
  const Opened o = Init(path);
  ASSERT_EQ(o.result, 0);
  EXPECT_EQ(o.audio.nChannels, 2);
  EXPECT_EQ(o.audio.wBitsPerSample, 16);
  EXPECT_EQ(o.audio.nSamplesPerSec, 22050u);
  std::size_t largest = 0;
  const auto pcm = AllAudio(o.audio, &largest);
  EXPECT_EQ(largest, 4096u);
  EXPECT_NEAR(static_cast<double>(pcm.size()) / o.audio.nAvgBytesPerSec, 2.0, 0.1);
  for (std::size_t i = 0; i < pcm.size() / 4; ++i) ASSERT_EQ(Sample(pcm, 2 * i), Sample(pcm, 2 * i + 1)) << i;
}

// A known picture (red left half, blue right half) comes out as the right 32-bit pixels.
TEST_F(Avpull, VideoFramesHoldTheRightPixels) {
  const std::string path = dir_.File("rb.mp4");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i \"color=c=red:s=32x48:r=25:d=1[l];color=c=blue:s=32x48:r=25:d=1[r];"
                     "[l][r]hstack[out0]\" -c:v libx264 -pix_fmt yuv444p -qp 0",
                     path));
  const Opened o = Init(path);
  ASSERT_EQ(o.result, 0);
  ASSERT_EQ(o.video_status, AVPULL_VIDEO_READY);
  for (int n = 0; n < 3; ++n) {
    uint8_t* pixels = nullptr;
    int32_t size = 0;
    AVPULL_STREAM_TIME start = -1;
    AVPULL_STREAM_TIME end = -1;
    ASSERT_EQ(file_get_video_frame(&pixels, &size, &start, &end), 0);
    ASSERT_EQ(size, 64 * 48 * 4);
    EXPECT_EQ(start, n * 400000);
    uint32_t left = 0;
    uint32_t right = 0;
    std::memcpy(&left, pixels + (10 * 64 + 5) * 4, 4);
    std::memcpy(&right, pixels + (40 * 64 + 60) * 4, 4);
    EXPECT_NEAR(static_cast<double>((left >> 16) & 0xFF), 255, 4) << std::hex << left;
    EXPECT_LE(left & 0xFF00FFFFu, 0x00000404u) << std::hex << left;
    EXPECT_NEAR(static_cast<double>(right & 0xFF), 255, 4) << std::hex << right;
    EXPECT_LE(right & 0xFFFFFF00u, 0x00040400u) << std::hex << right;
  }
}

TEST_F(Avpull, AudioBufferSizeRulesAndItsLifetime) {
  const std::string path = dir_.File("a.wav");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) + " -ac 2", path));
  Opened o = Init(path);
  ASSERT_EQ(o.result, 0);
  EXPECT_EQ(set_audio_buffer_size(4096), AVPULL_BUFFER_SET);  // unchanged
  EXPECT_EQ(set_audio_buffer_size(0), AVPULL_BUFFER_REFUSED);
  EXPECT_EQ(set_audio_buffer_size(-4), AVPULL_BUFFER_REFUSED);
  EXPECT_EQ(set_audio_buffer_size(3), AVPULL_BUFFER_REFUSED);  // less than one stereo sample
  EXPECT_EQ(set_audio_buffer_size(1 << 30), AVPULL_BUFFER_REFUSED);
  EXPECT_EQ(NextAudio().bytes.size(), 4096u);  // the refusals changed nothing
  EXPECT_EQ(set_audio_buffer_size(1001), AVPULL_BUFFER_SET);
  EXPECT_EQ(NextAudio().bytes.size(), 1000u);  // whole samples only
  file_exit();

  // The size outlives the file: the next one is read in blocks of the same size.
  o = Init(path);
  ASSERT_EQ(o.result, 0);
  std::size_t largest = 0;
  const auto pcm = AllAudio(o.audio, &largest);
  EXPECT_EQ(largest, 1000u);
  EXPECT_EQ(pcm.size(), 44100u * 4);
}

// The source's own channel count, which the delivered format hides (mono arrives as stereo,
// 5.1 mixed down): 0 without an open file with audio.
TEST_F(Avpull, SourceChannelsAreTheSourcesOwn) {
  const struct {
    const char* file;
    std::string arguments;
    int channels;
  } cases[] = {
      {"mono.wav", SineInput(1000, 22050, 1) + " -ac 1", 1},
      {"stereo.wma", SineInput(1000, 44100, 1) + " -ac 2 -c:a wmav2", 2},
      {"surround.flac", SineInput(1000, 48000, 1) + " -ac 6 -c:a flac", 6},
      {"video.wmv", TestPattern(1) + "-c:v wmv2", 0},
  };
  EXPECT_EQ(file_get_source_channels(), 0);
  for (const auto& c : cases) {
    const std::string path = dir_.File(c.file);
    ASSERT_TRUE(Ffmpeg(c.arguments, path));
    const Opened o = Init(path);
    EXPECT_EQ(o.result, 0) << c.file;
    EXPECT_EQ(file_get_source_channels(), c.channels) << c.file;
    EXPECT_EQ(file_exit(), 0);
    EXPECT_EQ(file_get_source_channels(), 0) << "after closing " << c.file;
  }
}

// Calls with no file open are refused with their out-pointers set to none.
TEST_F(Avpull, CallsWithoutAnOpenFileAreRefused) {
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(set_audio_buffer_size(1000), AVPULL_BUFFER_NO_SAMPLE);
    EXPECT_EQ(NextAudio().result, AVPULL_E_NOTINIT);
    uint8_t dummy = 0;
    uint8_t* pixels = &dummy;
    int32_t size = 0;
    AVPULL_STREAM_TIME start = 0;
    AVPULL_STREAM_TIME end = 0;
    EXPECT_EQ(file_get_video_frame(&pixels, &size, &start, &end), AVPULL_E_NOTINIT);
    EXPECT_EQ(pixels, nullptr);
    EXPECT_EQ(file_exit(), 0);
  }
  EXPECT_EQ(file_get_audio_sample(nullptr, nullptr, nullptr, nullptr), AVPULL_E_POINTER);
  EXPECT_EQ(file_get_video_frame(nullptr, nullptr, nullptr, nullptr), AVPULL_E_POINTER);
  AVPULL_STREAM_TIME duration = 0;
  EXPECT_EQ(file_init(nullptr, &duration, nullptr, nullptr, nullptr, nullptr), AVPULL_E_POINTER);
  EXPECT_EQ(file_exit(), 0);
}

// The second file starts with nothing of the first: no frames of the first file's video, times
// from 0, the second file's own format.
TEST_F(Avpull, TwoFilesOneAfterTheOther) {
  const std::string movie = dir_.File("m.wmv");
  ASSERT_TRUE(Ffmpeg(TestPattern(1) + SineInput(1000, 44100, 1) + " -c:v wmv2 -c:a wmav2", movie));
  const std::string wav = dir_.File("u8.wav");
  ASSERT_TRUE(Ffmpeg(SineInput(500, 8000, 1) + " -ac 1 -c:a pcm_u8", wav));

  Opened o = Init(movie);
  ASSERT_EQ(o.video_status, AVPULL_VIDEO_READY);
  uint8_t* pixels = nullptr;
  int32_t size = 0;
  AVPULL_STREAM_TIME start = 0;
  AVPULL_STREAM_TIME end = 0;
  for (int n = 0; n < 5; ++n) ASSERT_EQ(file_get_video_frame(&pixels, &size, &start, &end), 0);
  NextAudio();
  EXPECT_EQ(file_exit(), 0);

  o = Init(wav);
  ASSERT_EQ(o.result, 0);
  EXPECT_EQ(o.video_status, AVPULL_VIDEO_NONE);
  EXPECT_EQ(o.audio.nSamplesPerSec, 8000u);
  EXPECT_EQ(file_get_video_frame(&pixels, &size, &start, &end), AVPULL_E_NOSTREAM);
  EXPECT_EQ(pixels, nullptr);
  const auto pcm = AllAudio(o.audio);
  EXPECT_EQ(pcm.size(), 8000u * 4);
  EXPECT_EQ(file_exit(), 0);

  // And a file_init without file_exit in between still starts clean.
  o = Init(movie);
  ASSERT_EQ(o.result, 0);
  o = Init(movie);
  ASSERT_EQ(o.result, 0);
  ASSERT_EQ(file_get_video_frame(&pixels, &size, &start, &end), 0);
  EXPECT_EQ(start, 0);
}

TEST(CInterface, RecordsHaveThePlatformSizesInC) {
  EXPECT_EQ(avpull_c_record_size(0), 18u);
  EXPECT_EQ(avpull_c_record_size(1), 88u);
  EXPECT_EQ(avpull_c_record_size(2), 8u);
  TempDir dir;
  const std::string path = dir.File("a.wmv");
  ASSERT_TRUE(Ffmpeg(TestPattern(1) + SineInput(1000, 44100, 1) + " -c:v wmv2 -c:a wmav2", path));
  EXPECT_EQ(avpull_c_call_all(path.c_str()), 0);
}

}  // namespace
