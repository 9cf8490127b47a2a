// The layer III bitstream below the split encoder: the packer's edge cases on frames made here,
// the CRC and the tag against LAME's own, the seek table, and refusals of broken streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/lame_library.h"
#include "engine/mp3_bitstream.h"
#include "stream_checks.h"

using namespace engine;
using mp3::MpegVersion;

namespace {

// ---- Frames made here ----

struct Format {
  MpegVersion version;
  int rateIndex;
  int kbps;
  int mode;  // 1 joint stereo, 3 mono
  bool crc;
};

mp3::FrameHeader HeaderOf(const Format& format, int kbps = 0) {
  mp3::FrameHeader header;
  header.version = format.version;
  header.sampleRateIndex = format.rateIndex;
  header.bitrateIndex = mp3::BitRateIndex(format.version, kbps > 0 ? kbps : format.kbps);
  header.mode = format.mode;
  header.crc = format.crc;
  return header;
}

// Writes `bits` into the side information's part2_3_length fields (12 bits each) as ISO/IEC
// 11172-3 and 13818-3 lay them out, and main_data_begin.
void SetSideInfo(const mp3::FrameHeader& header, std::uint8_t* side, int mainBytes, int begin) {
  const bool mpeg1 = header.version == MpegVersion::Mpeg1;
  const int channels = header.Channels();
  const int first = mpeg1 ? 9 + (channels == 1 ? 5 : 3) + 4 * channels : 8 + (channels == 1 ? 1 : 2);
  const int entryBits = mpeg1 ? 59 : 63;
  const int entries = mpeg1 ? 2 * channels : channels;
  int bits = mainBytes * 8;
  for (int entry = 0; entry < entries; ++entry) {
    const int part = std::min(bits, 4095);
    bits -= part;
    for (int i = 0; i < 12; ++i) {
      const int bit = first + entry * entryBits + i;
      const bool one = ((part >> (11 - i)) & 1) != 0;
      side[bit >> 3] = static_cast<std::uint8_t>((side[bit >> 3] & ~(0x80 >> (bit & 7))) | (one ? 0x80 >> (bit & 7) : 0));
    }
  }
  ASSERT_EQ(bits, 0) << "more main data than the side information can give";
  mp3::SetMainDataBegin(header, side, begin);
}

struct FrameShape {
  int slotPlus;     // main data bytes: the frame's own slot plus this
  int sourceBegin;  // the reservoir its encoder gave it
  int kbps = 0;     // 0: the row's
};

mp3::AudioFrame Synthetic(const Format& format, const FrameShape& shape, std::uint8_t seed) {
  mp3::AudioFrame frame;
  frame.header = HeaderOf(format, shape.kbps);
  const int bytes = frame.header.SlotBytes() + shape.slotPlus;
  SetSideInfo(frame.header, frame.sideInfo.data(), bytes, shape.sourceBegin);
  frame.sourceBegin = shape.sourceBegin;
  for (int i = 0; i < bytes; ++i) frame.mainData.push_back(static_cast<std::uint8_t>(seed * 31 + i * 7));
  return frame;
}

// ---- The packer ----

struct PackCase {
  const char* name;
  Format format;
  bool vbr;
  int maxKbps;  // VBR: the highest bit rate frames may be raised to (0: the version's)
  std::vector<FrameShape> lead;   // packed first, as one block
  std::vector<FrameShape> block;  // then these
  bool refused;
  int firstBegin = -1;      // main_data_begin of the block's first frame (-1: not checked)
  int firstKbps = 0;        // its bit rate (0: its own)
  int firstPadding = -1;    // its padding (-1: not checked)
  int lastLeadKbps = 0;     // the bit rate of the lead's last frame once packed (0: its own)
};

class ReservoirPacking : public ::testing::TestWithParam<PackCase> {};

TEST_P(ReservoirPacking, LaysFramesOutOrRefusesTheBlock) {
  const PackCase& c = GetParam();
  std::vector<std::uint8_t> stream;
  mp3::PackingRules rules;
  rules.vbr = c.vbr;
  if (c.maxKbps > 0) rules.maxBitrateIndex = mp3::BitRateIndex(c.format.version, c.maxKbps);
  mp3::ReservoirPacker packer(rules, [&](const std::uint8_t* data, std::size_t length) {
    stream.insert(stream.end(), data, data + length);
  });
  std::vector<mp3::AudioFrame> lead, block;
  std::uint8_t seed = 1;
  for (const FrameShape& shape : c.lead) lead.push_back(Synthetic(c.format, shape, seed++));
  for (const FrameShape& shape : c.block) block.push_back(Synthetic(c.format, shape, seed++));
  ASSERT_FALSE(packer.AddBlock(lead));

  std::vector<mp3::AudioFrame> packed = lead;
  const std::optional<mp3::PackRefusal> refusal = packer.AddBlock(block);
  ASSERT_EQ(refusal.has_value(), c.refused);
  if (refusal) {
    EXPECT_GT(refusal->missingBytes, 0);
    // Nothing of the refused block stays: a block that needs no reservoir packs as if it had
    // never been tried.
    block = {Synthetic(c.format, {0, 0}, seed++)};
    ASSERT_FALSE(packer.AddBlock(block));
  }
  packed.insert(packed.end(), block.begin(), block.end());
  packer.Flush();

  // Unpacked again, the stream gives every frame's main data back, in order.
  mp3::FrameUnpacker unpacker;
  unpacker.Append(stream.data(), stream.size());
  std::vector<mp3::AudioFrame> frames;
  while (std::optional<mp3::AudioFrame> frame = unpacker.Next()) frames.push_back(std::move(*frame));
  EXPECT_EQ(unpacker.Buffered(), 0u);
  ASSERT_EQ(frames.size(), packed.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE("frame " + std::to_string(i));
    EXPECT_EQ(frames[i].mainData, packed[i].mainData);
    EXPECT_LE(frames[i].sourceBegin, packed[i].sourceBegin) << "more reservoir than its encoder gave it";
    if (c.format.crc) {
      EXPECT_EQ((frames[i].raw[4] << 8) | frames[i].raw[5],
                mp3::FrameCrc(frames[i].raw.data(), frames[i].raw.data() + 6, frames[i].header.SideInfoBytes()));
    }
    if (!c.vbr) {
      EXPECT_EQ(frames[i].header.bitrateIndex, packed[i].header.bitrateIndex);
    }
  }
  if (c.refused) return;
  const mp3::AudioFrame& first = frames[lead.size()];
  if (c.firstBegin >= 0) {
    EXPECT_EQ(first.sourceBegin, c.firstBegin);
  }
  EXPECT_EQ(first.header.BitRateKbps(), c.firstKbps > 0 ? c.firstKbps : block[0].header.BitRateKbps());
  if (c.firstPadding >= 0) {
    EXPECT_EQ(first.header.padding, c.firstPadding == 1);
  }
  EXPECT_EQ(frames[lead.size() - 1].header.BitRateKbps(),
            c.lastLeadKbps > 0 ? c.lastLeadKbps : lead.back().header.BitRateKbps());
}

constexpr Format kMpeg1At44k{MpegVersion::Mpeg1, 0, 128, 1, false};
constexpr Format kMpeg1At48k{MpegVersion::Mpeg1, 1, 128, 1, false};

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ReservoirPacking,
    ::testing::Values(
        // The whole reservoir: 511 bytes back (MPEG-1), 255 (MPEG-2).
        PackCase{"mpeg1_full_reservoir", kMpeg1At44k, false, 0, {{-371, 0}, {-371, 0}, {-371, 371}}, {{511, 511}}, false, 511},
        PackCase{"mpeg2_22k_full_reservoir", {MpegVersion::Mpeg2, 0, 64, 1, false}, false, 0,
                 {{-180, 0}, {-180, 0}, {-180, 180}}, {{255, 255}}, false, 255},
        // Constant rate: a frame whose encoder had reservoir the stream has not.
        PackCase{"cbr_no_room", kMpeg1At48k, false, 0, {{0, 0}}, {{100, 100}}, true},
        // ... one byte short: the padding slot, where the byte count allows one (44.1 kHz) ...
        PackCase{"cbr_padding_slot_44k", kMpeg1At44k, false, 0, {{0, 0}}, {{1, 1}}, false, 0, 0, 1},
        // ... and not where every frame has the nominal size (48 kHz).
        PackCase{"cbr_no_padding_48k", kMpeg1At48k, false, 0, {{0, 0}}, {{1, 1}}, true},
        // Variable rate: a larger frame ...
        PackCase{"vbr_larger_frame", kMpeg1At44k, true, 0, {{0, 0}}, {{50, 50}}, false, 0, 160},
        // ... or, at the top rate, a larger frame before it.
        PackCase{"vbr_larger_frame_before", kMpeg1At44k, true, 0, {{0, 0}}, {{100, 100, 320}}, false, 100, 320, -1, 160},
        // ... but not beyond the highest rate allowed.
        PackCase{"vbr_at_its_highest_rate", kMpeg1At44k, true, 128, {{0, 0}}, {{50, 50}}, true},
        // A chain through the reservoir: mono, MPEG-1 at 32 kHz.
        PackCase{"mono_32k_chain", {MpegVersion::Mpeg1, 2, 64, 3, false}, false, 0,
                 {{-200, 0}, {-200, 0}, {-200, 0}, {-200, 0}},
                 {{30, 60}, {-100, 40}, {-200, 0}, {150, 200}, {-267, 0}}, false, 60},
        // CRC-protected frames: the CRC follows the rewritten main_data_begin.
        PackCase{"crc_stereo_44k", {MpegVersion::Mpeg1, 0, 160, 1, true}, false, 0, {{-300, 0}, {-300, 0}},
                 {{200, 250}, {-10, 40}}, false, 250},
        PackCase{"crc_vbr_mono_22k", {MpegVersion::Mpeg2, 0, 64, 3, true}, true, 0, {{-150, 0}, {-150, 0}},
                 {{120, 150}, {30, 10}}, false, 150},
        PackCase{"mpeg2_24k_mono", {MpegVersion::Mpeg2, 1, 32, 3, false}, false, 0, {{-60, 0}, {-60, 0}, {-60, 0}},
                 {{60, 60}, {-20, 0}}, false, 60},
        PackCase{"mpeg2_16k_stereo", {MpegVersion::Mpeg2, 2, 48, 1, false}, false, 0, {{-150, 0}, {-150, 0}, {-150, 150}},
                 {{200, 255}, {-100, 0}}, false, 255},
        PackCase{"mpeg25_8k_mono", {MpegVersion::Mpeg25, 2, 16, 3, false}, false, 0, {{-100, 0}, {-100, 0}},
                 {{40, 62}}, false, 62}),
    [](const ::testing::TestParamInfo<PackCase>& row) { return std::string(row.param.name); });

