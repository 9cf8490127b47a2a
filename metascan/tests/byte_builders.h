// Byte builders for the structures the metascan readers take apart: an ID3v1 block, ASF header
// objects, RealMedia chunks and QuickTime atoms. Shared by the tests and the fuzz seed writers,
// so that every input reads as the structure it stands for.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace metascan::testing {

using ByteVec = std::vector<std::uint8_t>;

// Appends numbers and texts in a chosen byte order.
class ByteWriter {
 public:
  ByteWriter& u8(std::uint8_t value) {
    bytes_.push_back(value);
    return *this;
  }
  ByteWriter& be16(std::uint16_t value) { return big(value, 2); }
  ByteWriter& be32(std::uint32_t value) { return big(value, 4); }
  ByteWriter& be64(std::uint64_t value) { return big(value, 8); }
  ByteWriter& le16(std::uint16_t value) { return little(value, 2); }
  ByteWriter& le32(std::uint32_t value) { return little(value, 4); }
  ByteWriter& le64(std::uint64_t value) { return little(value, 8); }
  ByteWriter& text(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
  }
  ByteWriter& bytes(const ByteVec& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
  }
  ByteWriter& zeros(std::size_t count) {
    bytes_.insert(bytes_.end(), count, 0);
    return *this;
  }
  const ByteVec& data() const { return bytes_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  ByteWriter& big(std::uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return *this;
  }
  ByteWriter& little(std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return *this;
  }

  ByteVec bytes_;
};

inline ByteVec cat(std::initializer_list<ByteVec> parts) {
  ByteVec out;
  for (const ByteVec& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

inline std::uint32_t readBe32(const ByteVec& bytes, std::size_t at) {
  return std::uint32_t{bytes.at(at)} << 24 | std::uint32_t{bytes.at(at + 1)} << 16 |
         std::uint32_t{bytes.at(at + 2)} << 8 | bytes.at(at + 3);
}

inline void writeBe32(ByteVec& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

inline void writeLe32(ByteVec& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

// ---- ID3v1 -----------------------------------------------------------------------------------

struct Id3v1Fields {
  std::string title, artist, album, year, comment;  // padded with zero bytes to their width
  std::uint8_t genre = 255;
  std::optional<std::uint8_t> track;  // version 1.1: byte 125 zero, byte 126 the track
};

inline ByteVec id3v1Tag(const Id3v1Fields& fields) {
  auto fixed = [](ByteWriter& out, const std::string& text, std::size_t width) {
    out.text(std::string_view(text).substr(0, width)).zeros(width - std::min(text.size(), width));
  };
  ByteWriter out;
  out.text("TAG");
  fixed(out, fields.title, 30);
  fixed(out, fields.artist, 30);
  fixed(out, fields.album, 30);
  fixed(out, fields.year, 4);
  if (fields.track) {
    fixed(out, fields.comment, 28);
    out.u8(0).u8(*fields.track);
  } else {
    fixed(out, fields.comment, 30);
  }
  out.u8(fields.genre);
  return out.data();
}

// ---- ASF -------------------------------------------------------------------------------------

// The 16 bytes a file holds for an identifier in its text form (bytes 3 2 1 0 5 4 7 6 8 ... 15).
inline ByteVec asfGuidBytes(std::string_view text) {
  std::array<std::uint8_t, 16> inTextOrder{};
  std::size_t next = 0;
  for (std::size_t i = 0; i + 1 < text.size() && next < 16; ++i) {
    if (text[i] == '-') continue;
    inTextOrder[next++] = static_cast<std::uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16));
    ++i;
  }
  constexpr std::array<int, 16> kFileOrder = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  ByteVec inFile(16);
  for (int i = 0; i < 16; ++i) inFile[kFileOrder[i]] = inTextOrder[i];
  return inFile;
}

inline constexpr std::string_view kAsfHeaderGuid = "75B22630-668E-11CF-A6D9-00AA0062CE6C";
inline constexpr std::string_view kAsfFilePropertiesGuid = "8CABDCA1-A947-11CF-8EE4-00C00C205365";
inline constexpr std::string_view kAsfContentDescriptionGuid = "75B22633-668E-11CF-A6D9-00AA0062CE6C";
inline constexpr std::string_view kAsfExtendedContentGuid = "D2D0A440-E307-11D2-97F0-00A0C95EA850";
inline constexpr std::string_view kAsfStreamPropertiesGuid = "B7DC0791-A9B7-11CF-8EE6-00C00C205365";

// UTF-16LE code units, with the terminating zero character unless told otherwise.
inline ByteVec utf16le(std::u16string_view text, bool terminated = true) {
  ByteWriter out;
  for (char16_t unit : text) out.le16(unit);
  if (terminated) out.le16(0);
  return out.data();
}

// An object: identifier, 8-byte size of the whole object, body.
inline ByteVec asfObject(std::string_view guid, const ByteVec& body) {
  return ByteWriter().bytes(asfGuidBytes(guid)).le64(24 + body.size()).bytes(body).data();
}

// File properties object, 104 bytes, with the play duration at object offset 64.
inline ByteVec asfFileProperties(std::uint64_t playDuration) {
  ByteWriter body;
  body.zeros(40).le64(playDuration).zeros(32);  // duration at 24 + 40 = 64
  return asfObject(kAsfFilePropertiesGuid, body.data());
}

// Content description object from five prepared UTF-16LE texts (see utf16le).
inline ByteVec asfContentDescription(const ByteVec& title, const ByteVec& author,
                                     const ByteVec& copyright, const ByteVec& description,
                                     const ByteVec& rating) {
  ByteWriter body;
  for (const ByteVec* text : {&title, &author, &copyright, &description, &rating}) {
    body.le16(static_cast<std::uint16_t>(text->size()));
  }
  body.bytes(title).bytes(author).bytes(copyright).bytes(description).bytes(rating);
  return asfObject(kAsfContentDescriptionGuid, body.data());
}

struct AsfDescriptor {
  std::u16string name;
  std::uint16_t type;  // 0 text, 3 32-bit number ...
  ByteVec value;
};

inline AsfDescriptor asfTextDescriptor(std::u16string name, std::u16string_view value) {
  return {std::move(name), 0, utf16le(value)};
}

inline ByteVec asfDescriptorBytes(const AsfDescriptor& descriptor) {
  ByteVec name = utf16le(descriptor.name);
  return ByteWriter()
      .le16(static_cast<std::uint16_t>(name.size()))
      .bytes(name)
      .le16(descriptor.type)
      .le16(static_cast<std::uint16_t>(descriptor.value.size()))
      .bytes(descriptor.value)
      .data();
}

inline ByteVec asfExtendedContent(const std::vector<AsfDescriptor>& descriptors) {
  ByteWriter body;
  body.le16(static_cast<std::uint16_t>(descriptors.size()));
  for (const AsfDescriptor& descriptor : descriptors) body.bytes(asfDescriptorBytes(descriptor));
  return asfObject(kAsfExtendedContentGuid, body.data());
}

// The header object around `objects`; the object count defaults to how many there are.
inline ByteVec asfHeader(const std::vector<ByteVec>& objects,
                         std::optional<std::uint32_t> objectCount = std::nullopt) {
  ByteWriter body;
  for (const ByteVec& object : objects) body.bytes(object);
  return ByteWriter()
      .bytes(asfGuidBytes(kAsfHeaderGuid))
      .le64(30 + body.size())
      .le32(objectCount.value_or(static_cast<std::uint32_t>(objects.size())))
      .u8(1)
      .u8(2)
      .bytes(body.data())
      .data();
}

// ---- RealMedia -------------------------------------------------------------------------------

inline ByteVec rmChunk(std::string_view id, const ByteVec& body) {
  return ByteWriter().text(id).be32(static_cast<std::uint32_t>(8 + body.size())).bytes(body).data();
}

// ".RMF" file header: version, file version, number of headers.
inline ByteVec rmFileHeader() { return rmChunk(".RMF", ByteWriter().be16(0).be32(0).be32(4).data()); }

inline ByteVec rmProperties() { return rmChunk("PROP", ByteVec(42, 0)); }

inline ByteVec rmContent(std::string_view title, std::string_view author,
                         std::string_view copyright, std::string_view comment,
                         std::uint16_t version = 0) {
  ByteWriter body;
  body.be16(version);
  for (std::string_view text : {title, author, copyright, comment}) {
    body.be16(static_cast<std::uint16_t>(text.size())).text(text);
  }
  return rmChunk("CONT", body.data());
}

// ---- QuickTime -------------------------------------------------------------------------------

// Atom types are four bytes; text atoms start with 0xA9: mov("\xA9" "nam").
inline ByteVec atom(std::string_view type, const ByteVec& body) {
  return ByteWriter().be32(static_cast<std::uint32_t>(8 + body.size())).text(type).bytes(body).data();
}

inline ByteVec atom(std::string_view type, std::initializer_list<ByteVec> children) {
  return atom(type, cat(children));
}

// An atom whose size is given as 64 bits (size field 1).
inline ByteVec atom64(std::string_view type, const ByteVec& body) {
  return ByteWriter().be32(1).text(type).be64(16 + body.size()).bytes(body).data();
}

inline std::string textAtomType(std::string_view letters) {
  std::string type(1, '\xA9');
  type.append(letters);
  return type;
}

// Classic user-data text atom: text length, language code, text.
inline ByteVec userDataText(std::string_view letters, std::string_view text,
                            std::uint16_t language = 0x55C4) {
  ByteWriter body;
  body.be16(static_cast<std::uint16_t>(text.size())).be16(language).text(text);
  return atom(textAtomType(letters), body.data());
}

// An item of an item list: the named item holding one "data" atom (UTF-8 text, locale 0).
inline ByteVec ilstItem(std::string_view type, std::string_view value) {
  return atom(type, {atom("data", ByteWriter().be32(1).be32(0).text(value).data())});
}

inline ByteVec handlerAtom() {
  return atom("hdlr", ByteWriter().be32(0).be32(0).text("mdirappl").zeros(9).data());
}

// MPEG-4 "meta": a full atom, version and flags before its children.
inline ByteVec metaFullAtom(std::initializer_list<ByteVec> children) {
  return atom("meta", cat({ByteVec(4, 0), cat(children)}));
}

// QuickTime "meta": its children start at once.
inline ByteVec metaQuickTime(std::initializer_list<ByteVec> children) {
  return atom("meta", cat(children));
}

}  // namespace metascan::testing
