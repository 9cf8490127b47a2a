#include "engine/mp3_stream_encoder.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <utility>

#include "engine/lame_library.h"

namespace engine {

int LameMode(ChannelMode mode) {
  switch (mode) {
    case ChannelMode::Stereo: return 0;
    case ChannelMode::JointStereo: return 1;
    case ChannelMode::DualChannel: return 2;
    case ChannelMode::Mono: return 3;
  }
  return 1;
}

namespace {

constexpr int kVbrMtrh = 4;  // LAME's default VBR method
// LAME's own layer III frame starts 528 samples into its buffer and its filters reach about
// another 1100 samples back (polyphase window and the previous granule of the MDCT): a block's
// first kept frame needs this much real audio before it.
constexpr int kFilterReach = 1616;
// LAME encodes a frame once it holds the frame's samples and 224 more (its psychoacoustic model
// looks that far ahead): a block's encoder is fed this far past the block's end, and the flush
// that follows only pads what comes after.
constexpr int kLookahead = 288;
// Every PCM piece handed to LAME at once: small enough to check for a stop often.
constexpr std::int64_t kPieceFrames = 8192;

std::int64_t CeilDiv(std::int64_t value, std::int64_t by) { return (value + by - 1) / by; }

}  // namespace

// A block of PCM of fixed capacity: it never moves, so workers read its filled part while the
// caller appends behind it.
struct Mp3StreamEncoder::PcmChunk {
  explicit PcmChunk(std::size_t bytes) : data(new std::uint8_t[bytes]) {}
  std::unique_ptr<std::uint8_t[]> data;
  std::int64_t filled = 0;  // sample frames; only the caller's thread reads or writes it
};

// One block: the frames [first, end) of the stream, from an encoder that starts `overlap` frames
// earlier and gets PCM up to inputEnd.
struct Mp3StreamEncoder::Block {
  std::int64_t first = 0;
  std::int64_t end = 0;       // the last block takes every frame its encoder makes
  bool last = false;
  bool writeTag = false;      // the stream's first block: its encoder's tag is the template
  int overlap = 0;
  std::int64_t inputEnd = 0;  // sample frames
  std::int64_t chunkBase = 0; // index of chunks[0]
  std::vector<std::shared_ptr<PcmChunk>> chunks;
  // Written by the worker, read by the caller once `done` is set under the mutex.
  bool done = false;
  std::exception_ptr error;
  std::vector<mp3::AudioFrame> frames;
  std::vector<std::uint8_t> placeholder;
  std::vector<std::uint8_t> tagTemplate;
  int delay = 0;
  int padding = 0;
};

// One LAME context, configured from the settings; closed when it goes.
class Mp3StreamEncoder::Context {
 public:
  Context(const Mp3StreamSettings& settings, Mp3PcmFormat pcm, bool writeTag, bool reservoir) : pcm_(pcm) {
    gf_ = lame::lame_init();
    if (gf_ == nullptr) throw EncoderError("The MP3 encoder could not be started.");
    try {
      lame::lame_set_in_samplerate(gf_, settings.sampleRate);
      lame::lame_set_out_samplerate(gf_, settings.sampleRate);
      lame::lame_set_num_channels(gf_, settings.lameChannels);
      lame::lame_set_mode(gf_, LameMode(settings.channelMode));
      lame::lame_set_copyright(gf_, settings.copyright ? 1 : 0);
      lame::lame_set_original(gf_, settings.original ? 1 : 0);
      lame::lame_set_error_protection(gf_, settings.crc ? 1 : 0);
      if (settings.quality >= 0) lame::lame_set_quality(gf_, settings.quality);
      if (settings.vbr) {
        lame::lame_set_VBR(gf_, kVbrMtrh);
        lame::lame_set_VBR_quality(gf_, settings.vbrQuality);
        if (settings.vbrMinKbps > 0) lame::lame_set_VBR_min_bitrate_kbps(gf_, settings.vbrMinKbps);
        if (settings.vbrMaxKbps > 0) lame::lame_set_VBR_max_bitrate_kbps(gf_, settings.vbrMaxKbps);
      } else {
        lame::lame_set_brate(gf_, settings.bitRateKbps);
      }
      lame::lame_set_bWriteVbrTag(gf_, writeTag ? 1 : 0);
      // The caller writes the tags; LAME's own would land between the frames of a split stream.
      lame::lame_set_write_id3tag_automatic(gf_, 0);
      if (!reservoir) lame::lame_set_disable_reservoir(gf_, 1);
      if (lame::lame_init_params(gf_) < 0) {
        throw EncoderError("The MP3 encoder cannot encode audio of " + std::to_string(settings.sampleRate) +
                            " Hz with these settings.");
      }
    } catch (...) {
      lame::lame_close(gf_);
      throw;
    }
  }
  ~Context() { lame::lame_close(gf_); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  lame::lame_t Handle() const { return gf_; }

  // Encodes interleaved PCM and appends what LAME writes to `out`.
  void Encode(const std::uint8_t* pcm, std::int64_t frames, std::vector<std::uint8_t>& out) {
    const int frameBytes = pcm_.channels * (pcm_.sample == PcmSampleFormat::Float32 ? 4 : 2);
    while (frames > 0) {
      const int piece = static_cast<int>(std::min(frames, kPieceFrames));
      const std::size_t before = out.size();
      const int room = piece + piece / 4 + 7200;  // LAME's own bound for its output
      out.resize(before + static_cast<std::size_t>(room));
      unsigned char* mp3 = out.data() + before;
      int written;
      if (pcm_.sample == PcmSampleFormat::Float32) {
        const auto* samples = reinterpret_cast<const float*>(pcm);
        written = pcm_.channels == 2
                      ? lame::lame_encode_buffer_interleaved_ieee_float(gf_, samples, piece, mp3, room)
                      : lame::lame_encode_buffer_ieee_float(gf_, samples, samples, piece, mp3, room);
      } else {
        // LAME takes the interleaved samples through a non-const pointer but only reads them.
        auto* samples = reinterpret_cast<short*>(const_cast<std::uint8_t*>(pcm));
        written = pcm_.channels == 2 ? lame::lame_encode_buffer_interleaved(gf_, samples, piece, mp3, room)
                                     : lame::lame_encode_buffer(gf_, samples, samples, piece, mp3, room);
      }
      if (written < 0) throw EncoderError("The MP3 encoder failed (error " + std::to_string(written) + ").");
      out.resize(before + static_cast<std::size_t>(written));
      pcm += static_cast<std::ptrdiff_t>(piece) * frameBytes;
      frames -= piece;
    }
  }

  void Flush(std::vector<std::uint8_t>& out) {
    const std::size_t before = out.size();
    constexpr int kRoom = 7200 * 4;
    out.resize(before + kRoom);
    const int written = lame::lame_encode_flush(gf_, out.data() + before, kRoom);
    if (written < 0) throw EncoderError("The MP3 encoder failed (error " + std::to_string(written) + ").");
    out.resize(before + static_cast<std::size_t>(written));
  }

  // The tag frame LAME would write now; empty when it writes none.
  std::vector<std::uint8_t> TagFrame() const {
    unsigned char probe[1];
    const std::size_t size = lame::lame_get_lametag_frame(gf_, probe, 0);
    std::vector<std::uint8_t> frame(size);
    if (size > 0 && lame::lame_get_lametag_frame(gf_, frame.data(), size) != size) frame.clear();
    return frame;
  }

 private:
  lame::lame_t gf_ = nullptr;
  Mp3PcmFormat pcm_;
};

Mp3StreamEncoder::LibraryUse::LibraryUse() {
  lame::Load();
  if (!lame::Loaded()) throw EncoderError(lame::LoadError());
  const std::string missing = lame::MissingStreamEntryPoint();
  if (!missing.empty()) {
    lame::Unload();
    throw EncoderError(lame::LibraryName() + " library lacks the entry point " + missing + ".");
  }
}

Mp3StreamEncoder::LibraryUse::~LibraryUse() { lame::Unload(); }

Mp3StreamEncoder::Mp3StreamEncoder(const Mp3StreamSettings& settings, Mp3PcmFormat pcm, ByteSink sink, int workers,
                                   const std::atomic<bool>* stop, Mp3SplitTuning tuning)
    : settings_(settings),
      pcm_(pcm),
      sink_(std::move(sink)),
      stop_(stop),
      packer_(mp3::PackingRules{}, {}) {
  if (pcm.channels != 1 && pcm.channels != 2) throw EncoderError("The MP3 encoder takes one or two channels.");
  if (settings.lameChannels != 1 && settings.lameChannels != 2)
    throw EncoderError("The MP3 encoder takes one or two channels.");
  if (pcm.channels == 2 && settings.lameChannels == 1)
    throw EncoderError("Two-channel PCM cannot be handed to a one-channel MP3 encoder.");

  // LAME is the judge of its settings: the first context, made here, refuses them on this thread.
  // It encodes from the start, sequentially; with more workers the first block has its own.
  workers_ = std::max(1, workers);
  if (workers_.load() > 1) {
    mode_ = Mode::Split;
    Context check(settings_, pcm_, true, true);
  } else {
    sequential_ = std::make_unique<Context>(settings_, pcm_, true, true);
    encoderDelay_ = lame::lame_get_encoder_delay(sequential_->Handle());
  }
  const std::optional<std::pair<mp3::MpegVersion, int>> version = mp3::VersionOfSampleRate(settings.sampleRate);
  if (!version) {
    throw EncoderError("The MP3 encoder cannot encode audio of " + std::to_string(settings.sampleRate) +
                        " Hz with these settings.");
  }

  const bool mpeg1 = version->first == mp3::MpegVersion::Mpeg1;
  frameSamples_ = mpeg1 ? 1152 : 576;
  lookahead_ = kLookahead;
  // Each block costs a context's set-up, its overlap and the flush of its last frames, together
  // about nine frames' work: 160 frames (4.2 s at 44.1 kHz) keep that near a twentieth of the
  // encode, and still give a file of a minute a dozen blocks to share out.
  blockFrames_ = tuning.blockFrames > 0 ? tuning.blockFrames : 160;
  overlapFrames_ = tuning.overlapFrames >= 0 ? tuning.overlapFrames : (mpeg1 ? 4 : 8);
  minOverlapFrames_ = std::min(overlapFrames_, static_cast<int>(CeilDiv(kFilterReach, frameSamples_)));
  windowBlocks_ = tuning.windowBlocks;
  refusePacks_ = tuning.refusePacks;
  if (blockFrames_ < overlapFrames_ + 2) throw EncoderError("A block must be longer than its overlap.");
  pcmFrameBytes_ = pcm.channels * (pcm.sample == PcmSampleFormat::Float32 ? 4 : 2);
  chunkFrames_ = static_cast<std::int64_t>(blockFrames_) * frameSamples_;

  mp3::PackingRules rules;
  rules.vbr = settings.vbr;
  if (settings.vbr && settings.vbrMaxKbps > 0) {
    const int index = mp3::BitRateIndex(version->first, settings.vbrMaxKbps);
    if (index > 0) rules.maxBitrateIndex = index;
  }
  packer_ = mp3::ReservoirPacker(rules, [this](const std::uint8_t* data, std::size_t length) { EmitFrame(data, length); });
}

Mp3StreamEncoder::~Mp3StreamEncoder() { Shutdown(); }

void Mp3StreamEncoder::SetWorkers(int workers) {
  workers_ = std::max(1, workers);
  std::lock_guard lock(mutex_);
  wake_.notify_all();
}

void Mp3StreamEncoder::Cancel() {
  cancelled_ = true;
  std::lock_guard lock(mutex_);
  wake_.notify_all();
}

bool Mp3StreamEncoder::Stopping() const { return cancelled_.load() || (stop_ != nullptr && stop_->load()); }

// Runs one public step: a stop ends the encode quietly, an error ends it with every thread joined.
bool Mp3StreamEncoder::Run(const std::function<void()>& step) {
  if (mode_ == Mode::Failed) throw EncoderError("The MP3 encoder failed earlier.");
  if (mode_ == Mode::Stopped) return false;
  if (Stopping()) {
    Shutdown();
    mode_ = Mode::Stopped;
    return false;
  }
  try {
    step();
  } catch (...) {
    Shutdown();
    sequential_.reset();
    mode_ = Mode::Failed;
    throw;
  }
  if (Stopping()) {
    Shutdown();
    sequential_.reset();
    mode_ = Mode::Stopped;
    return false;
  }
  return true;
}

bool Mp3StreamEncoder::Encode(const void* pcm, std::int64_t frames) {
  if (mode_ == Mode::Finished) throw EncoderError("The MP3 encoder has finished.");
  return Run([&] {
    const auto* bytes = static_cast<const std::uint8_t*>(pcm);
    while (frames > 0 && !Stopping()) {
      if (mode_ == Mode::Sequential && workers_.load() > 1) BeginSwitch();
      if (mode_ == Mode::Split) {
        EncodeSplit(bytes, frames);
        return;
      }
      // Sequential, or switching: the sequential encoder takes PCM up to its limit.
      std::int64_t take = frames;
      if (mode_ == Mode::Switching) take = std::min(frames, sequentialLimit_ - pcmFrames_);
      EncodeSequential(bytes, take);
      bytes += take * pcmFrameBytes_;
      frames -= take;
      if (mode_ == Mode::Switching && pcmFrames_ >= sequentialLimit_) EndSequentialBlock(false);
    }
  });
}

bool Mp3StreamEncoder::Finish() {
  if (mode_ == Mode::Finished) return true;
  const bool finished = Run([&] {
    if (mode_ == Mode::Sequential || mode_ == Mode::Switching) {
      // The stream ended before the switch: the sequential encoder has all of it.
      switchFrame_ = -1;
      EndSequentialBlock(true);
      packer_.Flush();
      return;
    }
    DispatchReady(true);
    EnsureThreads();
    JoinFinished(true);
    if (Stopping()) return;
    packer_.Flush();
    CompleteTag();
  });
  Shutdown();
  if (finished) mode_ = Mode::Finished;
  return finished;
}

// ---- Sequential ----

void Mp3StreamEncoder::EncodeSequential(const std::uint8_t* pcm, std::int64_t frames) {
  Store(pcm, frames);
  sequentialBytes_.clear();
  sequential_->Encode(pcm, frames, sequentialBytes_);
  sequentialFrames_.Append(sequentialBytes_.data(), sequentialBytes_.size());
  DrainSequential(false);
  // Only the last blocks' PCM can still be needed, by the first split block's overlap.
  while (chunks_.size() > 3) {
    chunks_.pop_front();
    ++firstChunk_;
  }
}

void Mp3StreamEncoder::DrainSequential(bool flushed) {
  if (!tagDecided_) {
    // LAME's placeholder for its tag leads its output, but whether there is one (the tag does not
    // fit in frames of the lowest rates) shows only once a frame has been encoded.
    if (!flushed && lame::lame_get_frameNum(sequential_->Handle()) < 1) return;
    placeholderSize_ = sequential_->TagFrame().size();
    tagDecided_ = true;
  }
  while (std::optional<mp3::AudioFrame> frame = sequentialFrames_.Next()) {
    if (placeholderSize_ > 0 && placeholderBytes_ == 0) {
      if (frame->raw.size() != placeholderSize_) throw EncoderError("The MP3 encoder's tag frame is missing.");
      EmitPlaceholder(frame->raw);
      continue;
    }
    const std::int64_t index = sequentialIndex_++;
    // Frames from the switch on come from the split blocks.
    if (switchFrame_ >= 0 && index >= switchFrame_) continue;
    packer_.AddVerbatim(*frame);
  }
}

void Mp3StreamEncoder::BeginSwitch() {
  // The sequential encoder has taken PCM it cannot give back: it ends at the first block
  // boundary whose lookahead it can still be fed exactly, and after every frame it has written.
  std::int64_t boundary = std::max<std::int64_t>(CeilDiv(pcmFrames_ - lookahead_, frameSamples_), 1);
  boundary = std::max(boundary, sequentialIndex_ + 1);
  boundary = CeilDiv(boundary, blockFrames_) * blockFrames_;
  switchFrame_ = boundary;
  sequentialLimit_ = boundary * frameSamples_ + lookahead_;
  mode_ = Mode::Switching;
  if (pcmFrames_ >= sequentialLimit_) EndSequentialBlock(false);
}

void Mp3StreamEncoder::EndSequentialBlock(bool last) {
  sequentialBytes_.clear();
  sequential_->Flush(sequentialBytes_);
  sequentialFrames_.Append(sequentialBytes_.data(), sequentialBytes_.size());
  DrainSequential(true);
  if (sequentialFrames_.Buffered() != 0) throw EncoderError("The MP3 encoder ended inside a frame.");
  encoderDelay_ = lame::lame_get_encoder_delay(sequential_->Handle());
  ++stats_.blocks;
  if (last) {
    // Nothing was split: the tag is LAME's own.
    tagFrame_ = sequential_->TagFrame();
    encoderPadding_ = lame::lame_get_encoder_padding(sequential_->Handle());
    if (tagFrame_.size() != placeholderBytes_) throw EncoderError("The MP3 encoder's tag frame changed its size.");
  } else {
    if (sequentialIndex_ < switchFrame_) throw EncoderError("The MP3 encoder wrote fewer frames than it was fed.");
    tagTemplate_ = sequential_->TagFrame();
    nextBlockFrame_ = switchFrame_;
    mode_ = Mode::Split;
  }
  sequential_.reset();
}

// ---- Split ----

void Mp3StreamEncoder::Store(const std::uint8_t* pcm, std::int64_t frames) {
  while (frames > 0) {
    const std::int64_t chunkIndex = pcmFrames_ / chunkFrames_;
    if (chunks_.empty()) firstChunk_ = chunkIndex;
    while (firstChunk_ + static_cast<std::int64_t>(chunks_.size()) <= chunkIndex)
      chunks_.push_back(std::make_shared<PcmChunk>(static_cast<std::size_t>(chunkFrames_ * pcmFrameBytes_)));
    PcmChunk& chunk = *chunks_.back();
    const std::int64_t take = std::min(frames, chunkFrames_ - chunk.filled);
    std::memcpy(chunk.data.get() + chunk.filled * pcmFrameBytes_, pcm, static_cast<std::size_t>(take * pcmFrameBytes_));
    chunk.filled += take;
    pcmFrames_ += take;
    pcm += take * pcmFrameBytes_;
    frames -= take;
  }
}

void Mp3StreamEncoder::EncodeSplit(const std::uint8_t* pcm, std::int64_t frames) {
  EnsureThreads();
  while (frames > 0) {
    if (Stopping()) return;
    JoinFinished(false);
    {
      std::unique_lock lock(mutex_);
      const int window = windowBlocks_ > 0 ? windowBlocks_ : 2 * workers_.load() + 1;
      if (static_cast<int>(blocks_.size()) >= window) {
        // The window is full: the oldest block must be joined before more PCM is taken.
        wake_.wait_for(lock, std::chrono::milliseconds(50), [&] { return blocks_.front()->done; });
        continue;
      }
    }
    // Up to the end of the block being gathered plus its lookahead, so it is dispatched at once.
    const std::int64_t ready = (nextBlockFrame_ + blockFrames_) * frameSamples_ + lookahead_;
    const std::int64_t take = std::max<std::int64_t>(1, std::min(frames, ready - pcmFrames_));
    Store(pcm, take);
    pcm += take * pcmFrameBytes_;
    frames -= take;
    DispatchReady(false);
    EnsureThreads();
  }
  JoinFinished(false);
}

void Mp3StreamEncoder::DispatchReady(bool finishing) {
  const auto makeBlock = [&](std::int64_t end, bool last) {
    auto block = std::make_shared<Block>();
    block->first = nextBlockFrame_;
    block->end = end;
    block->last = last;
    block->writeTag = nextBlockFrame_ == 0;
    block->overlap = static_cast<int>(std::min<std::int64_t>(overlapFrames_, nextBlockFrame_));
    block->inputEnd = last ? pcmFrames_ : end * frameSamples_ + lookahead_;
    const std::int64_t from = (block->first - block->overlap) * frameSamples_;
    block->chunkBase = from / chunkFrames_;
    const std::int64_t lastChunk = std::max(block->chunkBase, (block->inputEnd - 1) / chunkFrames_);
    for (std::int64_t index = block->chunkBase; index <= lastChunk && index - firstChunk_ < static_cast<std::int64_t>(chunks_.size());
         ++index) {
      if (index < firstChunk_) throw EncoderError("The MP3 encoder lost PCM it still needed.");
      block->chunks.push_back(chunks_[static_cast<std::size_t>(index - firstChunk_)]);
    }
    ++stats_.blocks;
    std::lock_guard lock(mutex_);
    blocks_.push_back(block);
    jobs_.push_back(block);
    wake_.notify_all();
  };
  while ((nextBlockFrame_ + blockFrames_) * frameSamples_ + lookahead_ <= pcmFrames_) {
    makeBlock(nextBlockFrame_ + blockFrames_, false);
    nextBlockFrame_ += blockFrames_;
  }
  if (finishing) {
    makeBlock(nextBlockFrame_, true);
    nextBlockFrame_ = -1;
  }
  // PCM before the next block's overlap is held only by the blocks that need it.
  const std::int64_t keepFrom = std::max<std::int64_t>(0, (nextBlockFrame_ - overlapFrames_) * frameSamples_);
  while (!chunks_.empty() && (nextBlockFrame_ < 0 || (firstChunk_ + 1) * chunkFrames_ <= keepFrom)) {
    chunks_.pop_front();
    ++firstChunk_;
  }
}

void Mp3StreamEncoder::EnsureThreads() {
  const int wanted = std::max(1, workers_.load());
  while (static_cast<int>(threads_.size()) < wanted) threads_.emplace_back([this] { WorkerLoop(); });
}

void Mp3StreamEncoder::WorkerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    // A worker takes a block only while fewer than the granted number are encoding.
    wake_.wait_for(lock, std::chrono::milliseconds(50), [&] {
      return shuttingDown_ || (!jobs_.empty() && running_ < workers_.load());
    });
    if (shuttingDown_) return;
    if (jobs_.empty() || running_ >= workers_.load()) continue;
    std::shared_ptr<Block> block = jobs_.front();
    jobs_.pop_front();
    ++running_;
    lock.unlock();
    try {
      EncodeBlock(*block, block->overlap, true);
    } catch (...) {
      block->error = std::current_exception();
    }
    lock.lock();
    --running_;
    block->done = true;
    wake_.notify_all();
  }
}

