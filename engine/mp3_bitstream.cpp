#include "engine/mp3_bitstream.h"

#include <algorithm>
#include <cstring>
#include <utility>


namespace engine::mp3 {

namespace {

constexpr int kBitRatesMpeg1[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kBitRatesLsf[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kSampleRatesMpeg1[3] = {44100, 48000, 32000};

bool IsLsf(MpegVersion version) { return version != MpegVersion::Mpeg1; }

// Reads big-endian bit fields out of side information.
class BitReader {
 public:
  explicit BitReader(const std::uint8_t* data) : data_(data) {}
  unsigned Read(int bitOffset, int bits) const {
    unsigned value = 0;
    for (int i = 0; i < bits; ++i) {
      const int bit = bitOffset + i;
      value = (value << 1) | ((data_[bit >> 3] >> (7 - (bit & 7))) & 1u);
    }
    return value;
  }

 private:
  const std::uint8_t* data_;
};

// Where the per-granule, per-channel entries of the side information start, how long each is
// and how many there are: after main_data_begin, the private bits and (MPEG-1) scfsi.
struct SideInfoShape {
  int firstEntryBit;
  int entryBits;
  int entries;
};

SideInfoShape ShapeOf(const FrameHeader& header) {
  const int channels = header.Channels();
  if (!IsLsf(header.version)) return {9 + (channels == 1 ? 5 : 3) + 4 * channels, 59, 2 * channels};
  return {8 + (channels == 1 ? 1 : 2), 63, channels};
}

void PutBigEndian32(std::uint8_t* out, std::uint32_t value) {
  out[0] = static_cast<std::uint8_t>(value >> 24);
  out[1] = static_cast<std::uint8_t>(value >> 16);
  out[2] = static_cast<std::uint8_t>(value >> 8);
  out[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t GetBigEndian32(const std::uint8_t* in) {
  return (std::uint32_t{in[0]} << 24) | (std::uint32_t{in[1]} << 16) | (std::uint32_t{in[2]} << 8) | in[3];
}

// Offsets inside the LAME extension that follows the Xing/Info fields.
constexpr std::size_t kLameDelayPadding = 21;
constexpr std::size_t kLameMusicLength = 28;
constexpr std::size_t kLameMusicCrc = 32;
constexpr std::size_t kLameTagCrc = 34;
constexpr std::size_t kLameExtensionBytes = 36;
constexpr std::uint32_t kXingFrames = 1, kXingBytes = 2, kXingToc = 4, kXingScale = 8;

}  // namespace

int FrameHeader::SampleRate() const {
  const int base = kSampleRatesMpeg1[sampleRateIndex];
  switch (version) {
    case MpegVersion::Mpeg1: return base;
    case MpegVersion::Mpeg2: return base / 2;
    case MpegVersion::Mpeg25: return base / 4;
  }
  return base;
}

int FrameHeader::BitRateKbps() const { return mp3::BitRateKbps(version, bitrateIndex); }

int FrameHeader::FrameBytes() const {
  const int perKbps = IsLsf(version) ? 72000 : 144000;
  return perKbps * BitRateKbps() / SampleRate() + (padding ? 1 : 0);
}

int FrameHeader::SideInfoBytes() const {
  if (!IsLsf(version)) return Channels() == 1 ? 17 : 32;
  return Channels() == 1 ? 9 : 17;
}

void FrameHeader::Write(std::uint8_t* out) const {
  const int versionBits = version == MpegVersion::Mpeg1 ? 3 : version == MpegVersion::Mpeg2 ? 2 : 0;
  out[0] = 0xFF;
  out[1] = static_cast<std::uint8_t>(0xE0 | (versionBits << 3) | (1 << 1) | (crc ? 0 : 1));
  out[2] = static_cast<std::uint8_t>((bitrateIndex << 4) | (sampleRateIndex << 2) | (padding ? 2 : 0) |
                                     (privateBit ? 1 : 0));
  out[3] = static_cast<std::uint8_t>((mode << 6) | (modeExtension << 4) | (copyright ? 8 : 0) | (original ? 4 : 0) |
                                     emphasis);
}

std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* p, std::size_t length) {
  if (length < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return std::nullopt;
  FrameHeader header;
  switch ((p[1] >> 3) & 3) {
    case 3: header.version = MpegVersion::Mpeg1; break;
    case 2: header.version = MpegVersion::Mpeg2; break;
    case 0: header.version = MpegVersion::Mpeg25; break;
    default: return std::nullopt;
  }
  if (((p[1] >> 1) & 3) != 1) return std::nullopt;  // layer III only
  header.crc = (p[1] & 1) == 0;
  header.bitrateIndex = p[2] >> 4;
  header.sampleRateIndex = (p[2] >> 2) & 3;
  if (header.bitrateIndex == 0 || header.bitrateIndex == 15 || header.sampleRateIndex == 3) return std::nullopt;
  header.padding = (p[2] & 2) != 0;
  header.privateBit = (p[2] & 1) != 0;
  header.mode = p[3] >> 6;
  header.modeExtension = (p[3] >> 4) & 3;
  header.copyright = (p[3] & 8) != 0;
  header.original = (p[3] & 4) != 0;
  header.emphasis = p[3] & 3;
  return header;
}

int BitRateKbps(MpegVersion version, int index) {
  if (index < 0 || index > 14) return 0;
  return IsLsf(version) ? kBitRatesLsf[index] : kBitRatesMpeg1[index];
}

int BitRateIndex(MpegVersion version, int kbps) {
  for (int i = 1; i <= 14; ++i) {
    if (BitRateKbps(version, i) == kbps) return i;
  }
  return -1;
}

std::optional<std::pair<MpegVersion, int>> VersionOfSampleRate(int hz) {
  for (int i = 0; i < 3; ++i) {
    if (kSampleRatesMpeg1[i] == hz) return std::pair{MpegVersion::Mpeg1, i};
    if (kSampleRatesMpeg1[i] / 2 == hz) return std::pair{MpegVersion::Mpeg2, i};
    if (kSampleRatesMpeg1[i] / 4 == hz) return std::pair{MpegVersion::Mpeg25, i};
  }
  return std::nullopt;
}

int MainDataBegin(const FrameHeader& header, const std::uint8_t* sideInfo) {
  return static_cast<int>(BitReader(sideInfo).Read(0, IsLsf(header.version) ? 8 : 9));
}

void SetMainDataBegin(const FrameHeader& header, std::uint8_t* sideInfo, int value) {
  if (IsLsf(header.version)) {
    sideInfo[0] = static_cast<std::uint8_t>(value);
  } else {
    sideInfo[0] = static_cast<std::uint8_t>(value >> 1);
    sideInfo[1] = static_cast<std::uint8_t>((sideInfo[1] & 0x7F) | ((value & 1) << 7));
  }
}

int MainDataBits(const FrameHeader& header, const std::uint8_t* sideInfo) {
  const SideInfoShape shape = ShapeOf(header);
  const BitReader reader(sideInfo);
  int bits = 0;
  for (int entry = 0; entry < shape.entries; ++entry)
    bits += static_cast<int>(reader.Read(shape.firstEntryBit + entry * shape.entryBits, 12));
  return bits;
}

std::uint16_t FrameCrc(const std::uint8_t* header, const std::uint8_t* sideInfo, int sideInfoBytes) {
  unsigned crc = 0xFFFF;
  const auto feed = [&crc](std::uint8_t byte) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool top = (crc & 0x8000) != 0;
      const bool in = ((byte >> bit) & 1) != 0;
      crc = (crc << 1) & 0xFFFF;
      if (top != in) crc ^= 0x8005;
    }
  };
  feed(header[2]);
  feed(header[3]);
  for (int i = 0; i < sideInfoBytes; ++i) feed(sideInfo[i]);
  return static_cast<std::uint16_t>(crc);
}

namespace {

// The music CRC runs over every byte of the stream: a byte at a time, from a table.
constexpr std::array<std::uint16_t, 256> kTagCrcTable = [] {
  std::array<std::uint16_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    unsigned value = byte;
    for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? (value >> 1) ^ 0xA001 : value >> 1;
    table[byte] = static_cast<std::uint16_t>(value);
  }
  return table;
}();

}  // namespace

std::uint16_t TagCrc(const std::uint8_t* data, std::size_t length, std::uint16_t crc) {
  unsigned value = crc;
  for (std::size_t i = 0; i < length; ++i) value = (value >> 8) ^ kTagCrcTable[(value ^ data[i]) & 0xFF];
  return static_cast<std::uint16_t>(value);
}

// ---- Unpacking ----

void FrameUnpacker::Append(const std::uint8_t* data, std::size_t length) {
  // Taken bytes are dropped in bulk, so appending stays linear however long the stream.
  if (readOffset_ > 0 && readOffset_ >= bytes_.size() / 2) {
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(readOffset_));
    readOffset_ = 0;
  }
  bytes_.insert(bytes_.end(), data, data + length);
}

std::optional<AudioFrame> FrameUnpacker::Next() {
  const std::size_t available = bytes_.size() - readOffset_;
  if (available < 4) return std::nullopt;
  const std::uint8_t* p = bytes_.data() + readOffset_;
  const std::optional<FrameHeader> header = ParseFrameHeader(p, available);
  if (!header) {
    throw EncoderError("The MP3 encoder wrote bytes that are not a layer III frame (frame " +
                        std::to_string(framesTaken_) + ").");
  }
  const auto size = static_cast<std::size_t>(header->FrameBytes());
  if (available < size) return std::nullopt;

  AudioFrame frame;
  frame.header = *header;
  const int sideBytes = header->SideInfoBytes();
  const std::uint8_t* side = p + header->HeaderBytes();
  std::memcpy(frame.sideInfo.data(), side, static_cast<std::size_t>(sideBytes));
  frame.sourceBegin = MainDataBegin(*header, side);
  const std::size_t mainBytes = (static_cast<std::size_t>(MainDataBits(*header, side)) + 7) / 8;
  const std::uint8_t* slot = side + sideBytes;
  const auto slotBytes = static_cast<std::size_t>(header->SlotBytes());
  const auto back = static_cast<std::size_t>(frame.sourceBegin);
  if (back > reservoir_.size() || mainBytes > back + slotBytes) {
    throw EncoderError("The MP3 encoder wrote a frame whose main data lies outside the stream (frame " +
                        std::to_string(framesTaken_) + ").");
  }
  frame.mainData.reserve(mainBytes);
  const std::size_t fromReservoir = std::min(back, mainBytes);
  const auto start = reservoir_.end() - static_cast<std::ptrdiff_t>(back);
  frame.mainData.insert(frame.mainData.end(), start, start + static_cast<std::ptrdiff_t>(fromReservoir));
  frame.mainData.insert(frame.mainData.end(), slot, slot + (mainBytes - fromReservoir));
  frame.raw.assign(p, p + size);

  reservoir_.insert(reservoir_.end(), slot, slot + slotBytes);
  // Only the last 511 bytes can be pointed to; the rest goes now and then.
  if (reservoir_.size() > 8192) reservoir_.erase(reservoir_.begin(), reservoir_.end() - 511);
  readOffset_ += size;
  ++framesTaken_;
  return frame;
}

// ---- Packing ----

ReservoirPacker::ReservoirPacker(PackingRules rules, FrameSink sink) : rules_(rules), sink_(std::move(sink)) {}

bool ReservoirPacker::ByteCountAllowed(const FrameHeader& header, std::int64_t frames, std::int64_t bytes) const {
  if (rules_.vbr) return true;
  // The exact bytes of n frames at the nominal rate are n * perFrame / rate; a constant-rate
  // stream stays within a byte of that count. Where the frames have the nominal size exactly,
  // a padded frame would add a byte nothing takes back.
  const std::int64_t perFrame = (header.version == MpegVersion::Mpeg1 ? 144000LL : 72000LL) * header.BitRateKbps();
  const std::int64_t rate = header.SampleRate();
  if (perFrame % rate == 0) return bytes == frames * perFrame / rate;
  const std::int64_t low = frames * perFrame / rate - 1;
  const std::int64_t high = (frames * perFrame + rate - 1) / rate + 1;
  return bytes >= low && bytes <= high;
}

bool ReservoirPacker::PaddingAllowed(const FrameHeader& header, bool padded) const {
  FrameHeader sized = header;
  sized.padding = padded;
  return ByteCountAllowed(header, frames_ + 1, bytes_ + sized.FrameBytes());
}

// The frame sizes that may hold a frame's data, smallest first.
std::vector<FrameHeader> ReservoirPacker::Candidates(const FrameHeader& frameHeader, bool keepPadding) const {
  std::vector<FrameHeader> candidates;
  FrameHeader own = frameHeader;
  if (keepPadding) {
    candidates.push_back(own);
  } else if (rules_.vbr) {
    for (int index = own.bitrateIndex; index <= std::max(own.bitrateIndex, rules_.maxBitrateIndex); ++index) {
      FrameHeader larger = own;
      larger.bitrateIndex = index;
      if (index != own.bitrateIndex) larger.padding = false;
      candidates.push_back(larger);
      if (!larger.padding) {
        larger.padding = true;
        candidates.push_back(larger);
      }
    }
  } else {
    if (!PaddingAllowed(own, own.padding)) own.padding = !own.padding;
    candidates.push_back(own);
    if (!own.padding && PaddingAllowed(own, true)) {
      own.padding = true;
      candidates.push_back(own);
    }
  }
  return candidates;
}

void ReservoirPacker::Rewrite(Pending& frame, const FrameHeader& header) {
  const int grown = header.FrameBytes() - frame.header.FrameBytes();
  frame.bytes.resize(frame.bytes.size() + static_cast<std::size_t>(grown), 0);
  frame.header = header;
  header.Write(frame.bytes.data());
  if (header.crc) {
    const std::uint16_t crc = FrameCrc(frame.bytes.data(), frame.bytes.data() + 6, header.SideInfoBytes());
    frame.bytes[4] = static_cast<std::uint8_t>(crc >> 8);
    frame.bytes[5] = static_cast<std::uint8_t>(crc);
  }
}

// Makes room for the frame about to be placed by enlarging the one before it, whose slot ends
// where the new frame's would start: its own data stays where it is, and the bytes added are
// reservoir for the new frame. Variable rate: the padding slot, then larger bit rates; constant
// rate: the padding slot where the byte count allows it.
bool ReservoirPacker::GrowLastFrame(const std::function<bool()>& fits) {
  if (pending_.empty()) return false;
  Pending& last = pending_.back();
  const FrameHeader original = last.header;
  std::vector<FrameHeader> larger;
  FrameHeader padded = original;
  padded.padding = true;
  if (!original.padding && (rules_.vbr || ByteCountAllowed(original, frames_, bytes_ + 1))) larger.push_back(padded);
  if (rules_.vbr) {
    for (int index = original.bitrateIndex + 1; index <= rules_.maxBitrateIndex; ++index) {
      FrameHeader raised = original;
      raised.bitrateIndex = index;
      raised.padding = false;
      larger.push_back(raised);
      raised.padding = true;
      larger.push_back(raised);
    }
  }
  for (const FrameHeader& header : larger) {
    const int grown = header.FrameBytes() - original.FrameBytes();
    Rewrite(last, header);
    slotEnd_ += grown;
    bytes_ += grown;
    if (fits()) {
      if (header.bitrateIndex != original.bitrateIndex) ++framesRaised_;
      else ++paddingAdded_;
      return true;
    }
    slotEnd_ -= grown;
    bytes_ -= grown;
    // Back to the original size: the bytes added are dropped again.
    last.bytes.resize(last.bytes.size() - static_cast<std::size_t>(grown));
    last.header = original;
    Rewrite(last, original);
  }
  return false;
}

void ReservoirPacker::WriteReservoir(std::int64_t position, const std::uint8_t* data, std::size_t length) {
  if (length == 0) return;
  // Find the frame whose slot holds `position`, from the newest back.
  std::size_t index = pending_.size();
  std::int64_t slotStart = slotEnd_;
  while (index > 0) {
    --index;
    const Pending& frame = pending_[index];
    slotStart -= static_cast<std::int64_t>(frame.bytes.size()) - frame.slotOffset;
    if (slotStart <= position) break;
  }
  if (slotStart > position) throw EncoderError("The MP3 packer lost a frame it still needed.");
  std::size_t done = 0;
  std::int64_t at = position;
  while (done < length) {
    Pending& frame = pending_.at(index);
    const std::int64_t slotBytes = static_cast<std::int64_t>(frame.bytes.size()) - frame.slotOffset;
    const std::int64_t inSlot = at - slotStart;
    const auto count = static_cast<std::size_t>(std::min<std::int64_t>(slotBytes - inSlot, length - done));
    std::memcpy(frame.bytes.data() + frame.slotOffset + inSlot, data + done, count);
    done += count;
    at += static_cast<std::int64_t>(count);
    slotStart += slotBytes;
    ++index;
  }
}

bool ReservoirPacker::Place(const AudioFrame& frame, bool keepPadding, PackRefusal& refusal) {
  if (frames_ == 0) maxBack_ = frame.header.MaxMainDataBegin();
  const std::int64_t back = std::min(frame.sourceBegin, maxBack_);
  const auto length = static_cast<std::int64_t>(frame.mainData.size());
  std::int64_t begin = 0;
  std::vector<FrameHeader> candidates;
  const FrameHeader* chosen = nullptr;
  const auto fits = [&] {
    begin = std::max(dataEnd_, slotEnd_ - back);
    candidates = Candidates(frame.header, keepPadding);
    chosen = nullptr;
    // When the stream has less reservoir here than the frame's encoder had (behind a join), the
    // shortfall would stay with every later frame of the block until one of them cannot take
    // it; a frame that can grow by the shortfall takes it at once.
    const std::int64_t shortfall = begin - (slotEnd_ - back);
    for (const FrameHeader& candidate : candidates) {
      if (begin + length > slotEnd_ + candidate.SlotBytes()) continue;
      if (chosen == nullptr) chosen = &candidate;
      if (candidate.SlotBytes() - frame.header.SlotBytes() >= shortfall) {
        chosen = &candidate;
        break;
      }
    }
    return chosen != nullptr;
  };
  if (!fits() && (keepPadding || !GrowLastFrame(fits))) {
    fits();
    refusal.missingBytes = static_cast<int>(begin + length - (slotEnd_ + candidates.back().SlotBytes()));
    return false;
  }
  if (chosen->bitrateIndex != frame.header.bitrateIndex) ++framesRaised_;
  else if (chosen->padding && !frame.header.padding) ++paddingAdded_;

  const std::int64_t slotStart = slotEnd_;
  Pending out;
  out.header = *chosen;
  out.bytes.assign(static_cast<std::size_t>(chosen->FrameBytes()), 0);
  chosen->Write(out.bytes.data());
  const int sideBytes = chosen->SideInfoBytes();
  std::uint8_t* side = out.bytes.data() + chosen->HeaderBytes();
  std::memcpy(side, frame.sideInfo.data(), static_cast<std::size_t>(sideBytes));
  SetMainDataBegin(*chosen, side, static_cast<int>(slotStart - begin));
  if (chosen->crc) {
    const std::uint16_t crc = FrameCrc(out.bytes.data(), side, sideBytes);
    out.bytes[4] = static_cast<std::uint8_t>(crc >> 8);
    out.bytes[5] = static_cast<std::uint8_t>(crc);
  }
  out.slotOffset = chosen->HeaderBytes() + sideBytes;
  const auto frameBytes = static_cast<std::int64_t>(out.bytes.size());
  pending_.push_back(std::move(out));
  slotEnd_ = slotStart + pending_.back().header.SlotBytes();
  WriteReservoir(begin, frame.mainData.data(), frame.mainData.size());
  dataEnd_ = begin + length;
  ++frames_;
  bytes_ += frameBytes;
  return true;
}

void ReservoirPacker::AddVerbatim(const AudioFrame& frame) {
  if (frames_ == 0) maxBack_ = frame.header.MaxMainDataBegin();
  const std::int64_t begin = slotEnd_ - frame.sourceBegin;
  if (begin < dataEnd_ || frame.raw.empty()) {
    throw EncoderError("The MP3 encoder's frames overlap in the bit reservoir.");
  }
  Pending out;
  out.header = frame.header;
  out.bytes = frame.raw;
  out.slotOffset = frame.header.HeaderBytes() + frame.header.SideInfoBytes();
  pending_.push_back(std::move(out));
  slotEnd_ += frame.header.SlotBytes();
  dataEnd_ = begin + static_cast<std::int64_t>(frame.mainData.size());
  ++frames_;
  bytes_ += static_cast<std::int64_t>(frame.raw.size());
  Release();
}

std::optional<PackRefusal> ReservoirPacker::AddBlock(const std::vector<AudioFrame>& frames, bool keepPadding) {
  // The block is laid out on a copy, so a refused block leaves nothing behind. The copy is small:
  // after Release only the frames within reach of the reservoir are held.
  ReservoirPacker trial = *this;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    PackRefusal refusal;
    refusal.frame = i;
    if (!trial.Place(frames[i], keepPadding, refusal)) return refusal;
  }
  *this = std::move(trial);
  Release();
  return std::nullopt;
}

