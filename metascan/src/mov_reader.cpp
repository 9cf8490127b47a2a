// QuickTime/MPEG-4 atoms (numbers big-endian):
//
//   0  4  size of the whole atom; 1: a 64-bit size follows the type; 0: the atom runs to the
//         end of the file (at the top level) or ends the list (inside an atom)
//   4  4  type
//  (8  8  64-bit size)
//         body
//
// Container atoms hold a list of atoms. User-data text atoms (type byte 0 is 0xA9, shown as ©)
// hold a 2-byte text length, a 2-byte language code and the text. An MPEG-4 "meta" holds an
// item list "ilst" whose items are named like the text atoms and hold a "data" atom:
//
//   0  4  size      4  4  "data"      8  4  value type and flags      12  4  locale      16  value
#include "byte_cursor.h"
#include "readers.h"

#include <algorithm>
#include <array>

namespace metascan {

namespace {

using FourCC = std::uint32_t;

consteval FourCC fourcc(const char (&type)[5]) {
  return static_cast<FourCC>(static_cast<std::uint8_t>(type[0])) << 24 |
         static_cast<FourCC>(static_cast<std::uint8_t>(type[1])) << 16 |
         static_cast<FourCC>(static_cast<std::uint8_t>(type[2])) << 8 |
         static_cast<FourCC>(static_cast<std::uint8_t>(type[3]));
}

// "©nam" and its kind: 0xA9 followed by three letters.
consteval FourCC textAtom(const char (&letters)[4]) {
  return fourcc({'\xA9', letters[0], letters[1], letters[2], '\0'});
}

constexpr FourCC kItemList = fourcc("ilst");
constexpr FourCC kData = fourcc("data");

// Atoms nest a handful of levels in real files; a deeper tree is hostile and is not followed.
constexpr int kMaxDepth = 32;

enum class AtomKind { container, text, meta };

struct AtomRule {
  FourCC type;
  AtomKind kind;
  TagField field;  // text atoms only
};

constexpr std::array<AtomRule, 23> kAtomRules = {{
    {fourcc("moov"), AtomKind::container, {}},
    {fourcc("trak"), AtomKind::container, {}},
    {fourcc("clip"), AtomKind::container, {}},
    {fourcc("matt"), AtomKind::container, {}},
    {fourcc("edts"), AtomKind::container, {}},
    {fourcc("tref"), AtomKind::container, {}},
    {fourcc("mdia"), AtomKind::container, {}},
    {fourcc("minf"), AtomKind::container, {}},
    {fourcc("dinf"), AtomKind::container, {}},
    {fourcc("udta"), AtomKind::container, {}},
    {fourcc("stbl"), AtomKind::container, {}},
    {fourcc("cmov"), AtomKind::container, {}},
    {fourcc("rmra"), AtomKind::container, {}},
    {fourcc("rmda"), AtomKind::container, {}},
    {fourcc("gmhd"), AtomKind::container, {}},
    {textAtom("cpy"), AtomKind::text, TagField::copyright},
    {textAtom("nam"), AtomKind::text, TagField::title},
    {textAtom("cmt"), AtomKind::text, TagField::comment},
    {textAtom("aut"), AtomKind::text, TagField::author},
    {textAtom("ART"), AtomKind::text, TagField::artist},
    {textAtom("alb"), AtomKind::text, TagField::album},
    {textAtom("gen"), AtomKind::text, TagField::genre},
    {fourcc("meta"), AtomKind::meta, {}},
}};

const AtomRule* ruleFor(FourCC type) {
  for (const AtomRule& rule : kAtomRules) {
    if (rule.type == type) return &rule;
  }
  return nullptr;
}

std::string textToFirstZero(Bytes bytes) {
  auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  return std::string(bytes.begin(), end);
}

// Calls visit(type, body) for each atom of `list` in order. The walk ends at the end of the
// list, at a size of 0, at a size too small for its own header, and at an atom that reaches past
// the list, so it always moves forward and never leaves the list.
template <class Visit>
void forEachAtom(Bytes list, Visit visit) {
  std::size_t position = 0;
  while (list.size() - position >= 8) {
    ByteCursor cursor(list.subspan(position));
    std::uint64_t size = cursor.be32();
    FourCC type = cursor.be32();
    if (size == 0) return;
    if (size == 1) size = cursor.be64();
    std::uint64_t headerSize = cursor.position();
    if (!cursor.ok() || size < headerSize || size > list.size() - position) return;
    visit(type, list.subspan(position + headerSize, size - headerSize));
    position += size;
  }
}

// The value of the first "data" atom in `atoms`, as text to its first zero byte.
std::optional<std::string> dataValue(Bytes atoms) {
  std::optional<std::string> value;
  forEachAtom(atoms, [&value](FourCC type, Bytes body) {
    if (value || type != kData || body.size() < 8) return;
    value = textToFirstZero(body.subspan(8));  // after value type, flags and locale
  });
  return value;
}

// Descends the atom tree depth-first and collects the texts it meets; a later text replaces an
// earlier one of the same field.
class AtomWalker {
 public:
  explicit AtomWalker(FoundTags& found) : found_(found) {}

