// What PCM a caller asks the multimedia-stream layer to deliver: the sample format, chosen by
// what the source decodes to, and the sample rate. Channels are not a choice: one for a mono
// source, two for every other (more channels are downmixed).
#pragma once

namespace platform::mmstream {

enum class SampleDelivery {
  // 8-bit unsigned when the source decodes to 8-bit unsigned samples, otherwise signed 16-bit:
  // what readers of media files have always got.
  kEightOrSixteenBit,
  // 32-bit float, interleaved (±1.0 full scale, not clipped), when the source decodes to
  // floating point (most lossy codecs: WMA, AAC, Vorbis, Opus, MP3) or to integers of more than
  // 16 bits (24-bit FLAC and WAV); signed 16-bit when it decodes to 16-bit integers (CD-quality
  // PCM and FLAC), 8-bit sources widened and centred so that silence is 0.
  // For an encoder that takes float samples: nothing is quantised on the way.
  kFloatOrSixteenBit,
};

struct AudioDelivery {
  SampleDelivery samples = SampleDelivery::kEightOrSixteenBit;
  // The delivered sample rate in Hz; 0 keeps the source's own. Another rate is converted with
  // libswresample at its default quality (the one the ffmpeg command line uses).
  int rate = 0;
};

// What an encoder to MP3 at `rate` Hz wants: float wherever the decoder is, at the MP3's rate,
// so that the encoder neither resamples nor works on quantised samples.
constexpr AudioDelivery EncoderDelivery(int rate) { return {SampleDelivery::kFloatOrSixteenBit, rate}; }

}  // namespace platform::mmstream
