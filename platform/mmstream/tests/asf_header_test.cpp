// The facts of an ASF header that FFmpeg does not pass on, read from real ffmpeg-written files
// and from headers derived from them: a cut header, lying sizes, an encryption object.
#include "platform/mmstream/asf_header.h"
#include "platform/mmstream/media_stream.h"
#include "platform/mmstream/tests/media_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform;
using namespace platform::mmstream;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;

namespace {

constexpr std::uint8_t kContentEncryptionGuid[16] = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                                     0xB4, 0xB7, 0x00, 0xC0, 0x4F, 0xB3, 0xA5, 0xAA};

std::uint64_t Le64(const std::vector<uint8_t>& bytes, std::size_t at) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

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
  std::vector<uint8_t> WithEncryptionObject() const {
    std::vector<uint8_t> object(24, 0);
    std::memcpy(object.data(), kContentEncryptionGuid, 16);
    PutLe64(object, 16, object.size());
    std::vector<uint8_t> bytes = wma;
    bytes.insert(bytes.begin() + 30, object.begin(), object.end());
    PutLe64(bytes, 16, Le64(wma, 16) + object.size());
    bytes[24] = static_cast<uint8_t>(bytes[24] + 1);  // one more child object
    return bytes;
  }
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
  ASSERT_EQ(MediaStream::Open(cut, kAudioStream, media), S_OK);
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
