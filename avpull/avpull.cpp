// The exported functions: each hands over to the library-wide MediaReader and makes sure
// no exception crosses into the caller.
#include "avpull/avpull.h"

#include "avpull/media_reader.h"

namespace {

// One open file per process, as the interface has no handle.
avpull::MediaReader& Library() {
  static avpull::MediaReader reader;
  return reader;
}

}  // namespace

extern "C" {

AVPULL_EXPORT int32_t file_init(const char* FileName, AVPULL_STREAM_TIME* Duration, int32_t* VideoStatus,
                                int32_t* AudioStatus, AVPULL_VIDEOINFOHEADER* VideoInfo,
                                AVPULL_WAVEFORMATEX* AudioFormat) {
  try {
    return Library().Init(FileName, Duration, VideoStatus, AudioStatus, VideoInfo, AudioFormat);
  } catch (...) {
    return AVPULL_E_FAIL;
  }
}

AVPULL_EXPORT int32_t set_audio_buffer_size(int32_t Size) {
  try {
    return Library().SetAudioBufferSize(Size);
  } catch (...) {
    return AVPULL_BUFFER_NO_MEMORY;
  }
}

AVPULL_EXPORT int32_t file_get_audio_sample(uint8_t** Data, int32_t* Length, AVPULL_STREAM_TIME* Start,
                                            AVPULL_STREAM_TIME* End) {
  try {
    return Library().GetAudioSample(Data, Length, Start, End);
  } catch (...) {
    if (Data != nullptr) *Data = nullptr;
    return AVPULL_E_FAIL;
  }
}

AVPULL_EXPORT int32_t file_get_video_frame(uint8_t** Pixels, int32_t* Size, AVPULL_STREAM_TIME* Start,
                                           AVPULL_STREAM_TIME* End) {
  try {
    return Library().GetVideoFrame(Pixels, Size, Start, End);
  } catch (...) {
    if (Pixels != nullptr) *Pixels = nullptr;
    return AVPULL_E_FAIL;
  }
}

AVPULL_EXPORT int32_t file_get_source_channels(void) {
  try {
    return Library().SourceChannels();
  } catch (...) {
    return 0;
  }
}

AVPULL_EXPORT int32_t file_exit(void) {
  try {
    return Library().Exit();
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