void Mp3StreamEncoder::EncodeBlock(Block& block, int overlap, bool reservoir) const {
  Context context(settings_, pcm_, block.writeTag, reservoir);
  std::vector<std::uint8_t> out;
  std::int64_t at = (block.first - overlap) * frameSamples_;
  while (at < block.inputEnd) {
    if (Stopping()) return;
    const std::int64_t chunkIndex = at / chunkFrames_;
    const PcmChunk& chunk = *block.chunks.at(static_cast<std::size_t>(chunkIndex - block.chunkBase));
    const std::int64_t offset = at - chunkIndex * chunkFrames_;
    const std::int64_t count = std::min({block.inputEnd - at, chunkFrames_ - offset, kPieceFrames});
    context.Encode(chunk.data.get() + offset * pcmFrameBytes_, count, out);
    at += count;
  }
  context.Flush(out);

  block.frames.clear();
  block.placeholder.clear();
  block.tagTemplate = block.writeTag ? context.TagFrame() : std::vector<std::uint8_t>{};
  block.delay = lame::lame_get_encoder_delay(context.Handle());
  block.padding = lame::lame_get_encoder_padding(context.Handle());
  mp3::FrameUnpacker unpacker;
  unpacker.Append(out.data(), out.size());
  std::int64_t index = block.first - overlap;  // the stream's frame that the encoder's next frame is
  bool placeholderPending = !block.tagTemplate.empty();
  while (std::optional<mp3::AudioFrame> frame = unpacker.Next()) {
    if (placeholderPending) {
      placeholderPending = false;
      block.placeholder = std::move(frame->raw);
      continue;
    }
    if (index >= block.first && (block.last || index < block.end)) block.frames.push_back(std::move(*frame));
    ++index;
  }
  if (unpacker.Buffered() != 0) throw EncoderError("The MP3 encoder ended inside a frame.");
  if (!block.last && index < block.end) throw EncoderError("The MP3 encoder wrote fewer frames than it was fed.");
  if (block.placeholder.size() != block.tagTemplate.size()) throw EncoderError("The MP3 encoder's tag frame is missing.");
}

