// Video frames: geometry, frame times, pixels in each surface depth, seeking and the wait limit.
#include "platform/mmstream/media_stream.h"
#include "platform/mmstream/tests/media_fixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace platform::mmstream;
using media_fixtures::Ffmpeg;
using media_fixtures::TempDir;

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// Two seconds at 25 frames per second: the left half red, the right half blue.
std::string MakeRedBlueVideo(const TempDir& dir, const std::string& name, const std::string& codec) {
  const std::string path = dir.File(name);
  EXPECT_TRUE(Ffmpeg("-f lavfi -i \"color=c=red:s=32x48:r=25:d=2[l];color=c=blue:s=32x48:r=25:d=2[r];"
                     "[l][r]hstack[out0]\" " + codec,
                     path));
  return path;
}

std::unique_ptr<MediaStream> OpenVideo(const std::string& path) {
  std::unique_ptr<MediaStream> media;
  EXPECT_TRUE(MediaStream::Open(path, kVideoStream, media).Ok());
  if (media) media->SetRunning(true);
  return media;
}

struct Rgb {
  int r, g, b;
};

Rgb PixelAt(const std::vector<uint8_t>& frame, int bits, int x, int y) {
  const std::size_t at = (static_cast<std::size_t>(y) * kWidth + x) * (bits / 8);
  if (bits == 16) {
    const int p = frame[at] | (frame[at + 1] << 8);
    return {(p >> 11) << 3, ((p >> 5) & 63) << 2, (p & 31) << 3};
  }
  return {frame[at + 2], frame[at + 1], frame[at]};  // B, G, R in memory
}

void ExpectColour(const Rgb& got, const Rgb& want, const std::string& where) {
  EXPECT_LE(std::abs(got.r - want.r), 24) << where;
  EXPECT_LE(std::abs(got.g - want.g), 24) << where;
  EXPECT_LE(std::abs(got.b - want.b), 24) << where;
}

// Catches swapped colour channels, rows in the wrong order or with a stride, and a wrong
// 16-bit packing, in each of the three depths.
TEST(Video, FramesAreRenderedInEachDepth) {
  TempDir dir;
  const std::string path = MakeRedBlueVideo(dir, "a.mp4", "-c:v libx264 -pix_fmt yuv444p -qp 0");
  for (int bits : {32, 24, 16}) {
    auto media = OpenVideo(path);
    ASSERT_TRUE(media);
    ASSERT_EQ(media->SetVideoBitsPerPixel(bits), Status::Ok);
    std::vector<uint8_t> frame(media->VideoFormat().FrameBytes());
    ASSERT_EQ(frame.size(), static_cast<std::size_t>(kWidth * kHeight * bits / 8));
    for (int n = 0; n < 3; ++n) {
      Time start = -1;
      Time end = -1;
      ASSERT_TRUE(media->ReadVideoFrame(frame.data(), static_cast<uint32_t>(frame.size()), start, end).Ok());
      EXPECT_EQ(start, n * 400000) << bits;
      EXPECT_EQ(end, (n + 1) * 400000) << bits;
    }
    const std::string depth = std::to_string(bits) + " bits";
    ExpectColour(PixelAt(frame, bits, 2, 2), {255, 0, 0}, depth + " top left");
    ExpectColour(PixelAt(frame, bits, kWidth - 3, 2), {0, 0, 255}, depth + " top right");
    ExpectColour(PixelAt(frame, bits, 2, kHeight - 3), {255, 0, 0}, depth + " bottom left");
    ExpectColour(PixelAt(frame, bits, kWidth - 3, kHeight - 3), {0, 0, 255}, depth + " bottom right");
    if (bits == 32) {
      for (std::size_t i = 3; i < frame.size(); i += 4) ASSERT_EQ(frame[i], 0) << "pixel " << i / 4;
    }
  }
}

TEST(Video, RefusesShortBuffersAndOddDepths) {
  TempDir dir;
  auto media = OpenVideo(MakeRedBlueVideo(dir, "a.wmv", "-c:v wmv2"));
  ASSERT_TRUE(media);
  EXPECT_EQ(media->SetVideoBitsPerPixel(8), Status::InvalidArgument);
  EXPECT_EQ(media->VideoFormat().bitsPerPixel, 32);
  std::vector<uint8_t> frame(media->VideoFormat().FrameBytes() - 1);
  Time start = 0;
  Time end = 0;
  EXPECT_EQ(media->ReadVideoFrame(frame.data(), static_cast<uint32_t>(frame.size()), start, end).status,
            Status::InvalidArgument);
}

