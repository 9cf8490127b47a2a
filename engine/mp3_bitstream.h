// The layer III bitstream below the encoder: frame headers and side information (ISO/IEC
// 11172-3 and 13818-3), the main data that each frame's side information points to, and the
// packing of several encoders' frames into one stream with one continuous bit reservoir; also the
// Xing/Info + LAME tag that describes a whole file.
//
// Layer III frames do not carry their own audio: a frame's main data starts up to 511 bytes
// (MPEG-1; 255 for MPEG-2 and 2.5) before the frame, in the unused end of earlier frames. Frames
// cut out of one encoder's stream are therefore first unpacked (FrameUnpacker: each frame with its
// own main data) and then laid out again behind the frames of another encoder (ReservoirPacker),
// which rewrites main_data_begin, the bit rate or padding where a frame needs room, and the CRC.
//
// Threads: everything here is plain data; one object is used by one thread at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace engine {

// The encoder failed to do what it must: LAME refused or broke, or its frames could not be packed.
// The message says what happened, for the user.
class EncoderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace engine

namespace engine::mp3 {

enum class MpegVersion { Mpeg1, Mpeg2, Mpeg25 };

// The four header bytes of a layer III frame, decoded.
struct FrameHeader {
  MpegVersion version = MpegVersion::Mpeg1;
  bool crc = false;            // a CRC-16 follows the header
  int bitrateIndex = 9;        // 1..14 (0, free format, is not supported)
  int sampleRateIndex = 0;     // 0..2
  bool padding = false;
  bool privateBit = false;
  int mode = 1;                // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  int modeExtension = 0;
  bool copyright = false;
  bool original = true;
  int emphasis = 0;

  int Channels() const { return mode == 3 ? 1 : 2; }
  int SampleRate() const;
  int BitRateKbps() const;
  int SamplesPerFrame() const { return version == MpegVersion::Mpeg1 ? 1152 : 576; }
  int FrameBytes() const;
  int HeaderBytes() const { return crc ? 6 : 4; }
  int SideInfoBytes() const;
  // Bytes of the frame after its header, CRC and side information: its share of the reservoir.
  int SlotBytes() const { return FrameBytes() - HeaderBytes() - SideInfoBytes(); }
  // How far back main_data_begin can point: 511 bytes for MPEG-1, 255 for MPEG-2 and 2.5.
  int MaxMainDataBegin() const { return version == MpegVersion::Mpeg1 ? 511 : 255; }
  // The highest bit rate index the version has (320 kbps for MPEG-1, 160 for the others).
  static constexpr int kMaxBitrateIndex = 14;
  void Write(std::uint8_t* out) const;  // four bytes
  bool operator==(const FrameHeader&) const = default;
};

// The header at `p`, or nullopt when the bytes are not a layer III header this code handles
// (another layer, free format, a reserved value).
std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* p, std::size_t length);
// The kbps of a bit rate index, and the index of a bit rate (-1 when the version has none).
int BitRateKbps(MpegVersion version, int index);
int BitRateIndex(MpegVersion version, int kbps);
// The version and sample rate index of a sample rate in Hz; nullopt when MPEG audio has none.
std::optional<std::pair<MpegVersion, int>> VersionOfSampleRate(int hz);

// Side information: main_data_begin, and the main data bits that the granules and channels use.
int MainDataBegin(const FrameHeader& header, const std::uint8_t* sideInfo);
void SetMainDataBegin(const FrameHeader& header, std::uint8_t* sideInfo, int value);
// The sum of part2_3_length over the frame's granules and channels.
int MainDataBits(const FrameHeader& header, const std::uint8_t* sideInfo);

// The frame's CRC-16 (polynomial 0x8005, start 0xFFFF) over the last two header bytes and the
// side information, as the header's protection bit asks.
std::uint16_t FrameCrc(const std::uint8_t* header, const std::uint8_t* sideInfo, int sideInfoBytes);
// The CRC-16 the LAME tag uses for the music and for the tag itself (reflected 0x8005, start 0).
std::uint16_t TagCrc(const std::uint8_t* data, std::size_t length, std::uint16_t crc = 0);

// One frame with its own main data: what it is, independent of where it lies in a stream.
struct AudioFrame {
  FrameHeader header;
  std::array<std::uint8_t, 32> sideInfo{};
  std::vector<std::uint8_t> mainData;  // the bytes part2_3_length covers, the last one partly
  // main_data_begin in the stream the frame came from: how much reservoir its encoder gave it.
  // The packer never gives it more, so the encoder's buffer limits hold in the packed stream.
  int sourceBegin = 0;
  // The frame's bytes as its encoder wrote them (header to the end of its slot).
  std::vector<std::uint8_t> raw;
};

