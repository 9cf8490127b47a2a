// One MP3 stream encoded on several cores ("split encoding"). The PCM is cut into blocks of 160
// MPEG frames (4.2 s at 44.1 kHz); each block is encoded by its own LAME context on a worker thread,
// starting a few frames early so that its filters and psychoacoustic state have settled by the
// block's first frame, and fed a frame past its end so that its last frame sees what follows.
// The blocks' frames are unpacked from their own bit reservoirs and packed again, in order, into
// one stream with one reservoir (mp3_bitstream.h), so a decoder cannot tell it from a one-core
// encode: same frames, same sample count, the same Xing/Info + LAME tag facts.
//
// With one worker nothing is split: one LAME context encodes on the caller's thread and its bytes
// go out as LAME wrote them (only held back while a later frame may still need them). When more
// workers are granted during a file, splitting starts at the next block boundary; the sequential
// part is the first, long block.
//
// Threads: construct, Encode, Finish and the getters on one thread (the caller: the conversion's
// worker); the sink is called on that thread too. SetWorkers and Cancel may be called from any
// thread. The encoder owns its worker threads and joins them in Finish, on a stop, on an error
// and in its destructor.
//
// Memory: PCM waits in a window of at most Mp3SplitTuning::windowBlocks blocks (and the block
// being gathered); Encode blocks while the window is full. Nothing grows with the length of the
// file.
//
// Use, as an MP3 output would:
//   Mp3StreamEncoder encoder(settings, {PcmSampleFormat::Float32, 2},
//                            [&](const std::uint8_t* p, std::size_t n) { file.Write(p, n); }, jobs, &stop);
//   while (n = input.GetData(...)) if (!encoder.Encode(pcm, n / frameBytes)) break;  // stopped
//   if (encoder.Finish() && !encoder.TagFrame().empty())
//     ...write TagFrame() over the placeholder, the first frame after the ID3v2 tag...
// and from the run, whenever it can spare cores: encoder.SetWorkers(k).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/mp3_bitstream.h"
#include "engine/encoding_settings.h"

namespace engine {

// LAME's own number for a channel mode (its MPEG_mode).
int LameMode(ChannelMode mode);

// The LAME settings of the stream. The PCM comes at sampleRate, already resampled; it is the MP3's
// rate as well.
struct Mp3StreamSettings {
  int sampleRate = 44100;
  int lameChannels = 2;  // channels handed to LAME: 1 or 2 (a mono PCM is handed twice for 2)
  ChannelMode channelMode = ChannelMode::JointStereo;
  bool vbr = false;
  int bitRateKbps = 128;  // constant bit rate
  float vbrQuality = 4;   // VBR (LAME's vbr_mtrh): 0 best … 9 smallest
  int vbrMinKbps = 0;     // 0: LAME's own limits
  int vbrMaxKbps = 0;
  int quality = 5;        // LAME's algorithm quality: 0 best … 9 fastest; -1 leaves LAME's own
  bool crc = false;
  bool copyright = false;
  bool original = true;
};

enum class PcmSampleFormat { Int16, Float32 };

// The PCM that Encode takes: interleaved, 16-bit or 32-bit float at full scale ±1.0.
struct Mp3PcmFormat {
  PcmSampleFormat sample = PcmSampleFormat::Int16;
  int channels = 2;
};

// Sizes of the split, for tests and benchmarks; the defaults suit files.
struct Mp3SplitTuning {
  int blockFrames = 0;     // MPEG frames per block; 0: 160
  int overlapFrames = -1;  // frames encoded ahead of a block and dropped; -1: 4 (MPEG-1) or 8
  int windowBlocks = 0;    // blocks in flight at most; 0: twice the workers granted, plus one
  // For tests: this many attempts to pack a block behind another are refused as if its frames
  // did not fit, so the block is encoded again.
  int refusePacks = 0;
};

class Mp3StreamEncoder {
 public:
  using ByteSink = std::function<void(const std::uint8_t* data, std::size_t length)>;

  struct Statistics {
    int blocks = 0;         // blocks encoded apart (1 for a sequential encode)
    int joins = 0;          // blocks packed behind another encoder's frames
    int reencodes = 0;      // blocks encoded again with less overlap to make room
    int withoutReservoir = 0;  // of those, blocks that needed their own encoder's reservoir off
    int framesRaised = 0;   // VBR frames given a larger bit rate
    int paddingAdded = 0;   // padding slots added for room
  };

  // Loads LAME and checks the settings with a first context; raises EncoderError when the
  // library is missing or lacks a call, when LAME refuses the settings, or when the PCM does not
  // fit them. `sink` receives the MP3 bytes in order, the tag frame's placeholder first. `stop`,
  // when given, is read by every thread: once it is true, Encode and Finish return false.
  Mp3StreamEncoder(const Mp3StreamSettings& settings, Mp3PcmFormat pcm, ByteSink sink, int workers,
                   const std::atomic<bool>* stop = nullptr, Mp3SplitTuning tuning = {});
  ~Mp3StreamEncoder();
  Mp3StreamEncoder(const Mp3StreamEncoder&) = delete;
  Mp3StreamEncoder& operator=(const Mp3StreamEncoder&) = delete;