void ReservoirPacker::Release() {
  // A slot is final once every later frame's main data must start after it: behind the last
  // frame's data, and no further back than the format allows from the next slot.
  // The last frame stays too: it may still be enlarged to make room for the next.
  const std::int64_t reach = std::max(dataEnd_, slotEnd_ - maxBack_);
  while (pending_.size() > 1) {
    const Pending& front = pending_.front();
    const std::int64_t slotBytes = static_cast<std::int64_t>(front.bytes.size()) - front.slotOffset;
    if (pendingStart_ + slotBytes > reach) break;
    sink_(front.bytes.data(), front.bytes.size());
    pendingStart_ += slotBytes;
    pending_.pop_front();
  }
}

void ReservoirPacker::Flush() {
  while (!pending_.empty()) {
    const Pending& front = pending_.front();
    sink_(front.bytes.data(), front.bytes.size());
    pendingStart_ += static_cast<std::int64_t>(front.bytes.size()) - front.slotOffset;
    pending_.pop_front();
  }
}

// ---- The seek table ----

void SeekTable::Add(std::size_t frameBytes) {
  if (frames_ % step_ == 0) {
    if (offsets_.size() == kCapacity) {
      for (std::size_t i = 0; i < kCapacity / 2; ++i) offsets_[i] = offsets_[2 * i];
      offsets_.resize(kCapacity / 2);
      step_ *= 2;
    }
    if (frames_ % step_ == 0) offsets_.push_back(bytes_);
  }
  ++frames_;
  bytes_ += frameBytes;
}

