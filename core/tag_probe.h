// Choosing and running the tag reader of the metascan library for a media file, by its
// extension, and turning what it found into valid UTF-8 texts the program owns.
// Any thread (the reading thread of an inspection, or the user-interface thread of the wizard).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What the tag readers found in one file. An empty text is a field they did not find (or found
// empty). Texts are valid UTF-8: legacy 8-bit texts have been read as Windows-1252.
struct ProbedTags {
  std::string title, artist, album, year, comment, genre, copyright, author, rating;
  std::int32_t track = 0;     // 0 when absent
  std::int64_t duration = 0;  // 100-nanosecond units, 0 when absent

  bool operator==(const ProbedTags&) const = default;
};

// The reader that ProbeTags uses for a file, chosen by its extension (case ignored).
enum class TagReader {
  None,        // no reader: the task takes its title from the file name
  Asf,         // .WMV, .ASF, .WMA (parse_wmv)
  RealMedia,   // .RM, .RMVB (parse_rm, then the ID3v1 tag at the end for what it lacks)
  QuickTime,   // .MOV, .QT, .MP4, .M4A (parse_mov)
};
TagReader TagReaderFor(std::string_view path);

// Reads the tags of the file at `path` with its extension's reader. A reader that cannot open
// or read the file leaves the fields empty; nothing is reported.
ProbedTags ProbeTags(const std::string& path);
