#include "core/tag_probe.h"

#include <array>
#include <cstdlib>

#include "core/tags/source_tags.h"
#include "platform/paths/path_names.h"
#include "platform/text_encoding.h"
#include "platform/utf8.h"
#include "metascan/metascan.h"

namespace core {

namespace {

// A metascan record that frees its texts when it goes. metascan allocates every text with
// malloc and never frees one; the program copies what it needs, so keeping them would only
// leak a few hundred bytes per added file for as long as the program runs.
class TagRecord {
 public:
  TagRecord() = default;
  TagRecord(const TagRecord&) = delete;
  TagRecord& operator=(const TagRecord&) = delete;
  ~TagRecord() {
    for (char** text : Texts()) std::free(*text);
  }

  tag_info info{};

  // The nine text fields, in record order.
  std::array<char**, 9> Texts() {
    return {&info.title,   &info.artist,    &info.album,  &info.year,  &info.comment,
            &info.genre,   &info.copyright, &info.author, &info.rating};
  }
};

bool IsEmpty(const char* text) { return text == nullptr || *text == '\0'; }

// Fills each text that `into` lacks from `from`; the record that has it keeps its own block.
void TakeMissingTexts(TagRecord& into, TagRecord& from) {
  const auto targets = into.Texts();
  const auto sources = from.Texts();
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (IsEmpty(*targets[i]) && !IsEmpty(*sources[i])) {
      std::free(*targets[i]);
      *targets[i] = *sources[i];
      *sources[i] = nullptr;
    }
  }
}

std::string Text(const char* text) { return text == nullptr ? std::string() : ToValidUtf8(text); }

void FillText(std::string& field, const std::string& found) {
  if (field.empty()) field = found;
}

// What TagLib found fills every field the extension's reader left empty.
void FillFromSourceTags(ProbedTags& tags, const tags::SourceTags& found) {
  // A compilation's track: TagLib tells the track artist from the album artist.
  if (!found.artist.empty() && !found.albumArtist.empty()) tags.artist = found.artist;
  FillText(tags.title, found.title);
  FillText(tags.artist, found.artist);
  FillText(tags.album, found.album);
  FillText(tags.year, found.date);
  FillText(tags.comment, found.comment);
  FillText(tags.genre, found.genre);
  FillText(tags.albumArtist, found.albumArtist);
  FillText(tags.composer, found.composer);
  if (tags.track == 0) tags.track = found.track;
  if (tags.track == found.track) tags.trackTotal = found.trackTotal;
  tags.disc = found.disc;
  tags.discTotal = found.discTotal;
  tags.coverMimeType = found.cover.mimeType;
  tags.coverBytes = static_cast<std::int64_t>(found.cover.data.size());
  tags.moreTags = ::tags::SummarizeMoreTags(found);
}

}  // namespace

TagReader TagReaderFor(std::string_view path) {
  const std::string ext = platform::AsciiUpper(platform::ExtensionOf(path));
  if (ext == ".RM" || ext == ".RMVB") return TagReader::RealMedia;
  // A WMA file is an ASF file like WMV: its header carries the same tags.
  if (ext == ".WMV" || ext == ".ASF" || ext == ".WMA") return TagReader::Asf;
  // An M4A file is an MPEG-4 file with audio only.
  if (ext == ".MOV" || ext == ".QT" || ext == ".MP4" || ext == ".M4A") return TagReader::QuickTime;
  return TagReader::None;
}

ProbedTags ProbeTags(const std::string& path) { return ProbeTags(path, tags::ReadSourceTags(path)); }

ProbedTags ProbeTags(const std::string& path, const tags::SourceTags& found) {
  TagRecord record;
  // The readers' results are not examined: a reader that fails leaves its fields empty.
  switch (TagReaderFor(path)) {
    case TagReader::None:
      break;
    case TagReader::Asf:
      parse_wmv(path.c_str(), &record.info);
      break;
    case TagReader::QuickTime:
      parse_mov(path.c_str(), &record.info);
      break;
    case TagReader::RealMedia: {
      parse_rm(path.c_str(), &record.info);
      // RealMedia files often carry an ID3v1 tag at their end; it fills what the header lacks
      // (never the track or the duration).
      TagRecord id3v1;
      getid3_id3v1(path.c_str(), &id3v1.info);
      TakeMissingTexts(record, id3v1);
      break;
    }
  }
  const tag_info& t = record.info;
  ProbedTags tags;
  tags.title = Text(t.title);
  tags.artist = Text(t.artist);
  tags.album = Text(t.album);
  tags.year = Text(t.year);
  tags.comment = Text(t.comment);
  tags.genre = Text(t.genre);
  tags.copyright = Text(t.copyright);
  tags.author = Text(t.author);
  tags.rating = Text(t.rating);
  tags.track = t.track;
  tags.duration = t.duration;
  FillFromSourceTags(tags, found);
  return tags;
}

engine::CoverPicture ReadCover(const std::string& path) { return tags::ReadSourceTags(path).cover; }

}  // namespace core
