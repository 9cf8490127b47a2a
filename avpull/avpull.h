/*
 * avpull: the media reader library.
 *
 * Opens one media file at a time and reports its duration, its audio PCM format and its video
 * frame geometry; it can then hand out decoded audio blocks and decoded video frames one at a
 * time. There is exactly one open file per process, held in library-wide state, so the
 * functions take no handle. Use the library from one thread at a time; every file_init must be
 * paired with a file_exit on the same thread, whatever file_init returned.
 *
 * All functions use the platform's C calling convention and return a 32-bit signed result.
 * Result codes are DirectShow-style: 0 is success, negative values are failures, and a few
 * positive values report conditions (AVPULL_END_OF_STREAM). No C++ exception ever leaves the
 * library.
 *
 * Texts are UTF-8. Times are AVPULL_STREAM_TIME: 64-bit signed counts of 100-nanosecond units.
 */
#ifndef AVPULL_AVPULL_H
#define AVPULL_AVPULL_H

#include <stdint.h>

#if defined(AVPULL_BUILDING)
#define AVPULL_EXPORT __attribute__((visibility("default")))
#else
#define AVPULL_EXPORT
#endif

#ifdef __cplusplus
#define AVPULL_STATIC_ASSERT(condition, message) static_assert(condition, message)
extern "C" {
#else
#define AVPULL_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

typedef int64_t AVPULL_STREAM_TIME;

/* The platform records, byte for byte (packed, little-endian). */
#pragma pack(push, 1)

typedef struct AVPULL_WAVEFORMATEX {
  uint16_t wFormatTag; /* 1: PCM */
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
} AVPULL_WAVEFORMATEX;

typedef struct AVPULL_RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
} AVPULL_RECT;

typedef struct AVPULL_BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
} AVPULL_BITMAPINFOHEADER;

typedef struct AVPULL_VIDEOINFOHEADER {
  AVPULL_RECT rcSource;
  AVPULL_RECT rcTarget;
  uint32_t dwBitRate;
  uint32_t dwBitErrorRate;
  AVPULL_STREAM_TIME AvgTimePerFrame;
  AVPULL_BITMAPINFOHEADER bmiHeader;
} AVPULL_VIDEOINFOHEADER;

#pragma pack(pop)

