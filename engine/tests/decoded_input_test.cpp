// The decoded input stage and its reader on real media files made by FFmpeg's own encoders.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "engine/decoded_input.h"
#include "test_components.h"
#include "platform/mmstream/tests/media_fixtures.h"

using namespace engine;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;

namespace {

std::vector<std::uint8_t> ReadThrough(DecodedInput& in, int bufferSize) {
  std::vector<std::uint8_t> all, buffer(static_cast<std::size_t>(bufferSize));
  for (int n; (n = in.GetData(buffer.data(), bufferSize)) > 0;) all.insert(all.end(), buffer.begin(), buffer.begin() + n);
  return all;
}

}  // namespace

struct DecodedInputTest : ::testing::Test {
  TempDir dir;
  std::string Make(const std::string& name, const std::string& args) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(Ffmpeg(args, path)) << args;
    return path;
  }
};

// Whatever the caller's buffer size, the bytes come out in order, none lost or repeated.
TEST_F(DecodedInputTest, CallerBuffersSmallerAndLargerThanABlockSeeTheSameBytes) {
  const std::string wma = Make("tone.wma", SineInput(1000, 44100, 2) + " -ac 2 -c:a wmav2 -b:a 128k");
  std::vector<std::uint8_t> reference;
  for (int size : {DecodedInput::kBlockBufferSize, 1, 4095, 70000}) {
    DecodedInput in(nullptr);
    in.fileName = wma;
    in.Init();
    const auto bytes = ReadThrough(in, size);
    in.Flush();
    if (reference.empty()) {
      reference = bytes;
      EXPECT_NEAR(reference.size(), 2 * 44100 * 8, 4096 * 8) << "about two seconds of float stereo";
    } else {
      ASSERT_EQ(bytes.size(), reference.size()) << "buffer size " << size;
      EXPECT_TRUE(bytes == reference) << "buffer size " << size;
    }
  }
}

// What the encoder gets: the decoder's float samples where it has them, centred 16-bit ones for
// an 8-bit source, mono as one channel, at the rate asked for.
TEST_F(DecodedInputTest, EachSourceArrivesAsTheEncoderTakesItLeast) {
  struct Case {
    const char* file;
    std::string arguments;
    int rate;
    int channels, bits;
    bool floating;
  } cases[] = {{"u8.wav", SineInput(500, 11025, 2) + " -ac 1 -c:a pcm_u8", 44100, 1, 16, false},
               {"tone.wma", SineInput(500, 22050, 2) + " -ac 1 -c:a wmav2", 44100, 1, 32, true},
               {"tone.flac", SineInput(500, 48000, 2) + " -ac 2 -c:a flac", 0, 2, 16, false}};
  for (const Case& c : cases) {
    DecodedInput in(nullptr);
    in.fileName = Make(c.file, c.arguments);
    in.deliveryRate = c.rate;
    in.Init();
    EXPECT_EQ(in.GetChannels(), c.channels) << c.file;
    EXPECT_EQ(in.GetBitsPerSample(), c.bits) << c.file;
    EXPECT_EQ(in.FloatSamples(), c.floating) << c.file;
    const int rate = in.GetSampleRate();
    EXPECT_EQ(rate, c.rate != 0 ? c.rate : 48000) << c.file;
    const auto bytes = ReadThrough(in, 10000);
    in.Flush();
    const int frameBytes = c.channels * c.bits / 8;
    EXPECT_NEAR(static_cast<double>(bytes.size()) / frameBytes / rate, 2.0, 0.03) << c.file;
    // A centred signal: a sine has no offset (unsigned 8-bit data taken as signed would have).
    double sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size() && c.bits == 16; i += 2)
      sum += static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8));
    EXPECT_LT(std::abs(sum / static_cast<double>(bytes.size() / 2 + 1)), 300.0) << c.file;
  }
}

TEST_F(DecodedInputTest, SizeCountsWholeSecondsOnly) {
  // 90.7 s of 16-bit stereo at 44.1 kHz: 90 × 44100 × 2 × 2 bytes.
  const std::string wav = Make("long.wav", SineInput(440, 44100, 90.7) + " -ac 2 -c:a pcm_s16le");
  DecodedInput in(nullptr);
  in.fileName = wav;
  in.OpenFile();
  EXPECT_EQ(in.Size(), 15876000);
  EXPECT_EQ(in.TotalSamples(), 90 * 44100);
  EXPECT_EQ(in.TimePerByte(), in.Reader()->StreamDuration() / 15876000);
  EXPECT_EQ(in.GetTotalTime(), 90);
  in.CloseFile();
}

// A source shorter than a second has no whole-second size; it must convert all the same.
TEST_F(DecodedInputTest, SubSecondSourceHasSizeZeroAndStillDeliversItsAudio) {
  const std::string wma = Make("short.wma", SineInput(1000, 44100, 0.4) + " -ac 2 -c:a wmav2");
  DecodedInput in(nullptr);
  in.fileName = wma;
  in.Init();
  EXPECT_EQ(in.Size(), 0);
  EXPECT_EQ(in.TimePerByte(), 0);
  const auto bytes = ReadThrough(in, 16384);
  EXPECT_NEAR(bytes.size(), 0.4 * 44100 * 8, 4096 * 8);
  in.Flush();
}

TEST_F(DecodedInputTest, OpensAreCountedAndTheLastCloseReleasesTheReader) {
  const std::string wma = Make("a.wma", SineInput(1000, 44100, 1) + " -c:a wmav2");
  DecodedInput in(nullptr);
  in.fileName = wma;
  in.OpenFile();
  in.OpenFile();
  in.CloseFile();
  EXPECT_NE(in.Reader(), nullptr);
  in.CloseFile();
  EXPECT_EQ(in.Reader(), nullptr);
  in.CloseFile();  // one too many changes nothing
  EXPECT_EQ(in.OpenCount(), 0);
}