void Mp3StreamEncoder::JoinFinished(bool wait) {
  for (;;) {
    std::shared_ptr<Block> block;
    {
      std::unique_lock lock(mutex_);
      if (blocks_.empty()) return;
      if (!blocks_.front()->done) {
        if (!wait || Stopping()) return;
        wake_.wait_for(lock, std::chrono::milliseconds(50));
        continue;
      }
      block = blocks_.front();
    }
    if (block->error) std::rethrow_exception(block->error);
    if (Stopping()) return;
    JoinBlock(*block);
    std::lock_guard lock(mutex_);
    blocks_.pop_front();
  }
}

void Mp3StreamEncoder::JoinBlock(Block& block) {
  if (block.writeTag) {
    tagTemplate_ = block.tagTemplate;
    if (!block.placeholder.empty()) EmitPlaceholder(block.placeholder);
  }
  if (block.first > 0) ++stats_.joins;
  const int raisedBefore = packer_.FramesRaised();
  const int paddedBefore = packer_.PaddingAdded();
  const auto pack = [&](bool keepPadding) -> std::optional<mp3::PackRefusal> {
    if (block.first > 0 && refusePacks_ > 0) {
      --refusePacks_;
      return mp3::PackRefusal{};
    }
    return packer_.AddBlock(block.frames, keepPadding);
  };
  std::optional<mp3::PackRefusal> refusal = pack(false);
  int overlap = block.overlap;
  bool reservoir = true;
  while (refusal) {
    // The block's frames lean on more reservoir than the stream has left for them. An encoder
    // started later has had less time to save bits; one without a reservoir needs none, and its
    // frames fit in their own sizes.
    if (!reservoir) throw EncoderError("The MP3 encoder's frames do not fit in the stream.");
    ++stats_.reencodes;
    if (overlap > minOverlapFrames_) {
      overlap = std::max(minOverlapFrames_, overlap / 2);
    } else {
      reservoir = false;
      ++stats_.withoutReservoir;
    }
    EncodeBlock(block, overlap, reservoir);
    if (Stopping()) return;
    refusal = pack(!reservoir);
  }
  stats_.framesRaised += packer_.FramesRaised() - raisedBefore;
  stats_.paddingAdded += packer_.PaddingAdded() - paddedBefore;
  if (block.last) {
    encoderPadding_ = block.padding;
  }
  if (block.writeTag || encoderDelay_ == 0) encoderDelay_ = block.delay;
  block.frames.clear();
  block.frames.shrink_to_fit();
  block.chunks.clear();
}

