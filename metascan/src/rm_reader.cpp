// RealMedia chunk list (numbers big-endian). Every chunk starts with
//
//   0  4  identifier (four characters)
//   4  4  size of the whole chunk, header included
//
// and the content description chunk "CONT" continues with
//
//   8  2  object version (0)
//  10  2  title length T, then T bytes       then 2 + A bytes of author,
//          2 + C bytes of copyright, 2 + M bytes of comment, each text in the file's encoding
#include "byte_cursor.h"
#include "readers.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace metascan {

namespace {

constexpr std::uint64_t kChunkHeaderSize = 8;

enum class ChunkAction { skip, readContent };

struct ChunkRule {
  std::string_view id;
  ChunkAction action;
};

constexpr std::array<ChunkRule, 6> kChunkRules = {{
    {".RMF", ChunkAction::skip},   // file header
    {"PROP", ChunkAction::skip},   // properties
    {"MDPR", ChunkAction::skip},   // media properties
    {"DATA", ChunkAction::skip},   // media data
    {"INDX", ChunkAction::skip},   // index
    {"CONT", ChunkAction::readContent},
}};

const ChunkRule* ruleFor(Bytes id) {
  std::string_view text(reinterpret_cast<const char*>(id.data()), id.size());
  for (const ChunkRule& rule : kChunkRules) {
    if (rule.id == text) return &rule;
  }
  return nullptr;
}

void readContentDescription(Bytes body, FoundTags& found) {
  static constexpr std::array<TagField, 4> kFields = {TagField::title, TagField::artist,
                                                      TagField::copyright, TagField::comment};
  ByteCursor cursor(body);
  if (cursor.be16() != 0 || !cursor.ok()) return;  // another object version: nothing is known
  for (TagField field : kFields) {
    std::uint16_t length = cursor.be16();
    if (!cursor.ok()) return;
    // A length that reaches past the chunk is cut at its end; the texts after it are missing.
    Bytes text = cursor.takeUpTo(length);
    if (!text.empty()) {
      found.set(field, std::string(reinterpret_cast<const char*>(text.data()), text.size()));
    }
  }
}

}  // namespace

bool readRealMediaChunks(const MediaFile& file, FoundTags& found) {
  std::uint64_t position = 0;
  // Every step moves at least one chunk header forward, and a header read past the end of the
  // file comes up short, so the walk ends.
  for (;;) {
    std::array<std::uint8_t, kChunkHeaderSize> header{};
    if (file.readAt(position, header) != header.size()) return true;
    ByteCursor cursor(header);
    const ChunkRule* rule = ruleFor(cursor.take(4));
    std::uint64_t size = cursor.be32();
    if (rule == nullptr || size < kChunkHeaderSize) return true;
    if (rule->action == ChunkAction::readContent) {
      // A chunk cut off by the end of the file keeps what the file holds of it.
      std::uint64_t bodyStart = position + kChunkHeaderSize;
      std::uint64_t held = file.size() - bodyStart;
      auto body = file.readBlock(bodyStart, std::min(size - kChunkHeaderSize, held));
      if (body) readContentDescription(*body, found);
      return true;
    }
    position += size;
  }
}

}  // namespace metascan