std::array<std::uint8_t, 100> SeekTable::Toc(std::uint64_t tagBytes, std::uint64_t totalBytes) const {
  std::array<std::uint8_t, 100> toc{};
  if (frames_ == 0 || totalBytes == 0) return toc;
  for (int percent = 0; percent < 100; ++percent) {
    const std::int64_t frame = percent * frames_ / 100;
    const auto index = static_cast<std::size_t>(frame / step_);
    // Between two kept frames the offset is interpolated: the step is at most 1/512 of the frames.
    const std::int64_t fromFrame = static_cast<std::int64_t>(index) * step_;
    const std::uint64_t from = offsets_[index];
    const bool last = index + 1 >= offsets_.size();
    const std::int64_t toFrame = last ? frames_ : fromFrame + step_;
    const std::uint64_t to = last ? bytes_ : offsets_[index + 1];
    const std::uint64_t offset =
        tagBytes + from + (to - from) * static_cast<std::uint64_t>(frame - fromFrame) /
                              static_cast<std::uint64_t>(std::max<std::int64_t>(1, toFrame - fromFrame));
    toc[static_cast<std::size_t>(percent)] =
        static_cast<std::uint8_t>(std::min<std::uint64_t>(255, 256 * offset / totalBytes));
  }
  return toc;
}