void Mp3StreamEncoder::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    shuttingDown_ = true;
    jobs_.clear();
    wake_.notify_all();
  }
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
  threads_.clear();
  std::lock_guard lock(mutex_);
  blocks_.clear();
  shuttingDown_ = false;
}

// ---- The stream ----

void Mp3StreamEncoder::EmitPlaceholder(const std::vector<std::uint8_t>& frame) {
  if (totalBytes_ != 0) throw EncoderError("The MP3 encoder's tag frame came after its audio.");
  sink_(frame.data(), frame.size());
  placeholderBytes_ = frame.size();
  totalBytes_ += frame.size();
}

void Mp3StreamEncoder::EmitFrame(const std::uint8_t* data, std::size_t length) {
  sink_(data, length);
  musicCrc_ = mp3::TagCrc(data, length, musicCrc_);
  seekTable_.Add(length);
  ++audioFrames_;
  totalBytes_ += length;
}

void Mp3StreamEncoder::CompleteTag() {
  if (tagTemplate_.empty()) return;
  if (tagTemplate_.size() != placeholderBytes_) throw EncoderError("The MP3 encoder's tag frame changed its size.");
  mp3::StreamFacts facts;
  facts.audioFrames = audioFrames_;
  facts.totalBytes = totalBytes_;
  facts.toc = seekTable_.Toc(placeholderBytes_, totalBytes_);
  facts.encoderDelay = encoderDelay_;
  facts.encoderPadding = encoderPadding_;
  facts.musicCrc = musicCrc_;
  tagFrame_ = tagTemplate_;
  mp3::WriteStreamFacts(tagFrame_, facts);
}

}  // namespace engine