// ---- Against LAME's own stream ----

struct LameStream {
  std::vector<std::uint8_t> tag;    // LAME's finished tag frame
  std::vector<std::uint8_t> audio;  // every frame after it
  int delay = 0;
  int padding = 0;
};

LameStream EncodeWithLame(int rate, bool vbr, bool crc, double seconds) {
  LameStream out;
  lame::Load();
  EXPECT_TRUE(lame::Loaded());
  lame::lame_t gf = lame::lame_init();
  lame::lame_set_in_samplerate(gf, rate);
  lame::lame_set_out_samplerate(gf, rate);
  lame::lame_set_num_channels(gf, 2);
  lame::lame_set_error_protection(gf, crc ? 1 : 0);
  if (vbr) {
    lame::lame_set_VBR(gf, 4);
    lame::lame_set_VBR_quality(gf, 2);
  } else {
    lame::lame_set_brate(gf, 128);
  }
  lame::lame_set_bWriteVbrTag(gf, 1);
  lame::lame_set_write_id3tag_automatic(gf, 0);
  EXPECT_EQ(lame::lame_init_params(gf), 0);
  const std::vector<float> pcm = testsupport::MusicLikePcm(seconds, rate, 2, 21);
  std::vector<std::uint8_t> bytes(pcm.size() + 100000);
  int size = lame::lame_encode_buffer_interleaved_ieee_float(gf, pcm.data(), static_cast<int>(pcm.size() / 2),
                                                             bytes.data(), static_cast<int>(bytes.size()));
  size += lame::lame_encode_flush(gf, bytes.data() + size, static_cast<int>(bytes.size()) - size);
  out.tag.resize(4096);
  out.tag.resize(lame::lame_get_lametag_frame(gf, out.tag.data(), out.tag.size()));
  out.audio.assign(bytes.begin() + static_cast<std::ptrdiff_t>(out.tag.size()), bytes.begin() + size);
  out.delay = lame::lame_get_encoder_delay(gf);
  out.padding = lame::lame_get_encoder_padding(gf);
  lame::lame_close(gf);
  lame::Unload();
  return out;
}

