// What verifying a finished MP3 costs against the conversion that wrote it, and what measuring
// its ReplayGain on the way costs: one source converted as a run converts it (DecodedInput into
// Mp3Output at the default settings, the tag with a cover ahead of the audio), then, by mode,
// nothing more, VerifyMp3 on the file, or a LoudnessMeter fed every block the encoder receives.
// One mode per process, so that callgrind counts each on its own (bench/verify.sh).
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/decoded_input.h"
#include "engine/mp3_output.h"
#include "engine/mp3_verify.h"
#include "engine/replay_gain.h"
#include "platform/dispatcher.h"

using namespace engine;

namespace {

// The decoded input, counting the sample frames it hands to the encoder and, when asked,
// measuring them as they pass.
class MeasuredInput : public DecodedInput {
 public:
  MeasuredInput() : DecodedInput(nullptr) {}
  int GetData(void* buffer, int bufferSize) override {
    const int bytes = DecodedInput::GetData(buffer, bufferSize);
    if (bytes <= 0) return bytes;
    const int frameBytes = GetChannels() * (FloatSamples() ? 4 : 2);
    frames += bytes / frameBytes;
    if (measure) {
      if (!meter) meter = std::make_unique<LoudnessMeter>(GetChannels(), GetSampleRate());
      meter->AddBlock(buffer, static_cast<std::size_t>(bytes), FloatSamples());
    }
    return bytes;
  }
  bool measure = false;
  std::int64_t frames = 0;
  std::unique_ptr<LoudnessMeter> meter;
};

Mp3Tags BenchTags() {
  Mp3Tags tags;
  tags.title = "Bench";
  tags.artist = "Tavisto";
  tags.album = "Verification";
  return tags;
}

// A picture of the size of a typical cover (about 120 KB), as the tag would carry it.
CoverPicture BenchCover() {
  CoverPicture cover{"image/jpeg", std::vector<std::uint8_t>(120000, 0x5A)};
  cover.data[0] = 0xFF, cover.data[1] = 0xD8, cover.data[2] = 0xFF;
  return cover;
}

}  // namespace

// Usage: bench_verify SOURCE OUTPUT convert|verify|replaygain
int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_verify SOURCE OUTPUT convert|verify|replaygain\n");
    return 2;
  }
  const std::string mode = argv[3];
  platform::PlainDispatcher main;
  platform::SetMainDispatcher(&main);
  if (const auto problem = StartDecoding()) {
    std::fprintf(stderr, "%s\n", problem->c_str());
    return 1;
  }
  MeasuredInput input;
  input.fileName = argv[1];
  input.measure = mode == "replaygain";
  Mp3Output out(nullptr);
  out.sampleRate = Mp3SampleRate::Hz44100;
  input.deliveryRate = SampleRateHz(out.sampleRate);
  out.tags = BenchTags();
  out.tags.cover = BenchCover;
  out.fileName = argv[2];
  bool done = false;
  out.onDone = [&](Component*) { done = true; };
  out.onError = [&](Component*, const std::exception& e) {
    std::fprintf(stderr, "conversion failed: %s\n", e.what());
    std::exit(1);
  };
  out.SetInput(&input);
  out.Run();
  main.RunUntil([&] { return done; });
  out.SetInput(nullptr);

  if (mode == "verify") {
    const auto failure = VerifyMp3(argv[2], input.frames, RenderId3v2Tag(BenchTags(), BenchCover()));
    if (failure) {
      std::fprintf(stderr, "verification failed: %s\n", failure->c_str());
      return 1;
    }
  } else if (mode == "replaygain") {
    const auto result = input.meter ? input.meter->Result() : std::nullopt;
    if (!result) {
      std::fprintf(stderr, "nothing measured\n");
      return 1;
    }
    std::printf("track gain %s, peak %s\n", GainText(result->gainDb).c_str(), PeakText(result->peak).c_str());
  }
  StopDecoding();
  return 0;
}
