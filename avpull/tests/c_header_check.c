/* The public header compiled as C: it must stand alone, and the records must have the same
   layout there as in C++. */
#include "avpull/avpull.h"

#include <stddef.h>

_Static_assert(offsetof(AVPULL_WAVEFORMATEX, nSamplesPerSec) == 4, "WAVEFORMATEX layout");
_Static_assert(offsetof(AVPULL_WAVEFORMATEX, nBlockAlign) == 12, "WAVEFORMATEX layout");
_Static_assert(offsetof(AVPULL_WAVEFORMATEX, cbSize) == 16, "WAVEFORMATEX layout");
_Static_assert(offsetof(AVPULL_VIDEOINFOHEADER, rcTarget) == 16, "VIDEOINFOHEADER layout");
_Static_assert(offsetof(AVPULL_VIDEOINFOHEADER, AvgTimePerFrame) == 40, "VIDEOINFOHEADER layout");
_Static_assert(offsetof(AVPULL_VIDEOINFOHEADER, bmiHeader) == 48, "VIDEOINFOHEADER layout");
_Static_assert(offsetof(AVPULL_BITMAPINFOHEADER, biBitCount) == 14, "BITMAPINFOHEADER layout");

size_t avpull_c_record_size(int which);

size_t avpull_c_record_size(int which) {
  switch (which) {
    case 0:
      return sizeof(AVPULL_WAVEFORMATEX);
    case 1:
      return sizeof(AVPULL_VIDEOINFOHEADER);
    default:
      return sizeof(AVPULL_STREAM_TIME);
  }
}

/* A C caller of every function, so that the prototypes are checked as C. */
int32_t avpull_c_call_all(const char* name);

int32_t avpull_c_call_all(const char* name) {
  AVPULL_STREAM_TIME duration = 0, start = 0, end = 0;
  int32_t video = 0, audio = 0, length = 0;
  AVPULL_VIDEOINFOHEADER info;
  AVPULL_WAVEFORMATEX format;
  uint8_t* data = NULL;
  int32_t result = file_init(name, &duration, &video, &audio, &info, &format);
  if (result == 0 && audio == AVPULL_AUDIO_READY) {
    set_audio_buffer_size(4096);
    result = file_get_audio_sample(&data, &length, &start, &end);
  }
  if (result == 0 && video == AVPULL_VIDEO_READY) result = file_get_video_frame(&data, &length, &start, &end);
  file_exit();
  return result;
}
