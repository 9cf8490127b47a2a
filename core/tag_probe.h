// The tags of a media file: the metascan library's reader for its extension (Windows Media,
// QuickTime, RealMedia) fills what it knows, and TagLib (tags/source_tags.h) fills what that
// leaves empty and reads every other format it knows; all turned into valid UTF-8 texts the
// program owns.
// Any thread (the reading thread of an inspection, or the user-interface thread of the wizard).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/tags/tag_summary.h"
#include "core/tags/source_tags.h"
#include "engine/mp3_tags.h"

namespace core {

// What the tag readers found in one file. An empty text is a field they did not find (or found
// empty). Texts are valid UTF-8: legacy 8-bit texts have been read as Windows-1252.
struct ProbedTags {
  std::string title, artist, album, comment, genre, copyright, author, rating;
  std::string year;  // the source's text, which may be a whole date ("2004-05-12")
  std::string albumArtist, composer;
  std::int32_t track = 0, trackTotal = 0;  // 0 when absent
  std::int32_t disc = 0, discTotal = 0;    // 0 when absent
  std::int64_t duration = 0;  // 100-nanosecond units, 0 when absent
  // The source's front cover, when it has one: its MIME type and size. The picture itself is
  // read again when it is written (see ReadCover), so that a long task list holds no pictures.
  std::string coverMimeType;
  std::int64_t coverBytes = 0;
  // What the source carries beyond these fields (lyrics, rating, several composers ...), for the
  // wizard's and the information panel's "more tags" (tags/tag_summary.h).
  std::vector<tags::MoreTagCount> moreTags;

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

// Reads the tags of the file at `path` with its extension's reader, then with TagLib for what
// is still empty. When TagLib finds both a track artist and an album artist, the artist is the
// track artist (the Windows Media reader takes the album artist for the artist). A reader that
// cannot open or read the file leaves the fields empty; nothing is reported.
ProbedTags ProbeTags(const std::string& path);
// The same with what TagLib found in the file already read (tags::ReadSourceTags(path)).
ProbedTags ProbeTags(const std::string& path, const tags::SourceTags& found);

// The front cover of the file at `path` as ProbeTags finds it; empty when there is none.
engine::CoverPicture ReadCover(const std::string& path);

}  // namespace core
