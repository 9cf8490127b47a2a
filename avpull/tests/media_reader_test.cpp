// The reader behind the exported functions, with the settings only tests change: the surface
// depth frames are rendered at, and the frame wait.
#include "avpull/media_reader.h"
#include "platform/mmstream/tests/media_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

using media_fixtures::Ffmpeg;
using media_fixtures::TempDir;

namespace {

std::string RedBlueVideo(const TempDir& dir) {
  const std::string path = dir.File("rb.mp4");
  EXPECT_TRUE(Ffmpeg("-f lavfi -i \"color=c=red:s=32x48:r=25:d=1[l];color=c=blue:s=32x48:r=25:d=1[r];"
                     "[l][r]hstack[out0]\" -c:v libx264 -pix_fmt yuv444p -qp 0",
                     path));
  return path;
}

struct Opened {
  int32_t result;
  int32_t video_status;
  AVPULL_VIDEOINFOHEADER video;
};

Opened Init(avpull::MediaReader& reader, const std::string& path) {
  Opened o{};
  AVPULL_STREAM_TIME duration = 0;
  int32_t audio_status = 0;
  AVPULL_WAVEFORMATEX audio{};
  o.result = reader.Init(path.c_str(), &duration, &o.video_status, &audio_status, &o.video, &audio);
  return o;
}

// 16- and 24-bit surfaces end in the same 32-bit pixels as the 32-bit path (within what the
// shallower depth can hold).
TEST(MediaReader, ShallowSurfacesConvertToThirtyTwoBitPixels) {
  TempDir dir;
  const std::string path = RedBlueVideo(dir);
  for (int bits : {16, 24}) {
    avpull::MediaReader::Options options;
    options.surface_bits = bits;
    avpull::MediaReader reader(options);
    const Opened o = Init(reader, path);
    ASSERT_EQ(o.result, 0) << bits;
    ASSERT_EQ(o.video_status, AVPULL_VIDEO_READY) << bits;
    EXPECT_EQ(o.video.bmiHeader.biBitCount, bits);
    uint8_t* pixels = nullptr;
    int32_t size = 0;
    AVPULL_STREAM_TIME start = 0;
    AVPULL_STREAM_TIME end = 0;
    ASSERT_EQ(reader.GetVideoFrame(&pixels, &size, &start, &end), 0) << bits;
    ASSERT_EQ(size, 64 * 48 * 4);
    uint32_t left = 0;
    uint32_t right = 0;
    std::memcpy(&left, pixels + (10 * 64 + 5) * 4, 4);
    std::memcpy(&right, pixels + (40 * 64 + 60) * 4, 4);
    const uint32_t red = bits == 16 ? 0x00F80000u : 0x00FF0000u;
    const uint32_t blue = bits == 16 ? 0x000000F8u : 0x000000FFu;
    EXPECT_NEAR(static_cast<double>(left), red, 0x00040404) << bits << std::hex << " " << left;
    EXPECT_NEAR(static_cast<double>(right), blue, 0x00040404) << bits << std::hex << " " << right;
    EXPECT_EQ(left >> 24, 0u);
    reader.Exit();
  }
}

// A frame that does not arrive within the waits is reported as 1 with no pixels.
TEST(MediaReader, FrameThatMissesTheWaitIsOne) {
  TempDir dir;
  avpull::MediaReader::Options options;
  options.frame_wait = std::chrono::milliseconds(0);
  avpull::MediaReader reader(options);
  ASSERT_EQ(Init(reader, RedBlueVideo(dir)).result, 0);
  uint8_t dummy = 0;
  uint8_t* pixels = &dummy;
  int32_t size = 0;
  AVPULL_STREAM_TIME start = 0;
  AVPULL_STREAM_TIME end = 0;
  EXPECT_EQ(reader.GetVideoFrame(&pixels, &size, &start, &end), AVPULL_FRAME_NOT_READY);
  EXPECT_EQ(pixels, nullptr);
  reader.Exit();
}

TEST(MediaReader, ExitAndFailedOpensLeaveNothingBehind) {
  TempDir dir;
  avpull::MediaReader reader;
  ASSERT_EQ(Init(reader, RedBlueVideo(dir)).result, 0);
  EXPECT_TRUE(reader.HoldsAnything());
  reader.Exit();
  EXPECT_FALSE(reader.HoldsAnything());
  EXPECT_LT(Init(reader, dir.File("absent.mp4")).result, 0);
  EXPECT_FALSE(reader.HoldsAnything());
  reader.Exit();
  EXPECT_EQ(reader.AudioBufferSize(), 4096);
}

}  // namespace

namespace {

namespace mm = platform::mmstream;

// Catches a status of the stream layer reaching callers of the C interface as another code: the
// codes are avpull.h's, which programs written against it compare with.
TEST(ResultCode, EachStatusHasItsInterfaceCode) {
  const std::pair<mm::Status, int32_t> rows[] = {
      {mm::Status::Ok, 0},
      {mm::Status::EndOfStream, 0x00040003},
      {mm::Status::Pending, 1},
      {mm::Status::NoStream, static_cast<int32_t>(0x80040403u)},
      {mm::Status::NotRunning, static_cast<int32_t>(0x80004005u)},
      {mm::Status::NoSeeking, static_cast<int32_t>(0x80004005u)},
      {mm::Status::InvalidArgument, static_cast<int32_t>(0x80070057u)},
      {mm::Status::NotMedia, static_cast<int32_t>(0x8004022Fu)},
      {mm::Status::Error, static_cast<int32_t>(0x80004005u)},
      {mm::Status::OutOfMemory, static_cast<int32_t>(0x8007000Eu)},
  };
  for (const auto& [status, code] : rows) EXPECT_EQ(avpull::ResultCode(status), code) << status;
}

}  // namespace
