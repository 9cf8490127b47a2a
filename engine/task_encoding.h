// What a conversion task asks of the MP3 output, and the one mapping from it to the output's
// properties that every front end uses (the progress window and the command line alike).
#pragma once

#include <string>

#include "engine/ACS_LAME.h"

namespace engine {

struct TTaskEncoding {
  int Bitrate = 192;        // kbps, one of the 18 table rates
  int VbrMinBitrate = 128;  // kbps
  int VbrMaxBitrate = 256;  // kbps
  bool Vbr = false;
  int ChannelMode = 2;      // 0 dual channel, 1 stereo, 2 joint stereo, 3 mono
  int SampleRate = 44100;   // Hz
  std::string Title, Artist, Album, Year, Comment, Genre;
};

// Sets the output for one task. A bit rate that is not in the table leaves BitRate as it was;
// sample rates other than 32000 and 48000 give 44100 Hz; channel modes beyond 0..2 give mono.
void ApplyTaskEncoding(TMP3Out& out, const TTaskEncoding& task);

}  // namespace engine