  static bool wants(FourCC type) { return ruleFor(type) != nullptr; }

  void handle(FourCC type, Bytes body, int depth) {
    const AtomRule* rule = ruleFor(type);
    if (rule == nullptr) return;
    switch (rule->kind) {
      case AtomKind::container:
        if (depth >= kMaxDepth) return;
        forEachAtom(body, [this, depth](FourCC child, Bytes childBody) {
          handle(child, childBody, depth + 1);
        });
        return;
      case AtomKind::text:
        readUserDataText(rule->field, body);
        return;
      case AtomKind::meta:
        readMeta(body);
        return;
    }
  }

 private:
  // Classic user data: text length and language (2 bytes each, not needed), then the text up to
  // its first zero byte or the end of the atom. Some writers put an item-list "data" atom here
  // instead; then its value is the text, not the atom's header bytes.
  void readUserDataText(TagField field, Bytes body) {
    if (holdsDataAtom(body)) {
      if (auto value = dataValue(body)) found_.set(field, std::move(*value));
    } else if (body.size() >= 4) {
      found_.set(field, textToFirstZero(body.subspan(4)));
    }
  }

  static bool holdsDataAtom(Bytes body) {
    ByteCursor cursor(body);
    std::uint32_t size = cursor.be32();
    return cursor.be32() == kData && cursor.ok() && size >= 16 && size <= body.size();
  }

  // An MPEG-4 "meta" is a full atom: four bytes of version and flags (zero) precede its list.
  // QuickTime's "meta" has none; there the list starts at once with a non-zero size.
  void readMeta(Bytes body) {
    ByteCursor cursor(body);
    if (cursor.be32() == 0 && cursor.ok()) body = body.subspan(4);
    forEachAtom(body, [this](FourCC type, Bytes list) {
      if (type == kItemList) readItemList(list);
    });
  }

  // Items named like the text atoms give their "data" value; every other item is stepped over.
  void readItemList(Bytes list) {
    forEachAtom(list, [this](FourCC type, Bytes item) {
      const AtomRule* rule = ruleFor(type);
      if (rule == nullptr || rule->kind != AtomKind::text) return;
      if (auto value = dataValue(item)) found_.set(rule->field, std::move(*value));
    });
  }

  FoundTags& found_;
};

}  // namespace

bool readQuickTimeAtoms(const MediaFile& file, FoundTags& found) {
  AtomWalker walker(found);
  std::uint64_t position = 0;
  while (file.size() - position >= 8) {
    std::array<std::uint8_t, 16> header{};
    std::size_t got = file.readAt(position, header);
    ByteCursor cursor(Bytes(header).first(got));
    std::uint64_t size = cursor.be32();
    FourCC type = cursor.be32();
    if (size == 0) size = file.size() - position;  // the last atom, to the end of the file
    if (size == 1) size = cursor.be64();
    std::uint64_t headerSize = cursor.position();
    // A size too small for its header cannot move on; one past the end of the file means the
    // file was cut short: the walk ends with what was found.
    if (!cursor.ok() || size < headerSize || size > file.size() - position) return true;
    if (AtomWalker::wants(type)) {
      auto body = file.readBlock(position + headerSize, size - headerSize);
      if (!body) return true;
      walker.handle(type, *body, 0);
    }
    position += size;
  }
  return true;
}

}  // namespace metascan
