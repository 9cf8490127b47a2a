// Seeds for fuzz_avpull: short media files of the kinds users add, made with the ffmpeg command
// line when it is there, and a PCM WAV built here in any case. Writes into the folder it is given.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A quarter second of a mono 8 kHz 16-bit ramp.
std::vector<std::uint8_t> SmallWav() {
  const std::uint32_t samples = 2000;
  std::vector<std::uint8_t> wav;
  const auto tag = [&](const char* text) { wav.insert(wav.end(), text, text + 4); };
  tag("RIFF");
  PutLe(wav, 36 + samples * 2, 4);
  tag("WAVE");
  tag("fmt ");
  PutLe(wav, 16, 4);
  PutLe(wav, 1, 2);
  PutLe(wav, 1, 2);
  PutLe(wav, 8000, 4);
  PutLe(wav, 16000, 4);
  PutLe(wav, 2, 2);
  PutLe(wav, 16, 2);
  tag("data");
  PutLe(wav, samples * 2, 4);
  for (std::uint32_t i = 0; i < samples; ++i) PutLe(wav, (i * 37) & 0xFFFF, 2);
  return wav;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS-FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const std::vector<std::uint8_t> wav = SmallWav();
  std::ofstream(folder + "/seed-pcm.wav", std::ios::binary)
      .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
  const char* audio = "-f lavfi -i sine=frequency=440:sample_rate=8000:duration=0.3";
  const struct {
    const char* name;
    std::string arguments;
  } kinds[] = {
      {"wma", std::string(audio) + " -c:a wmav2 -b:a 32k -f asf"},
      {"mp3", std::string(audio) + " -c:a libmp3lame -b:a 16k -f mp3"},
      {"flac", std::string(audio) + " -c:a flac -f flac"},
      {"ogg", std::string(audio) + " -c:a libvorbis -f ogg"},
      {"m4a", std::string(audio) + " -c:a aac -b:a 16k -f mp4"},
      {"u8.wav", std::string(audio) + " -c:a pcm_u8 -f wav"},
      {"wmv", std::string(audio) + " -f lavfi -i testsrc=size=32x24:rate=5:duration=0.3 -c:a wmav2 -b:a 32k -c:v wmv2 -f asf"},
  };
  for (const auto& kind : kinds) {
    const std::string command = "ffmpeg -nostdin -loglevel quiet -y " + kind.arguments + " '" + folder + "/seed-" +
                                kind.name + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "no %s seed (ffmpeg missing?)\n", kind.name);
  }
  return 0;
}
