// The facts of an ASF header that FFmpeg does not pass on, read from real ffmpeg-written files
// and from headers derived from them: a cut header, lying sizes, an encryption object.
#include "platform/mmstream/asf_header.h"
#include "platform/mmstream/media_stream.h"
#include "platform/mmstream/tests/media_fixtures.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <utility>

using namespace platform::mmstream;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;

namespace {

void PutLe64(std::vector<uint8_t>& bytes, std::size_t at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

struct AsfHeader : ::testing::Test {
  TempDir dir;
  std::vector<uint8_t> wma;
  void SetUp() override {
    ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 6) + " -c:a wmav2", dir.File("six.wma")));
    wma = media_fixtures::ReadBytes(dir.File("six.wma"));
  }
  // The bytes with an empty encryption object added as the header's first child.
  std::vector<uint8_t> WithEncryptionObject() const { return media_fixtures::WithAsfEncryptionObject(wma); }
};

}  // namespace

TEST_F(AsfHeader, AWholeFileStatesItsPlayingTimeWithoutThePreroll) {
  const AsfHeaderFacts facts = ReadAsfHeaderFacts(wma.data(), wma.size());
  EXPECT_TRUE(facts.isAsf);
  EXPECT_NEAR(facts.playDuration / 1e7, 6.0, 0.1);
  EXPECT_FALSE(facts.encrypted);
}

// A file cut to a tenth still states the length it was made with, which FFmpeg then sets aside
// for an estimate from the bytes that are left.
TEST_F(AsfHeader, AFileCutShortStillDeclaresItsWholeLength) {
  const std::string cut = dir.File("cut.wma");
  media_fixtures::WriteBytes(cut, {wma.begin(), wma.begin() + static_cast<std::ptrdiff_t>(wma.size() / 10)});
  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(cut, kAudioStream, media).Ok());
  EXPECT_LT(media->Duration() / 1e7, 2.0);
  EXPECT_NEAR(media->DeclaredDuration() / 1e7, 6.0, 0.1);
}

TEST_F(AsfHeader, HostileHeadersGiveWhatWasFoundBeforeTheFault) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool isAsf, encrypted;
  };
  std::vector<uint8_t> hugeChild = WithEncryptionObject();
  PutLe64(hugeChild, 30 + 16, 1ull << 62);  // the added child claims far more than there is
  std::vector<uint8_t> tinyChild = WithEncryptionObject();
  PutLe64(tinyChild, 30 + 16, 3);  // smaller than its own header
  std::vector<uint8_t> hugeHeader = WithEncryptionObject();
  PutLe64(hugeHeader, 16, ~0ull);
  const std::vector<uint8_t> encrypted = WithEncryptionObject();
  const Case cases[] = {
      {"encrypted", encrypted, true, true},
      {"header cut inside the added object", {encrypted.begin(), encrypted.begin() + 40}, true, false},
      {"child larger than the header", hugeChild, true, false},
      {"child smaller than its header", tinyChild, true, false},
      {"header size beyond the file", hugeHeader, true, true},
      {"not ASF", media_fixtures::RandomBytes(4096, 5), false, false},
      {"too short for a header", {wma.begin(), wma.begin() + 20}, false, false},
  };
  for (const Case& c : cases) {
    const AsfHeaderFacts facts = ReadAsfHeaderFacts(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(facts.isAsf, c.isAsf) << c.name;
    EXPECT_EQ(facts.encrypted, c.encrypted) << c.name;
  }
}

// An encrypted file is refused with the reason in plain words, by the open and by the check the
// inspection of an added file uses; the same file without the object opens.
TEST_F(AsfHeader, ProtectedFilesAreRefusedWithTheReason) {
  constexpr std::uint8_t kExtendedGuid[16] = {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C,
                                              0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C};
  std::vector<uint8_t> extended = WithEncryptionObject();
  std::memcpy(extended.data() + 30, kExtendedGuid, 16);
  for (const auto& [name, bytes] : {std::pair{"protected.wma", WithEncryptionObject()}, {"extended.wma", extended}}) {
    const std::string path = dir.File(name);
    media_fixtures::WriteBytes(path, bytes);
    EXPECT_TRUE(IsProtected(path)) << name;
    std::unique_ptr<MediaStream> media;
    const Result result = MediaStream::Open(path, kAudioStream | kVideoStream, media);
    EXPECT_EQ(result.status, Status::Error) << name;
    EXPECT_EQ(result.reason, kProtectedFileText) << name;
    EXPECT_FALSE(media);
  }
  ASSERT_EQ(mkfifo(dir.File("pipe.wma").c_str(), 0600), 0);
  ASSERT_TRUE(Ffmpeg(SineInput(440, 44100, 0.2) + " -c:a libmp3lame", dir.File("song.mp3")));
  media_fixtures::WriteBytes(dir.File("empty.wma"), {});
  for (const std::string& path : {dir.File("six.wma"), dir.File("song.mp3"), dir.File("empty.wma"),
                                  dir.File("missing.wma"), dir.Path(), dir.File("pipe.wma"), std::string("/dev/zero")}) {
    EXPECT_FALSE(IsProtected(path)) << path;
  }
}