// Splits one encoder's output into frames, each with its own main data. Bytes may come in
// pieces of any size. Raises EncoderError on bytes that are not layer III frames, or a frame
// whose main data lies before the stream or beyond the frame.
class FrameUnpacker {
 public:
  void Append(const std::uint8_t* data, std::size_t length);
  // The next complete frame, in stream order; nullopt until more bytes come.
  std::optional<AudioFrame> Next();
  // Bytes appended but not yet taken as frames.
  std::size_t Buffered() const { return bytes_.size() - readOffset_; }
  // Frames taken so far.
  std::int64_t FramesTaken() const { return framesTaken_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t readOffset_ = 0;
  std::vector<std::uint8_t> reservoir_;  // the slot bytes of earlier frames, the newest last
  std::int64_t framesTaken_ = 0;
};

// What the packer may change in a frame to make room for its main data.
struct PackingRules {
  bool vbr = false;
  // Variable bit rate: the highest bit rate index a frame may be raised to.
  int maxBitrateIndex = FrameHeader::kMaxBitrateIndex;
  // Constant bit rate: the padding slot may be added to (or left out of) a frame only while the
  // stream's byte count stays within a byte of what the nominal rate gives.
};

// Why a block could not be packed.
struct PackRefusal {
  std::size_t frame = 0;  // index in the block
  int missingBytes = 0;   // main data beyond the largest frame allowed
};

// Lays frames out as one stream with one continuous reservoir. Each frame's main data goes as far
// back as the reservoir allows and its encoder gave it (AudioFrame::sourceBegin); a frame whose
// data does not fit is given room (a larger bit rate or the padding slot, as the rules allow), or
// the whole block is refused and the packer stays as it was, so the caller can encode the block
// again. Frames come out, whole, as soon as no later frame can put data into them.
class ReservoirPacker {
 public:
  using FrameSink = std::function<void(const std::uint8_t* frame, std::size_t length)>;

  ReservoirPacker(PackingRules rules, FrameSink sink);

  // A frame as its encoder laid it out, main data in place: kept byte for byte. Only for the
  // start of a stream, while the stream is one encoder's (a sequential encode).
  void AddVerbatim(const AudioFrame& frame);
  // Packs a block of frames; nothing of it when one frame cannot be given room. `keepPadding`
  // keeps each frame's own padding bit even where the rate's byte count would change it (for a
  // block whose frames fit only in their own frames' sizes).
  std::optional<PackRefusal> AddBlock(const std::vector<AudioFrame>& frames, bool keepPadding = false);
  // Hands every frame still held to the sink (the end of the stream).
  void Flush();

  std::int64_t Frames() const { return frames_; }  // frames added
  int FramesRaised() const { return framesRaised_; }    // frames given a larger bit rate
  int PaddingAdded() const { return paddingAdded_; }    // padding slots added for room

 private:
  struct Pending {
    FrameHeader header;
    std::vector<std::uint8_t> bytes;  // the whole frame
    int slotOffset = 0;               // where its slot starts in `bytes`
  };
  bool Place(const AudioFrame& frame, bool keepPadding, PackRefusal& refusal);
  std::vector<FrameHeader> Candidates(const FrameHeader& own, bool keepPadding) const;
  bool ByteCountAllowed(const FrameHeader& header, std::int64_t frames, std::int64_t bytes) const;
  bool PaddingAllowed(const FrameHeader& header, bool padded) const;
  bool GrowLastFrame(const std::function<bool()>& fits);
  static void Rewrite(Pending& frame, const FrameHeader& header);
  void WriteReservoir(std::int64_t position, const std::uint8_t* data, std::size_t length);
  void Release();

  PackingRules rules_;
  FrameSink sink_;
  std::deque<Pending> pending_;
  std::int64_t pendingStart_ = 0;  // reservoir position of the first pending frame's slot
  std::int64_t slotEnd_ = 0;       // reservoir position after the last frame's slot
  std::int64_t dataEnd_ = 0;       // reservoir position after the last frame's main data
  int maxBack_ = 511;
  std::int64_t frames_ = 0;
  std::int64_t bytes_ = 0;         // bytes of every frame added
  int framesRaised_ = 0;
  int paddingAdded_ = 0;
};

// Frame positions for the Xing seek table, in memory that does not grow with the file: every
// step-th frame's offset is kept, and the step doubles when the table is full.
class SeekTable {
 public:
  void Add(std::size_t frameBytes);
  // The 100 entries: for each percent of the frames, 256 * offset / totalBytes, where offsets
  // count from the start of the tag frame (`tagBytes` before the first audio frame).
  std::array<std::uint8_t, 100> Toc(std::uint64_t tagBytes, std::uint64_t totalBytes) const;
  std::int64_t Frames() const { return frames_; }

 private:
  static constexpr std::size_t kCapacity = 1024;
  std::vector<std::uint64_t> offsets_;  // offset of frame i * step_, from the first audio frame
  std::int64_t step_ = 1;
  std::int64_t frames_ = 0;
  std::uint64_t bytes_ = 0;
};

// The facts of a whole stream that its Xing/Info + LAME tag records.
struct StreamFacts {
  std::int64_t audioFrames = 0;   // frames after the tag frame
  std::uint64_t totalBytes = 0;   // the tag frame and every audio frame
  std::array<std::uint8_t, 100> toc{};
  int encoderDelay = 0;           // samples, 12 bits
  int encoderPadding = 0;         // samples, 12 bits
  std::uint16_t musicCrc = 0;     // TagCrc of the audio frames' bytes
};

// Where the fields of a tag frame lie; nullopt when `frame` holds no Xing/Info tag with the
// frame count, byte count and seek table, followed by a LAME extension.
struct InfoTagLayout {
  std::size_t xing = 0;  // offset of "Xing" or "Info"
  std::size_t lame = 0;  // offset of the LAME extension (its version string)
};
std::optional<InfoTagLayout> FindInfoTag(const std::vector<std::uint8_t>& frame);
// Writes the stream's facts into a tag frame (frame and byte counts, seek table, delay and
// padding, music length, music CRC and the tag's own CRC), keeping every field that describes
// the encoder. Raises EncoderError when the frame holds no such tag.
void WriteStreamFacts(std::vector<std::uint8_t>& frame, const StreamFacts& facts);
// The facts a tag frame records (for checks); nullopt without a tag.
std::optional<StreamFacts> ReadStreamFacts(const std::vector<std::uint8_t>& frame);

}  // namespace engine::mp3