// The tag writer, given the facts of LAME's own stream, writes LAME's own tag: the same frame and
// byte counts, delay, padding, music length and both CRCs, and a seek table within two steps
// (LAME samples the frame positions coarsely; the writer keeps them at 1/512 of the file).
TEST(InfoTag, WrittenFromTheStreamIsLamesOwn) {
  for (const auto& [rate, vbr, crc] : {std::tuple{44100, false, false}, std::tuple{44100, true, false},
                                       std::tuple{22050, true, true}, std::tuple{48000, false, true}}) {
    SCOPED_TRACE(std::to_string(rate) + (vbr ? " VBR" : " CBR") + (crc ? " CRC" : ""));
    const LameStream lame = EncodeWithLame(rate, vbr, crc, 6);
    ASSERT_FALSE(lame.tag.empty());
    mp3::StreamFacts facts;
    mp3::SeekTable seek;
    mp3::FrameUnpacker unpacker;
    unpacker.Append(lame.audio.data(), lame.audio.size());
    while (std::optional<mp3::AudioFrame> frame = unpacker.Next()) {
      seek.Add(frame->raw.size());
      ++facts.audioFrames;
    }
    facts.totalBytes = lame.tag.size() + lame.audio.size();
    facts.toc = seek.Toc(lame.tag.size(), facts.totalBytes);
    facts.encoderDelay = lame.delay;
    facts.encoderPadding = lame.padding;
    facts.musicCrc = mp3::TagCrc(lame.audio.data(), lame.audio.size());

    std::vector<std::uint8_t> written = lame.tag;
    const std::optional<mp3::InfoTagLayout> layout = mp3::FindInfoTag(written);
    ASSERT_TRUE(layout);
    // Start from a template whose facts are wrong.
    std::fill(written.begin() + static_cast<std::ptrdiff_t>(layout->xing + 8),
              written.begin() + static_cast<std::ptrdiff_t>(layout->xing + 116), 0);
    std::fill(written.begin() + static_cast<std::ptrdiff_t>(layout->lame + 21),
              written.begin() + static_cast<std::ptrdiff_t>(layout->lame + 24), 0);
    std::fill(written.begin() + static_cast<std::ptrdiff_t>(layout->lame + 28),
              written.begin() + static_cast<std::ptrdiff_t>(layout->lame + 36), 0);
    mp3::WriteStreamFacts(written, facts);

    const std::size_t toc = layout->xing + 16;
    for (std::size_t i = 0; i < written.size(); ++i) {
      if (i >= toc && i < toc + 100) {
        EXPECT_NEAR(written[i], lame.tag[i], 2) << "seek table entry " << i - toc;
      } else if (i < layout->lame + 34) {
        ASSERT_EQ(written[i], lame.tag[i]) << "byte " << i;
      }
    }
    // The tag's CRC covers the seek table, so it is checked against the bytes written.
    const std::uint16_t tagCrc = mp3::TagCrc(written.data(), layout->lame + 34);
    EXPECT_EQ((written[layout->lame + 34] << 8) | written[layout->lame + 35], tagCrc);
    const std::optional<mp3::StreamFacts> read = mp3::ReadStreamFacts(written);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->audioFrames, facts.audioFrames);
    EXPECT_EQ(read->encoderPadding, lame.padding);

    // LAME's CRC of protected frames is the one FrameCrc computes.
    if (crc) {
      mp3::FrameUnpacker frames;
      frames.Append(lame.audio.data(), lame.audio.size());
      while (std::optional<mp3::AudioFrame> frame = frames.Next()) {
        ASSERT_EQ((frame->raw[4] << 8) | frame->raw[5],
                  mp3::FrameCrc(frame->raw.data(), frame->raw.data() + 6, frame->header.SideInfoBytes()));
      }
    }
  }
}