  // How many threads may encode (at least 1). Any thread, any time; more than one starts
  // splitting at the next block boundary.
  void SetWorkers(int workers);
  int Workers() const { return workers_.load(); }

  // Encodes `frames` sample frames. Blocks while the window is full. False when stopped; raises
  // EncoderError when an encoder failed (every thread is joined by then).
  bool Encode(const void* pcm, std::int64_t frames);
  // Encodes what is left and hands the sink every remaining byte. False when stopped.
  bool Finish();
  // Stops: Encode and Finish return false and every thread is joined. Any thread.
  void Cancel();

  // After Finish: the tag frame to write over the placeholder (the same size; empty when the
  // stream has none, as LAME writes none at rates too low to hold it), and the facts it records.
  const std::vector<std::uint8_t>& TagFrame() const { return tagFrame_; }
  std::int64_t AudioFrames() const { return audioFrames_; }  // frames after the tag frame
  std::uint64_t TotalBytes() const { return totalBytes_; }    // tag frame included
  int EncoderDelay() const { return encoderDelay_; }
  int EncoderPadding() const { return encoderPadding_; }
  std::int64_t PcmFrames() const { return pcmFrames_; }       // sample frames given
  int SamplesPerFrame() const { return frameSamples_; }
  int BlockFrames() const { return blockFrames_; }  // a split stream's joins are multiples of it
  Statistics Stats() const { return stats_; }

 private:
  struct PcmChunk;
  struct Block;
  class Context;
  enum class Mode { Sequential, Switching, Split, Finished, Stopped, Failed };

  bool Stopping() const;
  bool Run(const std::function<void()>& step);
  void EncodeSequential(const std::uint8_t* pcm, std::int64_t frames);
  void DrainSequential(bool flushed);
  void BeginSwitch();
  void EndSequentialBlock(bool last);
  void EncodeSplit(const std::uint8_t* pcm, std::int64_t frames);
  void Store(const std::uint8_t* pcm, std::int64_t frames);
  void DispatchReady(bool finishing);
  void JoinFinished(bool wait);
  void JoinBlock(Block& block);
  void EncodeBlock(Block& block, int overlap, bool reservoir) const;
  void EnsureThreads();
  void WorkerLoop();
  void Shutdown();
  void EmitFrame(const std::uint8_t* data, std::size_t length);
  void EmitPlaceholder(const std::vector<std::uint8_t>& frame);
  void CompleteTag();

  // Holds the LAME library from before the first context until after the last one is gone.
  struct LibraryUse {
    LibraryUse();
    ~LibraryUse();
    LibraryUse(const LibraryUse&) = delete;
    LibraryUse& operator=(const LibraryUse&) = delete;
  };

  const LibraryUse library_;
  const Mp3StreamSettings settings_;
  const Mp3PcmFormat pcm_;
  const ByteSink sink_;
  const std::atomic<bool>* stop_;
  std::atomic<bool> cancelled_{false};
  std::atomic<int> workers_{1};

  int frameSamples_ = 1152;   // samples per MPEG frame
  int blockFrames_ = 120;
  int overlapFrames_ = 4;
  int minOverlapFrames_ = 2;  // the least overlap that still covers a frame's filters
  int lookahead_ = 1152;      // samples fed past a block's end
  int windowBlocks_ = 0;
  int refusePacks_ = 0;
  int pcmFrameBytes_ = 4;
  std::int64_t chunkFrames_ = 0;  // sample frames per PCM chunk (one block)

  Mode mode_ = Mode::Sequential;
  // The PCM window: chunk i holds sample frames [i, i + 1) * chunkFrames_.
  std::deque<std::shared_ptr<PcmChunk>> chunks_;
  std::int64_t firstChunk_ = 0;
  std::int64_t pcmFrames_ = 0;

  // The sequential encode (and the first, long block when splitting starts later).
  std::unique_ptr<Context> sequential_;
  mp3::FrameUnpacker sequentialFrames_;
  std::vector<std::uint8_t> sequentialBytes_;
  bool tagDecided_ = false;
  std::size_t placeholderSize_ = 0;
  std::int64_t sequentialIndex_ = 0;     // audio frames taken from the sequential encoder
  std::int64_t switchFrame_ = -1;        // where splitting starts, once asked for
  std::int64_t sequentialLimit_ = 0;     // sample frames the sequential encoder gets then

  // The split encode. blocks_ and the blocks' state are shared with the workers under mutex_.
  std::int64_t nextBlockFrame_ = 0;
  std::deque<std::shared_ptr<Block>> blocks_;  // not yet joined, in order
  std::deque<std::shared_ptr<Block>> jobs_;    // waiting for a worker
  int running_ = 0;
  bool shuttingDown_ = false;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::thread> threads_;

  // The joined stream.
  mp3::ReservoirPacker packer_;
  mp3::SeekTable seekTable_;
  std::uint16_t musicCrc_ = 0;
  std::vector<std::uint8_t> tagTemplate_;
  std::vector<std::uint8_t> tagFrame_;
  std::int64_t audioFrames_ = 0;
  std::uint64_t totalBytes_ = 0;
  std::uint64_t placeholderBytes_ = 0;
  int encoderDelay_ = 0;
  int encoderPadding_ = 0;
  Statistics stats_;
};

}  // namespace engine