TEST(Video, GeometryThenEveryFrameThenTheEnd) {
  TempDir dir;
  auto media = OpenVideo(MakeRedBlueVideo(dir, "a.wmv", "-c:v wmv2"));
  ASSERT_TRUE(media);
  EXPECT_EQ(media->VideoFormat(), (FrameFormat{kWidth, kHeight, 32, 400000}));
  EXPECT_EQ(media->VideoFormat().FrameBytes(), static_cast<uint32_t>(kWidth * kHeight * 4));
  std::vector<uint8_t> frame(media->VideoFormat().FrameBytes());
  Time start = 0;
  Time end = 0;
  int frames = 0;
  Result result;
  while ((result = media->ReadVideoFrame(frame.data(), static_cast<uint32_t>(frame.size()), start, end)).Ok()) {
    ASSERT_LT(++frames, 1000);
  }
  EXPECT_EQ(result.status, Status::EndOfStream);
  EXPECT_EQ(frames, 50);
  EXPECT_EQ(end, 20'000'000);
}

TEST(Video, SeekShowsTheFrameAtTheTarget) {
  TempDir dir;
  auto media = OpenVideo(MakeRedBlueVideo(dir, "a.wmv", "-c:v wmv2 -g 12"));
  ASSERT_TRUE(media);
  std::vector<uint8_t> frame(media->VideoFormat().FrameBytes());
  Time start = 0;
  Time end = 0;
  ASSERT_TRUE(media->Seek(13'000'000).Ok());
  ASSERT_TRUE(media->ReadVideoFrame(frame.data(), static_cast<uint32_t>(frame.size()), start, end).Ok());
  EXPECT_EQ(start, 12'800'000);  // the frame shown at 1.3 s began at 1.28 s
  EXPECT_EQ(end, 13'200'000);
}

// A frame that does not arrive within the wait is reported as pending and the stream goes on
// from there.
TEST(Video, FrameNotReadyWithinTheWaitIsPending) {
  TempDir dir;
  auto media = OpenVideo(MakeRedBlueVideo(dir, "a.wmv", "-c:v wmv2"));
  ASSERT_TRUE(media);
  std::vector<uint8_t> frame(media->VideoFormat().FrameBytes());
  Time start = -1;
  Time end = -1;
  EXPECT_EQ(media->ReadVideoFrame(frame.data(), static_cast<uint32_t>(frame.size()), start, end,
                                  std::chrono::milliseconds(0))
                .status,
            Status::Pending);
  ASSERT_TRUE(media->ReadVideoFrame(frame.data(), static_cast<uint32_t>(frame.size()), start, end).Ok());
  EXPECT_EQ(start, 0);
}

TEST(Video, AudioAndVideoReadInAnyOrder) {
  TempDir dir;
  const std::string path = dir.File("both.wmv");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=2 " +
                         media_fixtures::SineInput(1000, 44100, 2) + " -c:v wmv2 -c:a wmav2",
                     path));
  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(path, kAudioStream | kVideoStream, media).Ok());
  ASSERT_TRUE(media->HasAudio());
  ASSERT_TRUE(media->HasVideo());
  media->SetRunning(true);
  std::vector<uint8_t> frame(media->VideoFormat().FrameBytes());
  std::vector<uint8_t> pcm(8192);
  Time start = 0;
  Time end = 0;
  uint32_t bytes = 0;
  uint64_t audio_bytes = 0;
  int frames = 0;
  // Ten frames first, then all the audio, then the rest of the frames: nothing is lost on
  // either side while the other is read.
  for (; frames < 10; ++frames) {
    ASSERT_TRUE(media->ReadVideoFrame(frame.data(), static_cast<uint32_t>(frame.size()), start, end).Ok());
  }
  while (media->ReadAudio(pcm.data(), static_cast<uint32_t>(pcm.size()), bytes, start, end).Ok()) {
    audio_bytes += bytes;
  }
  while (media->ReadVideoFrame(frame.data(), static_cast<uint32_t>(frame.size()), start, end).Ok()) ++frames;
  EXPECT_EQ(frames, 50);
  EXPECT_NEAR(static_cast<double>(audio_bytes) / media->AudioFormat().BytesPerSecond(), 2.0, 0.05);
}

}  // namespace
