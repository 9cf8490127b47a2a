// ASF header (all numbers little-endian). The header object at offset 0:
//
//   0  16  identifier 75B22630-668E-11CF-A6D9-00AA0062CE6C
//  16   8  size of the whole header (its low 32 bits are used)
//  24   4  number of header objects
//  28   2  reserved
//  30      header objects, each starting with a 16-byte identifier and an 8-byte size that
//          counts the whole object (low 32 bits used)
#include "asf_attribute.h"
#include "asf_guid.h"
#include "readers.h"
#include "utf16.h"

#include <algorithm>

namespace metascan {

namespace {

constexpr AsfGuid kHeaderObject = asfGuid("75B22630-668E-11CF-A6D9-00AA0062CE6C");
constexpr AsfGuid kFileProperties = asfGuid("8CABDCA1-A947-11CF-8EE4-00C00C205365");
constexpr AsfGuid kContentDescription = asfGuid("75B22633-668E-11CF-A6D9-00AA0062CE6C");
constexpr AsfGuid kExtendedContentDescription = asfGuid("D2D0A440-E307-11D2-97F0-00A0C95EA850");

constexpr std::uint64_t kHeaderFixedSize = 30;
constexpr std::uint64_t kObjectHeaderSize = 24;

std::uint64_t low32(std::uint64_t value) { return value & 0xFFFFFFFFu; }

// File properties object: at object offset 64 the play duration in 100-ns units (the file's
// preroll included), taken unchanged.
void readFileProperties(Bytes object, FoundTags& found) {
  ByteCursor cursor(object);
  cursor.skip(64);
  std::uint64_t duration = cursor.le64();
  if (cursor.ok()) found.setDuration(static_cast<std::int64_t>(duration));
}

// Content description object:
//  24  2 x 5  byte lengths of title, author, copyright, description, rating
//  34         the five UTF-16LE texts back to back, each with its terminating zero character
void readContentDescription(Bytes object, FoundTags& found) {
  static constexpr std::array<TagField, 5> kFields = {
      TagField::title, TagField::author, TagField::copyright, TagField::comment, TagField::rating};
  ByteCursor cursor(object);
  cursor.skip(kObjectHeaderSize);
  std::array<std::uint16_t, 5> lengths{};
  for (std::uint16_t& length : lengths) length = cursor.le16();
  if (!cursor.ok()) return;
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    // A text that runs past the object is cut at the object's end.
    Bytes text = cursor.takeUpTo(lengths[i]);
    // Two bytes hold at most the terminator: such a text is absent, not empty.
    if (lengths[i] > 2 && !text.empty()) found.set(kFields[i], utf16leToUtf8(text));
  }
}

// Extended content description object:
//  24  2  number of content descriptors
//  26     descriptors back to back: name length (2), name (UTF-16LE with terminator),
//         value type (2), value length (2), value
void readExtendedContentDescription(Bytes object, FoundTags& found) {
  ByteCursor cursor(object);
  cursor.skip(kObjectHeaderSize);
  std::uint16_t count = cursor.le16();
  for (unsigned i = 0; i < count && cursor.ok(); ++i) {
    AsfAttribute attribute;
    attribute.name = cursor.take(cursor.le16());
    attribute.type = cursor.le16();
    attribute.declaredLength = cursor.le16();
    if (!cursor.ok()) return;  // the descriptor's name or fixed fields run past the object
    attribute.value = cursor.takeUpTo(attribute.declaredLength);
    applyAsfAttribute(attribute, found);
    if (attribute.value.size() < attribute.declaredLength) return;  // cut: nothing follows
  }
}

using ObjectReader = void (*)(Bytes object, FoundTags& found);

struct ObjectRule {
  AsfGuid id;
  ObjectReader read;
};

constexpr std::array<ObjectRule, 3> kObjectRules = {{
    {kFileProperties, readFileProperties},
    {kContentDescription, readContentDescription},
    {kExtendedContentDescription, readExtendedContentDescription},
}};

ObjectReader readerFor(Bytes id) {
  for (const ObjectRule& rule : kObjectRules) {
    if (sameGuid(id, rule.id)) return rule.read;
  }
  return nullptr;
}

// Visits at most `count` objects in file order. Every object, the two content descriptions
// included, ends where its own size says, so lengths inside a padded or damaged object cannot
// throw the walk off; objects with other identifiers are skipped by their size.
void walkHeaderObjects(Bytes block, std::int32_t count, FoundTags& found) {
  std::size_t position = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    ByteCursor cursor(block.subspan(position));
    Bytes id = cursor.take(16);
    std::uint64_t size = low32(cursor.le64());
    // No room for another object header, or a size that would not move past its own header.
    if (!cursor.ok() || size < kObjectHeaderSize) return;
    // An object that reaches past the header is read as far as the header goes; it is the last.
    Bytes object = block.subspan(position, std::min<std::uint64_t>(size, block.size() - position));
    if (ObjectReader read = readerFor(id)) read(object, found);
    if (object.size() < size) return;
    position += object.size();
  }
}

}  // namespace

bool readAsfHeader(const MediaFile& file, FoundTags& found) {
  std::array<std::uint8_t, kHeaderFixedSize> fixed{};
  if (file.readAt(0, fixed) != fixed.size()) return false;
  ByteCursor cursor(fixed);
  if (!sameGuid(cursor.take(16), kHeaderObject)) return false;
  std::uint64_t headerSize = low32(cursor.le64());
  auto objectCount = static_cast<std::int32_t>(cursor.le32());
  if (headerSize < kHeaderFixedSize) return false;
  // Bounded by the file: a header that claims more than the file holds is rejected unread.
  auto block = file.readBlock(kHeaderFixedSize, headerSize - kHeaderFixedSize);
  if (!block) return false;
  walkHeaderObjects(*block, objectCount, found);
  return true;
}

}  // namespace metascan