TEST_F(DecodedInputTest, EndOfStreamReturnsZeroAgainAndAgain) {
  const std::string wma = Make("a.wma", SineInput(1000, 44100, 1) + " -c:a wmav2");
  DecodedInput in(nullptr);
  in.fileName = wma;
  EXPECT_EQ(enginetest::ErrorMessageOf([&] {
              char b[16];
              in.GetData(b, sizeof b);
            }),
            "The Stream is not opened");
  in.Init();
  ReadThrough(in, 32768);
  char buffer[1024];
  EXPECT_EQ(in.GetData(buffer, sizeof buffer), 0);
  EXPECT_EQ(in.GetData(buffer, sizeof buffer), 0);
  in.Flush();
}

TEST_F(DecodedInputTest, LoopStartsTheSourceOverInsteadOfEnding) {
  const std::string wma = Make("a.wma", SineInput(1000, 44100, 1) + " -c:a wmav2");
  DecodedInput in(nullptr);
  in.fileName = wma;
  in.loop = true;
  in.Init();
  std::vector<std::uint8_t> buffer(32768);
  std::int64_t total = 0;
  for (int i = 0; i < 200; ++i) {
    const int n = in.GetData(buffer.data(), 32768);
    ASSERT_GT(n, 0) << "a looping input never runs dry";
    total += n;
  }
  EXPECT_GT(total, 3 * 44100 * 4) << "more than three times the one-second source";
  in.Flush();
}

TEST_F(DecodedInputTest, SeekStartsDeliveryAtTheAskedSample) {
  const std::string wav = Make("a.wav", SineInput(1000, 44100, 3) + " -ac 2 -c:a pcm_s16le");
  DecodedInput whole(nullptr), part(nullptr);
  whole.fileName = part.fileName = wav;
  whole.Init();
  const auto all = ReadThrough(whole, 32768);
  whole.Flush();
  part.startSample = 44100;
  part.Init();
  EXPECT_EQ(part.Size(), 2 * 44100 * 4);
  const auto rest = ReadThrough(part, 32768);
  part.Flush();
  ASSERT_EQ(rest.size(), all.size() - 44100 * 4);
  EXPECT_TRUE(std::equal(rest.begin(), rest.end(), all.begin() + 44100 * 4));
}

// Position is read by the progress display while the worker decodes: never a torn value.
TEST_F(DecodedInputTest, StreamPositionOnlyMovesForwardWhileAnotherThreadWatches) {
  const std::string wma = Make("a.wma", SineInput(1000, 44100, 3) + " -c:a wmav2");
  DecodedInput in(nullptr);
  in.fileName = wma;
  in.Init();
  std::atomic<bool> finished{false};
  std::vector<std::int64_t> seen;
  std::thread watcher([&] {
    while (!finished) seen.push_back(in.Reader()->StreamPosition());
  });
  ReadThrough(in, 4096);
  finished = true;
  watcher.join();
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_NEAR(in.Reader()->StreamPosition(), 30'000'000, 1'000'000);
  in.Flush();
}

struct BadInput {
  const char* name;
  std::function<std::string(TempDir&)> make;
  const char* expected;
  platform::mmstream::Status status;
};

class BadInputs : public ::testing::TestWithParam<BadInput> {};

// A file that cannot be decoded ends in the reader's error with a clear reason, never a crash
// or a hang.
TEST_P(BadInputs, OpeningFailsWithTheMappedMessage) {
  TempDir dir;
  const std::string path = GetParam().make(dir);
  DecodedInput in(nullptr);
  in.fileName = path;
  try {
    in.OpenFile();
    FAIL() << "opened " << path;
  } catch (const AudioReadError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().expected);
    EXPECT_EQ(e.status, GetParam().status);
  }
  EXPECT_EQ(in.OpenCount(), 0);
  EXPECT_EQ(in.Reader(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadInputs,
    ::testing::Values(
        BadInput{"Missing", [](TempDir& d) { return d.File("missing.wma"); }, "No such file or directory",
                 platform::mmstream::Status::Error},
        BadInput{"ZeroLength",
                 [](TempDir& d) {
                   media_fixtures::WriteBytes(d.File("empty.wma"), {});
                   return d.File("empty.wma");
                 },
                 "Invalid data found when processing input", platform::mmstream::Status::NotMedia},
        BadInput{"TruncatedHeader",
                 [](TempDir& d) {
                   Ffmpeg(SineInput(1000, 44100, 1) + " -c:a wmav2", d.File("whole.wma"));
                   auto bytes = media_fixtures::ReadBytes(d.File("whole.wma"));
                   bytes.resize(300);
                   media_fixtures::WriteBytes(d.File("cut.wma"), bytes);
                   return d.File("cut.wma");
                 },
                 "Invalid data found when processing input", platform::mmstream::Status::NotMedia},
        BadInput{"RandomBytesNamedWma",
                 [](TempDir& d) {
                   media_fixtures::WriteBytes(d.File("noise.wma"), media_fixtures::RandomBytes(50000, 7));
                   return d.File("noise.wma");
                 },
                 "Invalid data found when processing input", platform::mmstream::Status::NotMedia},
        BadInput{"VideoOnly",
                 [](TempDir& d) {
                   Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v wmv2", d.File("video.wmv"));
                   return d.File("video.wmv");
                 },
                 "The file has no audio stream.", platform::mmstream::Status::NoStream}),
    [](const auto& param) { return std::string(param.param.name); });

