// Measures what the pipeline framework costs on top of the encoder: the same 10 minutes of
// music-like PCM is encoded to MP3 through Mp3Output (worker thread, block pulls, events) and
// through LAME called directly in a tight loop, with the same settings, in one run.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/mp3_output.h"
#include "platform/dispatcher.h"

using namespace engine;

namespace {

constexpr int kRate = 44100;

// A chord with a slow tremolo and some noise: closer to music than a pure tone, so the
// encoder works as hard as it does on real audio.
std::vector<std::int16_t> MusicLikePcm(int seconds) {
  std::vector<std::int16_t> pcm(static_cast<std::size_t>(seconds) * kRate * 2);
  std::mt19937 random(42);
  std::normal_distribution<double> noise(0.0, 600.0);
  const double notes[] = {220.0, 277.18, 329.63, 440.0, 1318.5};
  for (std::size_t i = 0; i < pcm.size() / 2; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double left = 0.0, right = 0.0;
    for (int n = 0; n < 5; ++n) {
      const double v = std::sin(2 * M_PI * notes[n] * t) * (0.5 + 0.5 * std::sin(2 * M_PI * (0.3 + n * 0.1) * t));
      left += v * (n % 2 ? 3000 : 5000);
      right += v * (n % 2 ? 5000 : 3000);
    }
    pcm[2 * i] = static_cast<std::int16_t>(std::clamp(left + noise(random), -32767.0, 32767.0));
    pcm[2 * i + 1] = static_cast<std::int16_t>(std::clamp(right + noise(random), -32767.0, 32767.0));
  }
  return pcm;
}

class MemoryInput : public AudioInput {
 public:
  MemoryInput(const std::vector<std::int16_t>& pcm) : AudioInput(nullptr), pcm_(pcm) {}
  int GetBitsPerSample() override { return 16; }
  int GetChannels() override { return 2; }
  int GetSampleRate() override { return kRate; }
  void Init() override {
    size_ = static_cast<std::int64_t>(pcm_.size() * 2);
    position_ = 0;
    busy_ = true;
  }
  void Flush() override { busy_ = false; }
  int GetData(void* buffer, int size) override {
    const std::int64_t left = Size() - Position();
    const int count = static_cast<int>(std::min<std::int64_t>(size, left));
    std::memcpy(buffer, reinterpret_cast<const char*>(pcm_.data()) + Position(), count);
    position_ += count;
    return count;
  }

