// Times the split MP3 encoder (engine/mp3_stream_encoder.h) on raw float PCM read from a file in
// the pipeline's 16 KB blocks: wall and CPU time with one worker and with two, several rounds,
// the best of each. Also encodes one file with given settings, for checking by hand.
//
//   bench_split_encode time PCM.f32 RATE ROUNDS
//   bench_split_encode encode PCM.f32 RATE OUT.mp3 WORKERS (cbr KBPS | vbr QUALITY) [BLOCK_FRAMES]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/mp3_stream_encoder.h"

using namespace engine;

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Outcome {
  double wall = 0;
  double cpu = 0;
  std::uint64_t bytes = 0;
  Mp3StreamEncoder::Statistics stats;
};

// Encodes the file's PCM; the MP3 goes to `out` when it is open.
Outcome Encode(const char* pcmPath, const Mp3StreamSettings& settings, int workers, FILE* out,
               Mp3SplitTuning tuning = {}) {
  FILE* in = std::fopen(pcmPath, "rb");
  if (in == nullptr) {
    std::perror(pcmPath);
    std::exit(1);
  }
  Outcome outcome;
  const double cpu0 = CpuSeconds();
  const auto wall0 = std::chrono::steady_clock::now();
  Mp3StreamEncoder encoder(
      settings, Mp3PcmFormat{PcmSampleFormat::Float32, 2},
      [&](const std::uint8_t* data, std::size_t length) {
        outcome.bytes += length;
        if (out != nullptr) std::fwrite(data, 1, length, out);
      },
      workers, nullptr, tuning);
  std::vector<float> block(16384 / 4);
  for (;;) {
    const std::size_t got = std::fread(block.data(), 8, block.size() / 2, in);
    if (got == 0) break;
    encoder.Encode(block.data(), static_cast<std::int64_t>(got));
  }
  encoder.Finish();
  outcome.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  outcome.cpu = CpuSeconds() - cpu0;
  outcome.stats = encoder.Stats();
  std::fclose(in);
  if (out != nullptr && !encoder.TagFrame().empty()) {
    std::fseek(out, 0, SEEK_SET);
    std::fwrite(encoder.TagFrame().data(), 1, encoder.TagFrame().size(), out);
  }
  return outcome;
}

int Time(const char* pcmPath, int rate, int rounds) {
  Mp3StreamSettings settings;
  settings.sampleRate = rate;
  settings.bitRateKbps = 192;
  Outcome best1, best2;
  for (int round = 1; round <= rounds; ++round) {
    const Outcome one = Encode(pcmPath, settings, 1, nullptr);
    const Outcome two = Encode(pcmPath, settings, 2, nullptr);
    std::printf("  round %d: 1 worker %6.2f s wall %6.2f s CPU | 2 workers %6.2f s wall %6.2f s CPU (%d blocks, %d encoded again)\n",
                round, one.wall, one.cpu, two.wall, two.cpu, two.stats.blocks, two.stats.reencodes);
    std::fflush(stdout);
    if (round == 1 || one.wall < best1.wall) best1.wall = one.wall;
    if (round == 1 || one.cpu < best1.cpu) best1.cpu = one.cpu;
    if (round == 1 || two.wall < best2.wall) best2.wall = two.wall;
    if (round == 1 || two.cpu < best2.cpu) best2.cpu = two.cpu;
  }
  std::printf("\nBest of %d rounds:\n", rounds);
  std::printf("  1 worker:  %6.2f s wall  %6.2f s CPU\n", best1.wall, best1.cpu);
  std::printf("  2 workers: %6.2f s wall  %6.2f s CPU\n", best2.wall, best2.cpu);
  std::printf("  wall ratio 2/1: %.3f (goal: at most 0.60)\n", best2.wall / best1.wall);
  std::printf("  CPU ratio 2/1:  %.3f (goal: at most 1.10)\n", best2.cpu / best1.cpu);
  return 0;
}

int EncodeOne(int argc, char** argv) {
  if (argc < 8) return 2;
  Mp3StreamSettings settings;
  settings.sampleRate = std::atoi(argv[3]);
  const int workers = std::atoi(argv[5]);
  if (std::strcmp(argv[6], "vbr") == 0) {
    settings.vbr = true;
    settings.vbrQuality = static_cast<float>(std::atof(argv[7]));
  } else {
    settings.bitRateKbps = std::atoi(argv[7]);
  }
  Mp3SplitTuning tuning;
  if (argc > 8) tuning.blockFrames = std::atoi(argv[8]);
  if (argc > 9) tuning.overlapFrames = std::atoi(argv[9]);
  FILE* out = std::fopen(argv[4], "wb");
  if (out == nullptr) {
    std::perror(argv[4]);
    return 1;
  }
  const Outcome outcome = Encode(argv[2], settings, workers, out, tuning);
  std::fclose(out);
  std::printf("%.2f s wall, %.2f s CPU, %llu bytes, %d blocks, %d joins, %d encoded again (%d without reservoir), "
              "%d frames raised, %d padding added\n",
              outcome.wall, outcome.cpu, static_cast<unsigned long long>(outcome.bytes), outcome.stats.blocks,
              outcome.stats.joins, outcome.stats.reencodes, outcome.stats.withoutReservoir, outcome.stats.framesRaised,
              outcome.stats.paddingAdded);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc >= 5 && std::strcmp(argv[1], "time") == 0) return Time(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc >= 2 && std::strcmp(argv[1], "encode") == 0) {
      const int status = EncodeOne(argc, argv);
      if (status != 2) return status;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::fprintf(stderr,
               "usage: bench_split_encode time PCM.f32 RATE ROUNDS\n"
               "       bench_split_encode encode PCM.f32 RATE OUT.mp3 WORKERS (cbr KBPS | vbr QUALITY) [BLOCK_FRAMES]\n");
  return 2;
}