// ---- The seek table ----

class SeekTableSizes : public ::testing::TestWithParam<int> {};

// However many frames, the table kept in bounded memory gives the entries of one kept in full
// (to within one step of 1/256 of the file).
TEST_P(SeekTableSizes, MatchesTheFullTable) {
  const int frames = GetParam();
  mp3::SeekTable table;
  std::vector<std::uint64_t> offsets;
  std::uint64_t bytes = 0;
  for (int i = 0; i < frames; ++i) {
    const std::size_t size = 104 + static_cast<std::size_t>((i * 7919) % 941);  // frames of any size
    offsets.push_back(bytes);
    table.Add(size);
    bytes += size;
  }
  const std::uint64_t tag = 417;
  const std::array<std::uint8_t, 100> toc = table.Toc(tag, tag + bytes);
  for (int percent = 0; percent < 100; ++percent) {
    const auto frame = static_cast<std::size_t>(static_cast<std::int64_t>(percent) * frames / 100);
    const double exact = 256.0 * static_cast<double>(tag + offsets[frame]) / static_cast<double>(tag + bytes);
    EXPECT_NEAR(toc[static_cast<std::size_t>(percent)], std::min(255.0, std::floor(exact)), 1.0) << percent << "%";
  }
}

INSTANTIATE_TEST_SUITE_P(Frames, SeekTableSizes, ::testing::Values(1, 99, 1024, 1025, 5000, 123457));