 private:
  const std::vector<std::int16_t>& pcm_;
};

struct Cost {
  double wall = 0, cpu = 0;
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

template <class F>
Cost Measure(F&& work) {
  const auto wall = std::chrono::steady_clock::now();
  const double cpu = CpuSeconds();
  work();
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count(), CpuSeconds() - cpu};
}

void ThroughPipeline(Mp3Output& out, MemoryInput& input, platform::PlainDispatcher& main, const std::string& file) {
  bool done = false;
  out.onDone = [&](Component*) { done = true; };
  out.onError = [&](Component*, const std::exception& e) {
    std::fprintf(stderr, "pipeline error: %s\n", e.what());
    std::exit(1);
  };
  out.fileName = file;
  out.SetInput(&input);
  out.Run();
  main.RunUntil([&] { return done; });
}

void DirectLoop(const std::vector<std::int16_t>& pcm, const std::string& file) {
  lame::lame_t gf = lame::lame_init();
  lame::lame_set_in_samplerate(gf, kRate);
  lame::lame_set_num_channels(gf, 2);
  lame::lame_set_out_samplerate(gf, kRate);
  lame::lame_set_mode(gf, static_cast<int>(Mp3ChannelMode::JointStereo));
  lame::lame_set_original(gf, 0);
  lame::lame_set_brate(gf, 192);
  lame::lame_set_quality(gf, 2);
  lame::lame_init_params(gf);
  std::FILE* f = std::fopen(file.c_str(), "wb");
  std::vector<unsigned char> mp3(Mp3Output::kOutBufferSize);
  const int framesPerBlock = Mp3Output::kBlockSize / 4;
  const int totalFrames = static_cast<int>(pcm.size() / 2);
  for (int at = 0; at < totalFrames; at += framesPerBlock) {
    const int frames = std::min(framesPerBlock, totalFrames - at);
    const int n = lame::lame_encode_buffer_interleaved(gf, const_cast<short*>(&pcm[2 * static_cast<std::size_t>(at)]),
                                                       frames, mp3.data(), static_cast<int>(mp3.size()));
    std::fwrite(mp3.data(), 1, static_cast<std::size_t>(n), f);
  }
  const int n = lame::lame_encode_flush(gf, mp3.data(), static_cast<int>(mp3.size()));
  std::fwrite(mp3.data(), 1, static_cast<std::size_t>(n), f);
  std::fclose(f);
  lame::beWriteInfoTag(gf, file.c_str());
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

// Usage: bench_encode_overhead [ROUNDS] [FOLDER] [--once pipeline|direct SECONDS]
// With --once, encodes SECONDS of PCM one way only: for counting instructions under callgrind,
// which tells apart differences that timing on a busy machine drowns.
int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::string dir = argc > 2 ? argv[2] : "/tmp";
  const bool once = argc > 5 && std::string(argv[3]) == "--once";
  platform::PlainDispatcher main;
  platform::SetMainDispatcher(&main);
  const auto pcm = MusicLikePcm(once ? std::max(1, std::atoi(argv[5])) : 600);
  Mp3Output out(nullptr);
  out.bitRate = Mp3BitRate::Kbps192;
  out.quality = 2;
  out.sampleRate = Mp3SampleRate::Hz44100;
  out.channelMode = Mp3ChannelMode::JointStereo;
  out.original = false;
  MemoryInput input(pcm);
  if (once) {
    if (std::string(argv[4]) == "pipeline") {
      ThroughPipeline(out, input, main, dir + "/bench-pipeline.mp3");
    } else {
      DirectLoop(pcm, dir + "/bench-direct.mp3");
    }
    return 0;
  }

  std::vector<double> pipeWall, pipeCpu, directWall, directCpu;
  for (int r = 0; r < rounds; ++r) {
    const Cost p = Measure([&] { ThroughPipeline(out, input, main, dir + "/bench-pipeline.mp3"); });
    const Cost d = Measure([&] { DirectLoop(pcm, dir + "/bench-direct.mp3"); });
    pipeWall.push_back(p.wall), pipeCpu.push_back(p.cpu), directWall.push_back(d.wall), directCpu.push_back(d.cpu);
    std::printf("round %d: pipeline %.2f s (cpu %.2f s), direct %.2f s (cpu %.2f s)\n", r + 1, p.wall, p.cpu, d.wall,
                d.cpu);
  }
  const double pw = Median(pipeWall), pc = Median(pipeCpu), dw = Median(directWall), dc = Median(directCpu);
  // The fastest round is the one least disturbed by whatever else the machine was doing.
  const double pcBest = *std::min_element(pipeCpu.begin(), pipeCpu.end());
  const double dcBest = *std::min_element(directCpu.begin(), directCpu.end());
  std::printf("\n10 minutes of 44.1 kHz stereo PCM to MP3 at CBR 192, quality 2 (%d rounds):\n", rounds);
  std::printf("  LAME called directly:   %6.2f s wall, %6.2f s cpu median, %6.2f s cpu best\n", dw, dc, dcBest);
  std::printf("  through Mp3Output:       %6.2f s wall, %6.2f s cpu median, %6.2f s cpu best\n", pw, pc, pcBest);
  std::printf("  framework overhead:     %+6.2f %% cpu median, %+6.2f %% cpu best (target: under 3 %%)\n",
              (pc / dc - 1) * 100, (pcBest / dcBest - 1) * 100);
  std::remove((dir + "/bench-pipeline.mp3").c_str());
  std::remove((dir + "/bench-direct.mp3").c_str());
  return 0;
}
