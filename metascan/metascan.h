/* metascan: the tag and container probe library.
 *
 * Four readers take descriptive metadata straight from the bytes of a media file, without
 * decoding it: an ID3v1 tag at the end of a file, the header of an ASF file (WMV, ASF, WMA), the
 * chunk list of a RealMedia file (RM, RMVB) and the atom tree of a QuickTime or MPEG-4 file
 * (MOV, QT, MP4).
 *
 * Shared contract of the four functions:
 * - FileName is a zero-terminated path (UTF-8 on Linux). Only regular files are read; the file
 *   is opened read-only and closed before the function returns, on every path.
 * - Tags is a record the caller owns and zeroes first. A reader writes only the fields it found
 *   and never clears the others. When it finds a field twice, the later text wins.
 * - Every text it writes is a fresh zero-terminated block allocated with malloc. The library never
 *   frees or reuses a text, nor what a field pointed to before it was written; the caller may
 *   release the texts with free().
 * - On a result of METASCAN_ERROR the record is exactly as it was before the call.
 * - Calls keep no state and do not interfere across threads. No C++ exception leaves a call.
 */
#ifndef METASCAN_METASCAN_H
#define METASCAN_METASCAN_H

#include <stddef.h>
#include <stdint.h>

#if defined(METASCAN_BUILDING)
#define METASCAN_EXPORT __attribute__((visibility("default")))
#else
#define METASCAN_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. */
#define METASCAN_OK 0
#define METASCAN_ERROR (-1)

/* The metadata record: 48 bytes on a 32-bit build, 88 bytes on x86-64 (pointers are the
 * platform's width). Field order and types are fixed: both sides of the library use this layout. */
typedef struct tag_info {
  char* title;
  char* artist;
  char* album;
  char* year;
  char* comment;   /* ASF description, RealMedia and QuickTime comment, ID3v1 comment */
  char* genre;     /* a genre name, never a number */
  int32_t track;   /* 0 when absent */
  char* copyright;
  char* author;
  char* rating;
  int64_t duration; /* playing time in 100-nanosecond units, 0 when absent */
} tag_info;

#ifdef __cplusplus
#define METASCAN_STATIC_ASSERT(condition, text) static_assert(condition, text)
#else
#define METASCAN_STATIC_ASSERT(condition, text) _Static_assert(condition, text)
#endif
#define METASCAN_P sizeof(void*)
METASCAN_STATIC_ASSERT(offsetof(tag_info, title) == 0 * METASCAN_P, "tag_info.title");
METASCAN_STATIC_ASSERT(offsetof(tag_info, artist) == 1 * METASCAN_P, "tag_info.artist");
METASCAN_STATIC_ASSERT(offsetof(tag_info, album) == 2 * METASCAN_P, "tag_info.album");
METASCAN_STATIC_ASSERT(offsetof(tag_info, year) == 3 * METASCAN_P, "tag_info.year");
METASCAN_STATIC_ASSERT(offsetof(tag_info, comment) == 4 * METASCAN_P, "tag_info.comment");
METASCAN_STATIC_ASSERT(offsetof(tag_info, genre) == 5 * METASCAN_P, "tag_info.genre");
METASCAN_STATIC_ASSERT(offsetof(tag_info, track) == 6 * METASCAN_P, "tag_info.track");
METASCAN_STATIC_ASSERT(offsetof(tag_info, copyright) == 7 * METASCAN_P, "tag_info.copyright");
METASCAN_STATIC_ASSERT(offsetof(tag_info, author) == 8 * METASCAN_P, "tag_info.author");
METASCAN_STATIC_ASSERT(offsetof(tag_info, rating) == 9 * METASCAN_P, "tag_info.rating");
METASCAN_STATIC_ASSERT(offsetof(tag_info, duration) == 10 * METASCAN_P, "tag_info.duration");
METASCAN_STATIC_ASSERT(sizeof(tag_info) == 10 * METASCAN_P + 8, "tag_info is 48 or 88 bytes");
#if defined(__x86_64__)
METASCAN_STATIC_ASSERT(sizeof(tag_info) == 88, "tag_info is 88 bytes on x86-64");
#endif
#undef METASCAN_P
#undef METASCAN_STATIC_ASSERT

/* Reads the ID3v1 tag in the last 128 bytes of the file. When the tag is there, writes title,
 * artist, album, year, comment (each cut at its first zero byte or its full width, bytes
 * unchanged) and genre (a name; "Unknown" for numbers without one), even when a text is empty;
 * and track when the tag is version 1.1 (byte 125 zero, byte 126 not zero).
 * Returns METASCAN_OK after reading, tag found or not (a file shorter than 128 bytes has none);
 * METASCAN_ERROR when the file cannot be opened or memory runs out: record untouched. */
METASCAN_EXPORT int getid3_id3v1(const char* FileName, tag_info* Tags);

/* Reads the ASF header object: duration (play duration of the file properties object), title,
 * author, copyright, comment (description) and rating (content description object), and artist,
 * album, genre, track and year (named attributes of the extended content description object).
 * Texts are converted from UTF-16LE to UTF-8 and are always valid UTF-8.
 * Returns METASCAN_OK after reading; METASCAN_ERROR when the file cannot be opened, is not ASF,
 * declares a header shorter than its own fixed fields or longer than the file, or memory runs
 * out: record untouched. */
METASCAN_EXPORT int parse_wmv(const char* FileName, tag_info* Tags);

/* Walks the RealMedia chunk list to the content description chunk "CONT" and writes title,
 * artist (from the author text), copyright and comment, bytes unchanged. A chunk list that ends,
 * breaks off or meets an unknown chunk before "CONT" writes nothing.
 * Returns METASCAN_OK after reading, fields found or not; METASCAN_ERROR when the file cannot be
 * opened or memory runs out: record untouched. */
METASCAN_EXPORT int parse_rm(const char* FileName, tag_info* Tags);

/* Walks the QuickTime/MPEG-4 atom tree and writes title, artist, album, comment, genre,
 * copyright and author from user-data text atoms (©nam ...) and from the item list of "meta"
 * atoms, bytes unchanged. Atoms are visited depth-first in file order.
 * Returns METASCAN_OK after reading, fields found or not; METASCAN_ERROR when the file cannot be
 * opened or memory runs out: record untouched. */
METASCAN_EXPORT int parse_mov(const char* FileName, tag_info* Tags);

#ifdef __cplusplus
}
#endif

#endif /* METASCAN_METASCAN_H */