// ---- Broken streams ----

struct BrokenStream {
  const char* name;
  std::vector<std::uint8_t> bytes;
  const char* message;
};

class UnpackerRefusals : public ::testing::TestWithParam<BrokenStream> {};

TEST_P(UnpackerRefusals, RaiseAClearError) {
  mp3::FrameUnpacker unpacker;
  unpacker.Append(GetParam().bytes.data(), GetParam().bytes.size());
  try {
    while (unpacker.Next()) {
    }
    ADD_FAILURE() << "accepted";
  } catch (const EncoderError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().message);
  }
}

std::vector<std::uint8_t> FrameBytes(const FrameShape& shape, int declaredBegin) {
  mp3::AudioFrame frame = Synthetic(kMpeg1At48k, shape, 1);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frame.header.FrameBytes()));
  frame.header.Write(bytes.data());
  mp3::SetMainDataBegin(frame.header, frame.sideInfo.data(), declaredBegin);
  std::copy(frame.sideInfo.begin(), frame.sideInfo.begin() + frame.header.SideInfoBytes(), bytes.begin() + 4);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, UnpackerRefusals,
    ::testing::Values(
        BrokenStream{"not_a_frame", {'I', 'D', '3', 4, 0, 0}, "The MP3 encoder wrote bytes that are not a layer III frame (frame 0)."},
        BrokenStream{"layer_two", {0xFF, 0xFD, 0x90, 0x00}, "The MP3 encoder wrote bytes that are not a layer III frame (frame 0)."},
        BrokenStream{"main_data_before_the_stream", FrameBytes({-50, 0}, 20),
                     "The MP3 encoder wrote a frame whose main data lies outside the stream (frame 0)."},
        BrokenStream{"main_data_beyond_the_frame", FrameBytes({10, 0}, 0),
                     "The MP3 encoder wrote a frame whose main data lies outside the stream (frame 0)."}),
    [](const ::testing::TestParamInfo<BrokenStream>& row) { return std::string(row.param.name); });

}  // namespace
