// Files that are not usable media: each gives a clear status with the reason in words, never a
// crash or a hang.
#include "platform/mmstream/media_stream.h"
#include "platform/mmstream/tests/media_fixtures.h"
#include "platform/mmstream/tests/read_all.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <future>

using namespace platform::mmstream;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;

namespace {

Result OpenAudio(const std::string& path) {
  std::unique_ptr<MediaStream> media;
  Result result = MediaStream::Open(path, kAudioStream, media);
  EXPECT_EQ(media != nullptr, result.Ok());
  EXPECT_EQ(result.reason.empty(), result.Ok()) << result.status;
  return result;
}

// What a file that cannot be converted ends in: a failure, not the end of the data.
bool IsFailure(const Result& result) {
  return !result.Ok() && result.status != Status::EndOfStream && result.status != Status::Pending;
}

TEST(BadInput, MissingFileSaysSo) {
  TempDir dir;
  const Result result = OpenAudio(dir.File("absent.wma"));
  EXPECT_EQ(result.status, Status::Error);
  EXPECT_EQ(result.reason, "No such file or directory");
}

TEST(BadInput, ZeroLengthFileIsNotMedia) {
  TempDir dir;
  const std::string path = dir.File("empty.wma");
  media_fixtures::WriteBytes(path, {});
  const Result result = OpenAudio(path);
  EXPECT_EQ(result.status, Status::NotMedia);
  EXPECT_EQ(result.reason, "Invalid data found when processing input");
}

TEST(BadInput, RandomBytesWithAMediaNameAreNotMedia) {
  TempDir dir;
  for (uint32_t seed : {1u, 2u, 3u}) {
    const std::string path = dir.File("noise" + std::to_string(seed) + ".wma");
    media_fixtures::WriteBytes(path, media_fixtures::RandomBytes(64 * 1024, seed));
    const Result result = OpenAudio(path);
    EXPECT_TRUE(result.status == Status::NotMedia || result.status == Status::Error) << result.status;
  }
}

TEST(BadInput, FolderIsNotMedia) {
  TempDir dir;
  const Result result = OpenAudio(dir.Path());
  EXPECT_TRUE(IsFailure(result)) << result.status;
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
  EXPECT_TRUE(IsFailure(OpenAudio(header_cut)));

  const std::string half = dir.File("half.wma");
  media_fixtures::WriteBytes(half, {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)});
  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(half, kAudioStream, media).Ok());
  media->SetRunning(true);
  const auto decoded = mmstream_test::ReadAll(*media);
  EXPECT_EQ(decoded.final_result.status, Status::EndOfStream);
  EXPECT_NEAR(decoded.last_end / 1e7, 2.0, 0.3);
}

TEST(BadInput, VideoOnlyFileHasNoAudioStream) {
  TempDir dir;
  const std::string path = dir.File("silent.wmv");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v wmv2", path));
  const Result result = OpenAudio(path);
  EXPECT_EQ(result.status, Status::NoStream);
  EXPECT_EQ(result.reason, "The file has no audio stream.");

  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(path, kAudioStream | kVideoStream, media).Ok());
  EXPECT_FALSE(media->HasAudio());
  EXPECT_TRUE(media->HasVideo());
  EXPECT_EQ(media->AudioFormat(), PcmFormat{});
}

// A WAV whose header promises audio but holds no sample at all yields nothing to convert.
TEST(BadInput, AudioStreamWithoutSamplesIsAnError) {
  TempDir dir;
  const std::string path = dir.File("nothing.wav");
  media_fixtures::WriteBytes(path, media_fixtures::PcmWav({}, 2, 44100));
  EXPECT_EQ(OpenAudio(path).status, Status::NotMedia);
}