AVPULL_STATIC_ASSERT(sizeof(AVPULL_STREAM_TIME) == 8, "STREAM_TIME is 64-bit");
AVPULL_STATIC_ASSERT(sizeof(AVPULL_WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");
AVPULL_STATIC_ASSERT(sizeof(AVPULL_BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");
AVPULL_STATIC_ASSERT(sizeof(AVPULL_VIDEOINFOHEADER) == 88, "VIDEOINFOHEADER is 88 bytes");

/* Result codes the functions return besides 0. */
enum {
  AVPULL_FRAME_NOT_READY = 1,                      /* file_get_video_frame: no frame in time */
  AVPULL_END_OF_STREAM = 0x00040003,               /* MS_S_ENDOFSTREAM */
  AVPULL_E_POINTER = (int32_t)0x80004003u,         /* a required pointer is null */
  AVPULL_E_FAIL = (int32_t)0x80004005u,            /* unreadable file, or decoding failed */
  AVPULL_E_OUTOFMEMORY = (int32_t)0x8007000Eu,     /* no memory */
  AVPULL_E_INVALIDARG = (int32_t)0x80070057u,      /* an argument out of range */
  AVPULL_E_INVALID_FILE = (int32_t)0x8004022Fu,    /* VFW_E_INVALID_FILE_FORMAT: not media */
  AVPULL_E_NOSTREAM = (int32_t)0x80040403u,        /* MS_E_NOSTREAM: no such stream */
  AVPULL_E_NOTINIT = (int32_t)0x80040407u          /* MS_E_NOTINIT: no file is open */
};

/* VideoStatus of file_init. */
enum {
  AVPULL_VIDEO_READY = 0,
  AVPULL_VIDEO_NO_FRAME_INTERFACE = 1, /* kept for the interface; not produced */
  AVPULL_VIDEO_NO_FORMAT = 2,          /* the stream states no usable frame size */
  AVPULL_VIDEO_NO_DRAW_OBJECT = 3,     /* kept for the interface; not produced */
  AVPULL_VIDEO_NO_SURFACE = 4,         /* no memory for the frame surface */
  AVPULL_VIDEO_NO_SAMPLE = 5,          /* the surface depth was refused */
  AVPULL_VIDEO_NOT_RUNNING = 6,        /* the stream could not be set running */
  AVPULL_VIDEO_NONE = 99               /* the file has no video stream */
};

/* AudioStatus of file_init. */
enum {
  AVPULL_AUDIO_READY = 0,
  AVPULL_AUDIO_NO_AUDIO_INTERFACE = 1, /* kept for the interface; not produced */
  AVPULL_AUDIO_NO_DATA_OBJECT = 2,     /* kept for the interface; not produced */
  AVPULL_AUDIO_NO_MEMORY = 3,          /* no memory for the audio buffer */
  AVPULL_AUDIO_NO_FORMAT = 4,          /* kept for the interface; not produced */
  AVPULL_AUDIO_BUFFER_REFUSED = 5,     /* the audio buffer size holds no whole sample */
  AVPULL_AUDIO_FORMAT_REFUSED = 6,     /* kept for the interface; not produced */
  AVPULL_AUDIO_NO_SAMPLE = 7,          /* kept for the interface; not produced */
  AVPULL_AUDIO_NONE = 99               /* the file has no audio stream */
};

/* Results of set_audio_buffer_size. */
enum {
  AVPULL_BUFFER_SET = 0,
  AVPULL_BUFFER_NO_MEMORY = 1,
  AVPULL_BUFFER_REFUSED = 2,   /* not above 0, above 16 MiB, or less than one sample */
  AVPULL_BUFFER_NO_SAMPLE = 3  /* no file with audio is open */
};

/*
 * Opens FileName (UTF-8, zero-terminated, any length), closing a file still open from an
 * earlier file_init first, and reports what it holds.
 *
 * Returns 0 when the file opened and the last set-up step succeeded. Then:
 * - Duration: the playing time (0 when the file does not say);
 * - VideoStatus: AVPULL_VIDEO_READY, or why the video stream is unusable, or AVPULL_VIDEO_NONE;
 *   when ready, VideoInfo holds rcSource (0, 0, width, height), AvgTimePerFrame and a bitmap
 *   header (size 40, width, height, 1 plane, 32 bits, rows top-down); rcTarget is not written;
 * - AudioStatus: AVPULL_AUDIO_READY, or why the audio is unusable, or AVPULL_AUDIO_NONE;
 *   AudioFormat holds the PCM that file_get_audio_sample delivers: always 16-bit, and 2
 *   channels for mono sources too (tag 1, source rate, block align and bytes per second
 *   matching).
 * A file with audio or video is set running, so samples and frames can be requested at once.
 *
 * Failures:
 * - AVPULL_E_POINTER: FileName or an out-pointer is null;
 * - AVPULL_E_FAIL (cannot be read, e.g. missing), AVPULL_E_INVALID_FILE (not media, or audio
 *   that yields no sample), AVPULL_E_NOSTREAM (neither audio nor video);
 *   for these nothing is written (Duration, statuses, VideoInfo, AudioFormat untouched);
 * - a set-up failure of one stream is reported through its status, and the function then
 *   returns the failing step's code (AVPULL_E_INVALID_FILE, AVPULL_E_OUTOFMEMORY,
 *   AVPULL_E_INVALIDARG), unless a later step (the audio set-up) succeeded.
 * In every case file_exit must follow.
 */
AVPULL_EXPORT int32_t file_init(const char* FileName, AVPULL_STREAM_TIME* Duration, int32_t* VideoStatus,
                                int32_t* AudioStatus, AVPULL_VIDEOINFOHEADER* VideoInfo,
                                AVPULL_WAVEFORMATEX* AudioFormat);

/*
 * Sets the size in bytes of the audio buffer, which bounds the length of each audio block.
 * The size (default 4096) is kept for the files opened later. Returns AVPULL_BUFFER_SET (also
 * when Size is the current size), AVPULL_BUFFER_NO_MEMORY, AVPULL_BUFFER_REFUSED or
 * AVPULL_BUFFER_NO_SAMPLE (no file with ready audio is open). After any failure the size and
 * the buffer stay as they were. A block handed out earlier is no longer valid after a change.
 */
AVPULL_EXPORT int32_t set_audio_buffer_size(int32_t Size);

/*
 * Decodes the next audio block (blocking). Returns 0 with Data pointing at Length bytes of
 * 16-bit PCM in the AudioFormat of file_init and Start/End the block's times (consecutive
 * blocks join exactly). The block stays valid until the next call of file_get_audio_sample,
 * set_audio_buffer_size or file_exit. Otherwise Data is set to none (NULL) and Length to 0,
 * Start and End are untouched, and the result is AVPULL_END_OF_STREAM (no more audio),
 * AVPULL_E_NOTINIT (no file open), AVPULL_E_NOSTREAM (the file has no ready audio),
 * AVPULL_E_POINTER (an argument is null) or AVPULL_E_FAIL (decoding failed).
 */
AVPULL_EXPORT int32_t file_get_audio_sample(uint8_t** Data, int32_t* Length, AVPULL_STREAM_TIME* Start,
                                            AVPULL_STREAM_TIME* End);

/*
 * Decodes the next video frame. Returns 0 with Pixels pointing at width × height 32-bit pixels
 * (bytes blue, green, red, 0; rows top-down, width pixels each), Size their byte count, and
 * Start/End the frame's times. The frame stays valid until the next call of
 * file_get_video_frame or file_exit. Otherwise Pixels is set to none (NULL), Size, Start and
 * End are untouched, and the result is AVPULL_FRAME_NOT_READY (no frame within about six
 * seconds; the next call goes on), AVPULL_END_OF_STREAM, AVPULL_E_NOTINIT, AVPULL_E_NOSTREAM
 * (no ready video), AVPULL_E_POINTER or AVPULL_E_FAIL.
 */
AVPULL_EXPORT int32_t file_get_video_frame(uint8_t** Pixels, int32_t* Size, AVPULL_STREAM_TIME* Start,
                                           AVPULL_STREAM_TIME* End);

/*
 * Stops and closes the open file (if any) and releases everything it held, so the next
 * file_init starts from nothing; only the audio buffer size is kept. Always returns 0.
 */
AVPULL_EXPORT int32_t file_exit(void);

/*
 * The number of channels of the open file's audio as the source holds them: 1 for a mono
 * source, 6 for 5.1, although file_init's AudioFormat describes the delivered blocks (two
 * channels for mono, more channels mixed down). 0 when no file with ready audio is open.
 */
AVPULL_EXPORT int32_t file_get_source_channels(void);

#ifdef __cplusplus
}
#endif

#endif /* AVPULL_AVPULL_H */
