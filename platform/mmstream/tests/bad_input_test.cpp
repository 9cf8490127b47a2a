// Files that are not usable media: each gives a clear result code (and a reason text where the
// code alone cannot say), never a crash or a hang.
#include "platform/mmstream/error_text.h"
#include "platform/mmstream/media_stream.h"
#include "platform/mmstream/tests/media_fixtures.h"
#include "platform/mmstream/tests/read_all.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

extern "C" {
#include <libavutil/error.h>
}

using namespace platform;
using namespace platform::mmstream;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;

namespace {

HRESULT OpenAudio(const std::string& path) {
  std::unique_ptr<MediaStream> media;
  const HRESULT hr = MediaStream::Open(path, kAudioStream, media);
  EXPECT_EQ(media != nullptr, hr == S_OK);
  return hr;
}

TEST(BadInput, MissingFileSaysSo) {
  TempDir dir;
  EXPECT_EQ(OpenAudio(dir.File("absent.wma")), E_FAIL);
  EXPECT_EQ(ErrorText(E_FAIL), "No such file or directory");
}

TEST(BadInput, ZeroLengthFileIsNotMedia) {
  TempDir dir;
  const std::string path = dir.File("empty.wma");
  media_fixtures::WriteBytes(path, {});
  EXPECT_EQ(OpenAudio(path), VFW_E_INVALID_FILE_FORMAT);
  EXPECT_EQ(ErrorText(VFW_E_INVALID_FILE_FORMAT), "Invalid data found when processing input");
}

TEST(BadInput, RandomBytesWithAMediaNameAreNotMedia) {
  TempDir dir;
  for (uint32_t seed : {1u, 2u, 3u}) {
    const std::string path = dir.File("noise" + std::to_string(seed) + ".wma");
    media_fixtures::WriteBytes(path, media_fixtures::RandomBytes(64 * 1024, seed));
    const HRESULT hr = OpenAudio(path);
    EXPECT_TRUE(hr == VFW_E_INVALID_FILE_FORMAT || hr == E_FAIL) << std::hex << hr;
    EXPECT_NE(ErrorText(hr), "") << seed;
  }
}

TEST(BadInput, FolderIsNotMedia) {
  TempDir dir;
  const HRESULT hr = OpenAudio(dir.Path());
  EXPECT_TRUE(Failed(hr));
  EXPECT_NE(ErrorText(hr), "");
}

// A file cut inside its header cannot be opened; one cut in the middle of its data plays up to
// the cut and then ends normally.
TEST(BadInput, TruncatedFiles) {
  TempDir dir;
  const std::string path = dir.File("whole.wma");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 4) + " -ac 2 -c:a wmav2", path));
  const auto whole = media_fixtures::ReadBytes(path);

  const std::string header_cut = dir.File("header.wma");
  media_fixtures::WriteBytes(header_cut, {whole.begin(), whole.begin() + 300});
  const HRESULT hr = OpenAudio(header_cut);
  EXPECT_TRUE(Failed(hr)) << std::hex << hr;

  const std::string half = dir.File("half.wma");
  media_fixtures::WriteBytes(half, {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)});
  std::unique_ptr<MediaStream> media;
  ASSERT_EQ(MediaStream::Open(half, kAudioStream, media), S_OK);
  media->SetRunning(true);
  const auto decoded = mmstream_test::ReadAll(*media);
  EXPECT_EQ(decoded.final_result, MS_S_ENDOFSTREAM);
  EXPECT_NEAR(decoded.last_end / 1e7, 2.0, 0.3);
}

TEST(BadInput, VideoOnlyFileHasNoAudioStream) {
  TempDir dir;
  const std::string path = dir.File("silent.wmv");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v wmv2", path));
  EXPECT_EQ(OpenAudio(path), MS_E_NOSTREAM);

  std::unique_ptr<MediaStream> media;
  ASSERT_EQ(MediaStream::Open(path, kAudioStream | kVideoStream, media), S_OK);
  EXPECT_FALSE(media->HasAudio());
  EXPECT_TRUE(media->HasVideo());
  EXPECT_EQ(media->AudioFormat().nChannels, 0);
}

// A WAV whose header promises audio but holds no sample at all yields nothing to convert.
TEST(BadInput, AudioStreamWithoutSamplesIsAnError) {
  TempDir dir;
  const std::string path = dir.File("nothing.wav");
  media_fixtures::WriteBytes(path, media_fixtures::PcmWav({}, 2, 44100));
  EXPECT_EQ(OpenAudio(path), VFW_E_INVALID_FILE_FORMAT);
  EXPECT_NE(ErrorText(VFW_E_INVALID_FILE_FORMAT), "");
}

// Names are files, never FFmpeg protocols: "concat:…" or "subfile:…" must not make FFmpeg read
// other files or parts of them.
TEST(BadInput, ProtocolLikeNamesAreOpenedAsPlainFiles) {
  TempDir dir;
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1), dir.File("real.wav")));
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  EXPECT_EQ(OpenAudio("concat:real.wav|real.wav"), E_FAIL);
  EXPECT_EQ(ErrorText(E_FAIL), "No such file or directory");
  std::filesystem::copy_file("real.wav", "subfile:real.wav");
  EXPECT_EQ(OpenAudio("subfile:real.wav"), S_OK);
  std::filesystem::current_path(previous);
}

// The reason for a code belongs to the thread that got it: another thread's failure with the
// same code does not change it.
TEST(ErrorTexts, AreKeptPerThread) {
  RecordFailure(E_FAIL, AVERROR(EACCES));
  std::string other_text;
  std::thread other([&] {
    EXPECT_EQ(ErrorText(E_FAIL), "");
    std::unique_ptr<MediaStream> media;
    MediaStream::Open("/nonexistent/tavisto/a.wma", kAudioStream, media);
    other_text = ErrorText(E_FAIL);
  });
  other.join();
  EXPECT_EQ(other_text, "No such file or directory");
  EXPECT_EQ(ErrorText(E_FAIL), "Permission denied");
}

// The table has a fixed size: many different codes keep only the most recent texts, and codes
// the layer never produced have none.
TEST(ErrorTexts, AreBoundedAndOnlyForProducedCodes) {
  for (uint32_t i = 0; i < 100; ++i) RecordFailure(MakeResult(0x80001000u + i), AVERROR(ENOENT));
  EXPECT_EQ(ErrorText(MakeResult(0x80001000u + 99)), "No such file or directory");
  EXPECT_EQ(ErrorText(MakeResult(0x80001000u)), "");
  EXPECT_EQ(ErrorText(S_OK), "");
  EXPECT_EQ(ErrorText(MS_E_NOSTREAM), "");
}

TEST(StartupCheck, WindowsMediaAudioCanBeDecoded) { EXPECT_TRUE(CanDecodeWindowsMedia()); }

}  // namespace