// Only regular files are read: a FIFO without a writer would hold FFmpeg in open() for good and
// a device may never end. Each is refused at once; a link to a regular file still opens.
TEST(BadInput, NonRegularFilesAreRefusedWithoutBlocking) {
  TempDir dir;
  const std::string fifo = dir.File("f.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero"), std::string("/dev/null")}) {
    auto opened = std::async(std::launch::async, [&] {
      std::unique_ptr<MediaStream> media;
      return MediaStream::Open(path, kAudioStream, media);
    });
    if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      // Release the open so the test can end, then fail.
      const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
      FAIL() << path << " blocked the open";
    }
    const Result result = opened.get();
    EXPECT_EQ(result.status, Status::Error) << path;
    EXPECT_NE(result.reason.find("Not a regular file"), std::string::npos) << path << ": " << result.reason;
  }

  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1), dir.File("real.wav")));
  std::filesystem::create_symlink(dir.File("real.wav"), dir.File("link.wav"));
  EXPECT_TRUE(OpenAudio(dir.File("link.wav")).Ok());
}

// A program that was told to stop is never held up by a media file: after the request, reads
// of an open stream and new opens give up.
TEST(BadInput, InterruptRequestEndsReadsAndOpens) {
  TempDir dir;
  const std::string path = dir.File("long.wav");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 30), path));
  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(path, kAudioStream, media).Ok());
  media->SetRunning(true);
  RequestInterrupt();
  const auto decoded = mmstream_test::ReadAll(*media);
  EXPECT_TRUE(IsFailure(decoded.final_result)) << decoded.final_result.status;
  EXPECT_EQ(decoded.final_result.reason, "Immediate exit requested");
  EXPECT_LT(decoded.last_end / 1e7, 5.0);
  EXPECT_TRUE(IsFailure(OpenAudio(path)));
  ClearInterruptRequest();
  EXPECT_TRUE(OpenAudio(path).Ok());
}

// A few kilobytes must not make FFmpeg allocate gigabytes: a WAV whose text chunk claims 2 GB
// (fuzzing found one) is refused or read, but the process does not grow by the claim.
TEST(BadInput, AChunkClaimingGigabytesAllocatesNothingLikeIt) {
  TempDir dir;
  std::vector<uint8_t> wav = media_fixtures::PcmWav(std::vector<int16_t>(4000, 100), 1, 8000);
  const auto le32 = [](std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  std::vector<uint8_t> list = {'L', 'I', 'S', 'T'};
  le32(list, 0xFA00001Au);
  list.insert(list.end(), {'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T'});
  le32(list, 0x7C000000u);  // a text of 2 GB
  list.insert(list.end(), {'x', 'y', 'z'});
  const std::size_t afterFormat = 12 + 8 + 16;  // "RIFF" size "WAVE", then the 16-byte fmt chunk
  ASSERT_EQ(std::string(wav.begin() + afterFormat, wav.begin() + afterFormat + 4), "data");
  wav.insert(wav.begin() + static_cast<std::ptrdiff_t>(afterFormat), list.begin(), list.end());
  const std::string path = dir.File("claims.wav");
  media_fixtures::WriteBytes(path, wav);

  rusage before{}, after{};
  ::getrusage(RUSAGE_SELF, &before);
  std::unique_ptr<MediaStream> media;
  const Result result = MediaStream::Open(path, kAudioStream, media);
  ::getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 300 * 1024) << "kilobytes";
  EXPECT_EQ(result.reason.empty(), result.Ok());
}

// Names are files, never FFmpeg protocols: "concat:…" or "subfile:…" must not make FFmpeg read
// other files or parts of them.
TEST(BadInput, ProtocolLikeNamesAreOpenedAsPlainFiles) {
  TempDir dir;
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1), dir.File("real.wav")));
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const Result concat = OpenAudio("concat:real.wav|real.wav");
  EXPECT_EQ(concat.status, Status::Error);
  EXPECT_EQ(concat.reason, "No such file or directory");
  std::filesystem::copy_file("real.wav", "subfile:real.wav");
  EXPECT_TRUE(OpenAudio("subfile:real.wav").Ok());
  std::filesystem::current_path(previous);
}

TEST(StartupCheck, WindowsMediaAudioCanBeDecoded) { EXPECT_TRUE(CanDecodeWindowsMedia()); }

}  // namespace
