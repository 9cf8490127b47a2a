// What a conversion asks of the MP3 output, and the one mapping from it to the output's
// properties that every front end uses (the desktop program's run and the command line alike).
#pragma once

#include <memory>
#include <string>

#include "engine/mp3_output.h"

namespace engine {

struct EncodingSettings {
  int bitrate = 192;        // kbps, one of the 18 offered rates
  int vbrMinBitrate = 128;  // kbps
  int vbrMaxBitrate = 256;  // kbps
  bool vbr = false;
  int channelMode = 2;      // 0 dual channel, 1 stereo, 2 joint stereo, 3 mono
  int sampleRate = 44100;   // Hz
  Mp3Tags tags;
};

// An MP3 output set up as every conversion of the program uses it: 192 kbps at 44.1 kHz until a
// task says otherwise, LAME quality 2 (near the best, at a fraction of quality 0's time) for
// constant and variable bit rates, and no "original" flag. Raises PipelineError when the LAME
// library cannot be loaded.
std::unique_ptr<Mp3Output> MakeMp3Output();

// Sets the output for one conversion. A bit rate that is not offered leaves bitRate as it was;
// sample rates other than 32000 and 48000 give 44100 Hz; channel modes beyond 0..2 give mono.
void ConfigureMp3Output(Mp3Output& out, const EncodingSettings& settings);

}  // namespace engine
