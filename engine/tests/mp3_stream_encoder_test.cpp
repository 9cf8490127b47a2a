// The split MP3 encoder against a one-core encode of the same PCM: valid streams, the same
// sample count, the same quality overall and at every join; the sequential path byte for byte;
// splitting granted mid-file; stops and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>

#include "decoded_audio.h"
#include "engine/lame_library.h"
#include "engine/mp3_bitstream.h"
#include "engine/mp3_stream_encoder.h"
#include "stream_checks.h"

using namespace engine;

namespace {

// An encode written to a file the way the MP3 output writes one: the placeholder first, the tag
// frame over it at the end.
struct Encoded {
  std::string path;
  std::vector<std::uint8_t> bytes;
  Mp3StreamEncoder::Statistics stats;
  std::int64_t audioFrames = 0;
  std::uint64_t totalBytes = 0;
  int delay = 0;
  int padding = 0;
  int frameSamples = 0;
  int blockFrames = 0;
  std::size_t tagBytes = 0;
};

// Feeds `pcm` in the pipeline's 16 KB blocks; `grantAt` (sample frames) grants two workers to an
// encode that started with one.
Encoded EncodeToFile(const Mp3StreamSettings& settings, const std::vector<float>& pcm, int channels, int workers,
                     const std::string& path, Mp3SplitTuning tuning = {}, std::int64_t grantAt = -1) {
  Encoded out;
  out.path = path;
  Mp3StreamEncoder encoder(
      settings, Mp3PcmFormat{PcmSampleFormat::Float32, channels},
      [&](const std::uint8_t* data, std::size_t length) { out.bytes.insert(out.bytes.end(), data, data + length); },
      workers, nullptr, tuning);
  const auto total = static_cast<std::int64_t>(pcm.size()) / channels;
  const std::int64_t piece = 4096 / channels;
  for (std::int64_t at = 0; at < total; at += piece) {
    if (grantAt >= 0 && at >= grantAt && encoder.Workers() == 1) encoder.SetWorkers(2);
    EXPECT_TRUE(encoder.Encode(pcm.data() + at * channels, std::min(piece, total - at)));
  }
  EXPECT_TRUE(encoder.Finish());
  EXPECT_EQ(encoder.PcmFrames(), total);
  const std::vector<std::uint8_t>& tag = encoder.TagFrame();
  std::copy(tag.begin(), tag.end(), out.bytes.begin());
  out.stats = encoder.Stats();
  out.audioFrames = encoder.AudioFrames();
  out.totalBytes = encoder.TotalBytes();
  out.delay = encoder.EncoderDelay();
  out.padding = encoder.EncoderPadding();
  out.frameSamples = encoder.SamplesPerFrame();
  out.blockFrames = encoder.BlockFrames();
  out.tagBytes = tag.size();
  media_fixtures::WriteBytes(path, out.bytes);
  return out;
}

// The frames of a stream (after its tag frame) with their own main data.
std::vector<mp3::AudioFrame> Frames(const Encoded& encoded) {
  mp3::FrameUnpacker unpacker;
  unpacker.Append(encoded.bytes.data() + encoded.tagBytes, encoded.bytes.size() - encoded.tagBytes);
  std::vector<mp3::AudioFrame> frames;
  while (std::optional<mp3::AudioFrame> frame = unpacker.Next()) frames.push_back(std::move(*frame));
  return frames;
}

// ---- Against the one-core encode ----

// The join criterion. Around each join, three windows of 46 ms (2048 samples at 44.1 kHz) cover
// the frames on both sides and the reach of their filters. In each, the split encode's SNR
// against the source is compared with the one-core encode's SNR in the same window. The two
// encodes differ a little everywhere (each block's encoder saves and spends its reservoir on its
// own), so the windows away from the joins give the ordinary spread of that difference for the
// file; a join window is "audibly worse" when its drop stands out from that spread by more than
// kJoinMarginDb (with kJoinFloorDb as the least spread granted, and never more than kJoinCapDb).
// Measured on the quality table: the worst join of a row drops 0 to 3.1 dB (the window after the
// join, where the block's encoder has saved less reservoir than the one-core encode had), while
// the spread elsewhere is 0.1 to 2.3 dB; joins made with too little overlap to settle the
// encoder's filters (one frame) drop 5.5 to 15 dB, with no overlap 15 to 26 dB.
constexpr double kJoinMarginDb = 1.5;
constexpr double kJoinFloorDb = 1.0;
constexpr double kJoinCapDb = 6.0;

struct Comparison {
  Encoded one;
  Encoded split;
  std::int64_t sourceFrames = 0;
  std::int64_t oneDecodedFrames = 0;
  std::int64_t splitDecodedFrames = 0;
  double oneSnr = 0;
  double splitSnr = 0;
  double worstJoinDrop = -100;  // dB
  double spreadElsewhere = 0;   // dB, either way
  double JoinLimit() const { return std::min(kJoinCapDb, std::max(kJoinFloorDb, spreadElsewhere) + kJoinMarginDb); }
};

// Encodes `source` on one core and split, and measures both against it. The joins are taken at
// the block boundaries of a split from the start (`joinFrames` apart); `grantAt` starts the split
// later instead, and then only the overall figures count.
Comparison CompareWithOneCore(const Mp3StreamSettings& settings, const std::vector<float>& source, int channels,
                              int workers, const std::string& folder, Mp3SplitTuning tuning = {},
                              std::int64_t grantAt = -1) {
  Comparison c;
  c.sourceFrames = static_cast<std::int64_t>(source.size()) / channels;
  c.one = EncodeToFile(settings, source, channels, 1, folder + "/one.mp3");
  c.split = EncodeToFile(settings, source, channels, grantAt >= 0 ? 1 : workers, folder + "/split.mp3", tuning, grantAt);
  const testsupport::DecodedAudio one = testsupport::DecodeAudioFile(c.one.path);
  const testsupport::DecodedAudio split = testsupport::DecodeAudioFile(c.split.path);
  EXPECT_TRUE(one.ok && split.ok) << one.error << split.error;
  c.oneDecodedFrames = one.frames();
  c.splitDecodedFrames = split.frames();
  // Mono PCM handed to a two-channel encoder comes back as two equal channels.
  const int decodedChannels = one.channels;
  std::vector<float> reference = source;
  if (decodedChannels == 2 && channels == 1) {
    reference.clear();
    for (float sample : source) reference.insert(reference.end(), {sample, sample});
  }
  c.oneSnr = testsupport::SnrDb(reference, one.samples, decodedChannels, 0, c.sourceFrames);
  c.splitSnr = testsupport::SnrDb(reference, split.samples, decodedChannels, 0, c.sourceFrames);
  if (grantAt >= 0) return c;

  const int rate = settings.sampleRate;
  const int window = static_cast<int>(std::lround(0.0464 * rate));
  const std::int64_t blockSamples = static_cast<std::int64_t>(c.split.blockFrames) * c.split.frameSamples;
  const auto drop = [&](std::int64_t from) {
    const double oneWindow = testsupport::SnrDb(reference, one.samples, decodedChannels, from, from + window);
    const double splitWindow = testsupport::SnrDb(reference, split.samples, decodedChannels, from, from + window);
    return std::isfinite(oneWindow) ? oneWindow - splitWindow : std::numeric_limits<double>::quiet_NaN();
  };
  for (std::int64_t from = 0; from + window < c.sourceFrames; from += window) {
    const std::int64_t offset = (from + window / 2 + 576) % blockSamples;
    if (offset < 3 * window || offset > blockSamples - 3 * window) continue;
    const double d = drop(from);
    if (!std::isnan(d)) c.spreadElsewhere = std::max(c.spreadElsewhere, std::abs(d));
  }
  // Frame K's audio starts 576 samples (the encoder's delay) before sample K * frame size.
  for (std::int64_t join = blockSamples; join + 2 * window < c.sourceFrames; join += blockSamples) {
    for (int w = -1; w <= 1; ++w) {
      const double d = drop(join - 576 + w * window - window / 2);
      if (!std::isnan(d)) c.worstJoinDrop = std::max(c.worstJoinDrop, d);
    }
  }
  return c;
}

// What every split stream must be: valid, as long as the one-core one, as good overall and at
// every join.
void ExpectLikeOneCore(const Comparison& c, bool checkJoins = true) {
  EXPECT_EQ(testsupport::Mp3valProblems(c.split.path), std::vector<std::string>{});
  EXPECT_EQ(testsupport::FfmpegDecodeErrors(c.split.path), "");
  EXPECT_EQ(c.split.audioFrames, c.one.audioFrames);
  EXPECT_EQ(c.split.padding, c.one.padding);
  EXPECT_EQ(c.split.delay, c.one.delay);
  EXPECT_EQ(c.split.tagBytes, c.one.tagBytes);
  EXPECT_EQ(c.splitDecodedFrames, c.oneDecodedFrames);
  // Where the tag fits (not at 32 kbps and below), the decoder trims delay and padding exactly.
  if (c.one.tagBytes > 0) {
    EXPECT_EQ(c.oneDecodedFrames, c.sourceFrames);
  }
  EXPECT_NEAR(c.splitSnr, c.oneSnr, 0.5);
  if (checkJoins) {
    EXPECT_LE(c.worstJoinDrop, c.JoinLimit()) << "spread elsewhere " << c.spreadElsewhere << " dB";
  }
}

struct QualityCase {
  const char* name;
  int rate;
  int channels;
  bool vbr;
  int kbps;  // constant bit rate
  float vbrQuality;
};

Mp3StreamSettings StreamSettings(int rate, int lameChannels, bool vbr, int kbps) {
  Mp3StreamSettings settings;
  settings.sampleRate = rate;
  settings.lameChannels = lameChannels;
  settings.channelMode = lameChannels == 1 ? ChannelMode::Mono : ChannelMode::JointStereo;
  settings.vbr = vbr;
  settings.bitRateKbps = kbps;
  return settings;
}

Mp3StreamSettings SettingsOf(const QualityCase& c) {
  Mp3StreamSettings settings = StreamSettings(c.rate, c.channels, c.vbr, c.kbps);
  settings.vbrQuality = c.vbrQuality;
  return settings;
}

class SplitQuality : public ::testing::TestWithParam<QualityCase> {};

TEST_P(SplitQuality, SplitStreamsDecodeLikeTheOneCoreEncode) {
  const QualityCase& c = GetParam();
  testsupport::TempDir dir;
  const std::vector<float> source =
      testsupport::MusicLikePcm(20, c.rate, c.channels, static_cast<std::uint32_t>(c.rate + c.kbps));
  for (int workers : {2, 3}) {
    SCOPED_TRACE(std::to_string(workers) + " workers");
    Mp3SplitTuning tuning;
    tuning.blockFrames = 120;  // joins enough in 20 seconds at every rate
    const Comparison result = CompareWithOneCore(SettingsOf(c), source, c.channels, workers, dir.Path(), tuning);
    EXPECT_GT(result.split.stats.joins, 3);
    ExpectLikeOneCore(result);
    std::printf("[ quality  ] %-11s %d workers: SNR %.2f dB (one core %.2f), worst join window -%.2f dB "
                "(limit %.2f), elsewhere ±%.2f dB; %d joins, %d encoded again, %d raised, %d padded\n",
                c.name, workers, result.splitSnr, result.oneSnr, result.worstJoinDrop, result.JoinLimit(),
                result.spreadElsewhere, result.split.stats.joins, result.split.stats.reencodes,
                result.split.stats.framesRaised, result.split.stats.paddingAdded);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rates, SplitQuality,
    ::testing::Values(QualityCase{"cbr32_32k", 32000, 2, false, 32, 0}, QualityCase{"cbr128_32k", 32000, 2, false, 128, 0},
                      QualityCase{"cbr320_32k", 32000, 2, false, 320, 0}, QualityCase{"cbr32_44k", 44100, 2, false, 32, 0},
                      QualityCase{"cbr64_44k", 44100, 1, false, 64, 0}, QualityCase{"cbr128_44k", 44100, 2, false, 128, 0},
                      QualityCase{"cbr192_44k", 44100, 2, false, 192, 0}, QualityCase{"cbr320_44k", 44100, 2, false, 320, 0},
                      QualityCase{"cbr32_48k", 48000, 2, false, 32, 0}, QualityCase{"cbr128_48k", 48000, 2, false, 128, 0},
                      QualityCase{"cbr320_48k", 48000, 2, false, 320, 0}, QualityCase{"v0_44k", 44100, 2, true, 0, 0},
                      QualityCase{"v2_44k", 44100, 2, true, 0, 2}, QualityCase{"v6_44k", 44100, 2, true, 0, 6},
                      QualityCase{"v0_22k", 22050, 2, true, 0, 0}, QualityCase{"v2_22k", 22050, 2, true, 0, 2},
                      QualityCase{"v6_22k", 22050, 2, true, 0, 6}),
    [](const ::testing::TestParamInfo<QualityCase>& row) { return std::string(row.param.name); });

// The criterion finds what it is there for: joins whose encoder started too late to settle.
TEST(SplitQuality, JoinsWithoutEnoughOverlapAreCaught) {
  testsupport::TempDir dir;
  const QualityCase c{"v2_44k", 44100, 2, true, 0, 2};
  const std::vector<float> source = testsupport::MusicLikePcm(12, c.rate, c.channels, 7);
  Mp3SplitTuning tuning;
  tuning.overlapFrames = 1;
  const Comparison result = CompareWithOneCore(SettingsOf(c), source, c.channels, 2, dir.Path(), tuning);
  EXPECT_GT(result.worstJoinDrop, result.JoinLimit());
}

// ---- The edges of the stream and of the formats ----

struct EdgeCase {
  const char* name;
  int rate;
  int lameChannels;
  int pcmChannels;
  bool vbr;
  int kbps;
  bool crc;
  double frames;  // length of the source in MPEG frames
  int blockFrames;
  PcmSampleFormat sample = PcmSampleFormat::Float32;
};

class SplitEdges : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(SplitEdges, StaysLikeTheOneCoreEncode) {
  const EdgeCase& e = GetParam();
  testsupport::TempDir dir;
  Mp3StreamSettings settings = StreamSettings(e.rate, e.lameChannels, e.vbr, e.kbps);
  settings.crc = e.crc;
  const int frameSamples = e.rate >= 32000 ? 1152 : 576;
  const std::vector<float> source = testsupport::MusicLikePcm(e.frames * frameSamples / e.rate, e.rate, e.pcmChannels, 3);
  Mp3SplitTuning tuning;
  tuning.blockFrames = e.blockFrames;
  Comparison result;
  if (e.sample == PcmSampleFormat::Float32) {
    result = CompareWithOneCore(settings, source, e.pcmChannels, 2, dir.Path(), tuning);
  } else {
    // 16-bit PCM: the same source, rounded; the source the decoded streams are held against too.
    std::vector<float> rounded(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) rounded[i] = std::round(source[i] * 32767.0f) / 32767.0f;
    result = CompareWithOneCore(settings, rounded, e.pcmChannels, 2, dir.Path(), tuning);
  }
  ExpectLikeOneCore(result);
  if (e.crc) {
    for (const mp3::AudioFrame& frame : Frames(result.split)) {
      ASSERT_TRUE(frame.header.crc);
      EXPECT_EQ((frame.raw[4] << 8) | frame.raw[5], mp3::FrameCrc(frame.raw.data(), frame.raw.data() + 6, frame.header.SideInfoBytes()));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, SplitEdges,
    ::testing::Values(
        // Shorter than one block: one encoder, packed alone.
        EdgeCase{"shorter_than_a_block", 44100, 2, 2, false, 128, false, 60.4, 100},
        // Two frames and a bit after the last boundary: less than the overlap.
        EdgeCase{"last_block_shorter_than_overlap", 44100, 2, 2, false, 128, false, 302.5, 100},
        EdgeCase{"last_block_within_lookahead", 44100, 2, 2, true, 0, false, 300.3, 100},
        EdgeCase{"mono_32k", 32000, 1, 1, false, 96, false, 260, 40},
        EdgeCase{"mono_pcm_stereo_mp3", 44100, 2, 1, true, 0, false, 260, 40},
        EdgeCase{"crc_44k_cbr", 44100, 2, 2, false, 160, true, 260, 40},
        EdgeCase{"crc_22k_vbr_mono", 22050, 1, 1, true, 0, true, 500, 80},
        EdgeCase{"mpeg2_24k", 24000, 2, 2, false, 64, false, 500, 80},
        EdgeCase{"mpeg2_16k", 16000, 1, 1, false, 32, false, 500, 80},
        EdgeCase{"mpeg25_8k", 8000, 1, 1, false, 16, false, 300, 60},
        EdgeCase{"mpeg25_11k_vbr", 11025, 2, 2, true, 0, false, 300, 60},
        EdgeCase{"mpeg25_12k", 12000, 2, 2, false, 32, false, 300, 60},
        EdgeCase{"int16_pcm", 48000, 2, 2, false, 192, false, 260, 40, PcmSampleFormat::Int16}),
    [](const ::testing::TestParamInfo<EdgeCase>& row) { return std::string(row.param.name); });

// ---- One worker, and workers granted later ----

// With one worker nothing is split: the bytes are LAME's own, as one context writes them.
TEST(SplitEncoder, OneWorkerIsLamesOwnSequentialEncode) {
  testsupport::TempDir dir;
  Mp3StreamSettings settings;
  settings.bitRateKbps = 160;
  const std::vector<float> source = testsupport::MusicLikePcm(6, 44100, 2, 11);
  const Encoded encoded = EncodeToFile(settings, source, 2, 1, dir.File("one.mp3"));

  lame::Load();
  ASSERT_TRUE(lame::Loaded());
  lame::lame_t gf = lame::lame_init();
  lame::lame_set_in_samplerate(gf, 44100);
  lame::lame_set_out_samplerate(gf, 44100);
  lame::lame_set_num_channels(gf, 2);
  lame::lame_set_mode(gf, LameMode(ChannelMode::JointStereo));
  lame::lame_set_brate(gf, 160);
  lame::lame_set_quality(gf, 5);
  lame::lame_set_bWriteVbrTag(gf, 1);
  lame::lame_set_write_id3tag_automatic(gf, 0);
  ASSERT_EQ(lame::lame_init_params(gf), 0);
  std::vector<std::uint8_t> expected(source.size() + 100000);
  int size = lame::lame_encode_buffer_interleaved_ieee_float(gf, source.data(), static_cast<int>(source.size() / 2),
                                                             expected.data(), static_cast<int>(expected.size()));
  size += lame::lame_encode_flush(gf, expected.data() + size, static_cast<int>(expected.size()) - size);
  expected.resize(static_cast<std::size_t>(size));
  std::vector<std::uint8_t> tag(4096);
  tag.resize(lame::lame_get_lametag_frame(gf, tag.data(), tag.size()));
  std::copy(tag.begin(), tag.end(), expected.begin());
  lame::lame_close(gf);
  lame::Unload();

  EXPECT_EQ(encoded.stats.blocks, 1);
  EXPECT_EQ(encoded.stats.joins, 0);
  ASSERT_EQ(encoded.bytes.size(), expected.size());
  const auto mismatch = std::mismatch(encoded.bytes.begin(), encoded.bytes.end(), expected.begin());
  EXPECT_TRUE(mismatch.first == encoded.bytes.end()) << "differs from LAME's at byte " << (mismatch.first - encoded.bytes.begin());
}

// A block's encoder, fed one frame past the block's end and flushed, makes the block's frames
// exactly as an encoder that goes on: the first block of a split is the one-core encode's start,
// frame for frame, main data included.
TEST(SplitEncoder, TheFirstBlockIsTheOneCoreEncodeFrameForFrame) {
  testsupport::TempDir dir;
  for (bool vbr : {false, true}) {
    Mp3StreamSettings settings;
    settings.vbr = vbr;
    const std::vector<float> source = testsupport::MusicLikePcm(8, 44100, 2, 5);
    const Encoded one = EncodeToFile(settings, source, 2, 1, dir.File("one.mp3"));
    const Encoded split = EncodeToFile(settings, source, 2, 2, dir.File("split.mp3"));
    const std::vector<mp3::AudioFrame> oneFrames = Frames(one);
    const std::vector<mp3::AudioFrame> splitFrames = Frames(split);
    ASSERT_EQ(oneFrames.size(), splitFrames.size());
    for (std::size_t i = 0; i < static_cast<std::size_t>(split.blockFrames); ++i) {
      SCOPED_TRACE("frame " + std::to_string(i) + (vbr ? " VBR" : " CBR"));
      EXPECT_EQ(splitFrames[i].header, oneFrames[i].header);
      EXPECT_EQ(splitFrames[i].sideInfo, oneFrames[i].sideInfo);
      EXPECT_EQ(splitFrames[i].mainData, oneFrames[i].mainData);
    }
  }
}

// Workers granted mid-file: the sequential part is the first block, and it went out as LAME wrote
// it; the rest is split.
TEST(SplitEncoder, WorkersGrantedMidFileSplitTheRest) {
  testsupport::TempDir dir;
  for (bool vbr : {false, true}) {
    SCOPED_TRACE(vbr ? "VBR" : "CBR");
    Mp3StreamSettings settings;
    settings.vbr = vbr;
    const std::vector<float> source = testsupport::MusicLikePcm(16, 44100, 2, 9);
    Mp3SplitTuning tuning;
    tuning.blockFrames = 120;
    const Comparison result = CompareWithOneCore(settings, source, 2, 2, dir.Path(), tuning, 44100 * 5 + 777);
    ExpectLikeOneCore(result, false);
    EXPECT_GT(result.split.stats.joins, 2);
    // Up to the first boundary after the grant (frame 240, 6.3 s) the frames are the one-core
    // encode's; within the reservoir's reach before the boundary the slots hold other data.
    const std::vector<mp3::AudioFrame> oneFrames = Frames(result.one);
    const std::vector<mp3::AudioFrame> splitFrames = Frames(result.split);
    ASSERT_EQ(oneFrames.size(), splitFrames.size());
    for (std::size_t i = 0; i < 200; ++i) {
      ASSERT_EQ(splitFrames[i].mainData, oneFrames[i].mainData) << "frame " << i;
      ASSERT_EQ(splitFrames[i].sideInfo, oneFrames[i].sideInfo) << "frame " << i;
    }
    const std::size_t same = static_cast<std::size_t>(
        std::mismatch(result.one.bytes.begin() + static_cast<std::ptrdiff_t>(result.one.tagBytes), result.one.bytes.end(),
                      result.split.bytes.begin() + static_cast<std::ptrdiff_t>(result.split.tagBytes)).first -
        result.one.bytes.begin());
    EXPECT_GT(same, result.one.tagBytes + 190 * 417) << "the sequential part went out as LAME wrote it";
  }
}

// A block refused by the packer is encoded again: with half its overlap, then (refused again)
// with its encoder's reservoir off, whose frames fit in their own sizes.
TEST(SplitEncoder, RefusedBlocksAreEncodedAgain) {
  testsupport::TempDir dir;
  Mp3StreamSettings settings;
  const std::vector<float> source = testsupport::MusicLikePcm(10, 44100, 2, 13);
  Mp3SplitTuning tuning;
  tuning.refusePacks = 2;
  const Comparison result = CompareWithOneCore(settings, source, 2, 2, dir.Path(), tuning);
  // The block after one without reservoir finds little left behind it and may need a shorter
  // overlap itself.
  EXPECT_GE(result.split.stats.reencodes, 2);
  EXPECT_GE(result.split.stats.withoutReservoir, 1);
  ExpectLikeOneCore(result);
}

// ---- Stops and refusals ----

TEST(SplitEncoder, AStopEndsEncodeAndFinishAndJoinsTheWorkers) {
  for (int workers : {1, 3}) {
    SCOPED_TRACE(std::to_string(workers) + " workers");
    std::atomic<bool> stop{false};
    std::size_t bytes = 0;
    Mp3StreamEncoder encoder(
        Mp3StreamSettings{}, Mp3PcmFormat{PcmSampleFormat::Float32, 2},
        [&](const std::uint8_t*, std::size_t length) { bytes += length; }, workers, &stop);
    const std::vector<float> source = testsupport::MusicLikePcm(3, 44100, 2, 1);
    // The stop comes from another thread while blocks are being encoded.
    bool stopped = false;
    std::thread stopper;
    for (int round = 0; round < 200 && !stopped; ++round) {
      if (round == 3) stopper = std::thread([&] { stop = true; });
      stopped = !encoder.Encode(source.data(), static_cast<std::int64_t>(source.size() / 2));
    }
    stopper.join();
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(encoder.Encode(source.data(), 100));
    EXPECT_FALSE(encoder.Finish());
    EXPECT_TRUE(encoder.TagFrame().empty());
  }
}

TEST(SplitEncoder, CancelDuringAnEncodeReturnsAndLeavesNothingRunning) {
  Mp3StreamEncoder encoder(Mp3StreamSettings{}, Mp3PcmFormat{PcmSampleFormat::Int16, 2},
                           [](const std::uint8_t*, std::size_t) {}, 2);
  std::vector<std::int16_t> silence(2 * 44100 * 20);
  std::thread canceller([&] { encoder.Cancel(); });
  bool result = encoder.Encode(silence.data(), 44100 * 20);
  canceller.join();
  result = result && encoder.Finish();
  // Whether the cancel came before the end or not, the encoder ends clean; a cancel seen by
  // Finish leaves no tag.
  if (!result) {
    EXPECT_TRUE(encoder.TagFrame().empty());
  }
}

struct Refusal {
  const char* name;
  int rate;
  int lameChannels;
  int pcmChannels;
  const char* message;
};

class SplitRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(SplitRefusals, AreClearErrors) {
  const Refusal& r = GetParam();
  Mp3StreamSettings settings;
  settings.sampleRate = r.rate;
  settings.lameChannels = r.lameChannels;
  for (int workers : {1, 2}) {
    try {
      Mp3StreamEncoder encoder(settings, Mp3PcmFormat{PcmSampleFormat::Int16, r.pcmChannels},
                               [](const std::uint8_t*, std::size_t) {}, workers);
      ADD_FAILURE() << "accepted";
    } catch (const EncoderError& e) {
      EXPECT_EQ(std::string(e.what()), r.message);
    }
  }
  EXPECT_FALSE(lame::Loaded()) << "the library is released with the refused encoder";
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SplitRefusals,
    ::testing::Values(Refusal{"rate_of_no_mpeg_version", 96000, 2, 2, "The MP3 encoder cannot encode audio of 96000 Hz with these settings."},
                      Refusal{"three_channels", 44100, 2, 3, "The MP3 encoder takes one or two channels."},
                      Refusal{"stereo_into_mono", 44100, 1, 2, "Two-channel PCM cannot be handed to a one-channel MP3 encoder."}),
    [](const ::testing::TestParamInfo<Refusal>& row) { return std::string(row.param.name); });

}  // namespace