// ---- The Info tag ----

std::optional<InfoTagLayout> FindInfoTag(const std::vector<std::uint8_t>& frame) {
  const std::optional<FrameHeader> header = ParseFrameHeader(frame.data(), frame.size());
  if (!header || frame.size() != static_cast<std::size_t>(header->FrameBytes())) return std::nullopt;
  InfoTagLayout layout;
  // Readers look for the tag right after the side information as if there were no CRC, and LAME
  // writes it there.
  layout.xing = static_cast<std::size_t>(4 + header->SideInfoBytes());
  if (layout.xing + 8 > frame.size()) return std::nullopt;
  const std::string name(reinterpret_cast<const char*>(&frame[layout.xing]), 4);
  if (name != "Xing" && name != "Info") return std::nullopt;
  const std::uint32_t flags = GetBigEndian32(&frame[layout.xing + 4]);
  const std::uint32_t needed = kXingFrames | kXingBytes | kXingToc;
  if ((flags & needed) != needed) return std::nullopt;
  layout.lame = layout.xing + 8 + 4 + 4 + 100 + ((flags & kXingScale) ? 4 : 0);
  if (layout.lame + kLameExtensionBytes > frame.size()) return std::nullopt;
  return layout;
}

void WriteStreamFacts(std::vector<std::uint8_t>& frame, const StreamFacts& facts) {
  const std::optional<InfoTagLayout> layout = FindInfoTag(frame);
  if (!layout) throw EncoderError("The MP3 encoder's tag frame has no Info tag to complete.");
  std::uint8_t* xing = &frame[layout->xing];
  PutBigEndian32(xing + 8, static_cast<std::uint32_t>(facts.audioFrames));
  PutBigEndian32(xing + 12, static_cast<std::uint32_t>(facts.totalBytes));
  std::memcpy(xing + 16, facts.toc.data(), facts.toc.size());
  std::uint8_t* lame = &frame[layout->lame];
  const int delay = std::clamp(facts.encoderDelay, 0, 4095);
  const int padding = std::clamp(facts.encoderPadding, 0, 4095);
  lame[kLameDelayPadding] = static_cast<std::uint8_t>(delay >> 4);
  lame[kLameDelayPadding + 1] = static_cast<std::uint8_t>(((delay & 15) << 4) | (padding >> 8));
  lame[kLameDelayPadding + 2] = static_cast<std::uint8_t>(padding);
  PutBigEndian32(lame + kLameMusicLength, static_cast<std::uint32_t>(facts.totalBytes));
  lame[kLameMusicCrc] = static_cast<std::uint8_t>(facts.musicCrc >> 8);
  lame[kLameMusicCrc + 1] = static_cast<std::uint8_t>(facts.musicCrc);
  const std::uint16_t tagCrc = TagCrc(frame.data(), layout->lame + kLameTagCrc);
  lame[kLameTagCrc] = static_cast<std::uint8_t>(tagCrc >> 8);
  lame[kLameTagCrc + 1] = static_cast<std::uint8_t>(tagCrc);
}

std::optional<StreamFacts> ReadStreamFacts(const std::vector<std::uint8_t>& frame) {
  const std::optional<InfoTagLayout> layout = FindInfoTag(frame);
  if (!layout) return std::nullopt;
  StreamFacts facts;
  const std::uint8_t* xing = &frame[layout->xing];
  facts.audioFrames = GetBigEndian32(xing + 8);
  facts.totalBytes = GetBigEndian32(xing + 12);
  std::memcpy(facts.toc.data(), xing + 16, facts.toc.size());
  const std::uint8_t* lame = &frame[layout->lame];
  facts.encoderDelay = (lame[kLameDelayPadding] << 4) | (lame[kLameDelayPadding + 1] >> 4);
  facts.encoderPadding = ((lame[kLameDelayPadding + 1] & 15) << 8) | lame[kLameDelayPadding + 2];
  facts.musicCrc = static_cast<std::uint16_t>((lame[kLameMusicCrc] << 8) | lame[kLameMusicCrc + 1]);
  return facts;
}

}  // namespace engine::mp3
