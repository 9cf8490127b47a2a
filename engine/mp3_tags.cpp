#include "engine/mp3_tags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include "engine/file_stream.h"
#include "platform/id3_genres.h"
#include "platform/paths/file_descriptor.h"
#include "platform/utf8.h"

namespace engine {

namespace {

using Bytes = std::vector<std::uint8_t>;

// The tag is laid out here rather than by TagLib: TagLib's ID3v2.3 output turns genre names into
// numeric references ("(17)(147)Nu Gaze", reordered) and cannot render a tag to a given size,
// which putting frames into a finished file needs.

constexpr std::size_t kHeaderSize = 10;
constexpr std::size_t kMaxTagSize = (1u << 28) - 1;  // what the header's 28-bit size can say
constexpr std::size_t kMaxUniqueIdBytes = 64;

enum Encoding : std::uint8_t { kLatin1 = 0, kUtf16 = 1, kUtf16Be = 2, kUtf8 = 3 };

// Calls `take` with each character of a UTF-8 text; bytes outside valid UTF-8 are Latin-1.
template <typename Take>
void ForEachCharacter(const std::string& utf8, Take take) {
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = platform::Utf8SequenceLength(utf8, i);
    take(length == 0 ? static_cast<std::uint8_t>(utf8[i]) : platform::DecodeUtf8Sequence(utf8, i, length));
    i += length == 0 ? 1 : length;
  }
}

// The characters of a text as the tag holds them: NULs dropped (they would end the text early).
std::u32string Characters(const std::string& utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  ForEachCharacter(utf8, [&out](char32_t c) {
    if (c != 0) out.push_back(c);
  });
  return out;
}

bool FitsLatin1(const std::u32string& text) {
  return std::all_of(text.begin(), text.end(), [](char32_t c) { return c <= 0xFF; });
}

void PutText(Bytes& out, const std::u32string& text, Encoding encoding) {
  switch (encoding) {
    case kLatin1:
      for (char32_t c : text) out.push_back(static_cast<std::uint8_t>(c));
      break;
    case kUtf16:
      out.push_back(0xFF), out.push_back(0xFE);  // little-endian, as TagLib and mutagen write it
      for (char32_t c : text) platform::AppendUtf16Le(out, c);
      break;
    case kUtf16Be:
      break;  // never written
    case kUtf8: {
      std::string utf8;
      for (char32_t c : text) platform::AppendUtf8(utf8, c);
      out.insert(out.end(), utf8.begin(), utf8.end());
      break;
    }
  }
}

void PutTerminator(Bytes& out, Encoding encoding) {
  out.push_back(0);
  if (encoding == kUtf16 || encoding == kUtf16Be) out.push_back(0);
}

void PutLatin1(Bytes& out, const std::string& utf8) { PutText(out, Characters(utf8), kLatin1); }

void PutSize(Bytes& out, std::size_t size, bool synchsafe) {
  for (int shift = 3; shift >= 0; --shift) {
    out.push_back(static_cast<std::uint8_t>(synchsafe ? (size >> (7 * shift)) & 0x7F : (size >> (8 * shift)) & 0xFF));
  }
}

std::size_t ReadSize(const std::uint8_t* at, bool synchsafe) {
  std::size_t size = 0;
  for (int i = 0; i < 4; ++i) size = synchsafe ? (size << 7) | (at[i] & 0x7F) : (size << 8) | at[i];
  return size;
}

// The texts of one frame, with the encoding all of them fit in.
struct FrameTexts {
  std::vector<std::u32string> texts;
  Encoding encoding = kLatin1;
};

FrameTexts PrepareTexts(const std::vector<std::string>& utf8, int version) {
  FrameTexts out;
  bool latin1 = true;
  for (const std::string& text : utf8) {
    out.texts.push_back(Characters(text));
    latin1 = latin1 && FitsLatin1(out.texts.back());
  }
  if (!latin1) out.encoding = version == 4 ? kUtf8 : kUtf16;
  return out;
}

// A frame: its ID, its size (synchsafe in ID3v2.4), no flags, then the body.
Bytes FrameBytes(const std::string& id, const Bytes& body, int version) {
  Bytes out(id.begin(), id.end());
  PutSize(out, body.size(), version == 4);
  out.push_back(0), out.push_back(0);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

bool ValidFrameId(const std::string& id) {
  return id.size() == 4 && std::all_of(id.begin(), id.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
         });
}

// The values that are written: non-empty and within the size limit.
std::vector<std::string> WrittenValues(const std::vector<std::string>& values) {
  std::vector<std::string> out;
  for (const std::string& value : values) {
    if (!value.empty() && value.size() <= kMaxTagTextBytes && !Characters(value).empty()) out.push_back(value);
  }
  return out;
}

// The ID a frame is written under in this version: the dates ID3v2.3 and ID3v2.4 name differently.
std::string VersionedId(const std::string& id, int version) {
  if (version == 4) {
    if (id == "TORY") return "TDOR";
    if (id == "TYER") return "TDRC";
  } else {
    if (id == "TDOR") return "TORY";
    if (id == "TDRC") return "TYER";
  }
  return id;
}

// The bytes of `frame`, or none when it has nothing to write.
Bytes RenderFrame(const Id3Frame& frame, int version) {
  if (frame.kind == Id3Frame::Kind::Private) {
    // An owner and bytes as they are: not a text, so nothing is dropped or converted.
    if (frame.description.empty() || frame.values.empty()) return {};
    Bytes body;
    PutLatin1(body, frame.description);
    body.push_back(0);
    body.insert(body.end(), frame.values.front().begin(), frame.values.front().end());
    return FrameBytes("PRIV", body, version);
  }
  std::vector<std::string> values = WrittenValues(frame.values);
  if (values.empty()) return {};
  Bytes body;
  switch (frame.kind) {
    case Id3Frame::Kind::Text: {
      const std::string id = VersionedId(frame.id, version);
      if (!ValidFrameId(id) || id[0] != 'T' || id == "TXXX") return {};
      // ID3v2.3 has years where ID3v2.4 has dates.
      if (version != 4 && (id == "TORY" || id == "TYER")) {
        for (std::string& value : values) value = YearOf(value);
        values = WrittenValues(values);
        if (values.empty()) return {};
      }
      const FrameTexts texts = PrepareTexts(values, version);
      body.push_back(texts.encoding);
      for (std::size_t i = 0; i < texts.texts.size(); ++i) {
        if (i > 0) PutTerminator(body, texts.encoding);
        PutText(body, texts.texts[i], texts.encoding);
      }
      return FrameBytes(id, body, version);
    }
    case Id3Frame::Kind::UserText: {
      std::vector<std::string> all{frame.description};
      all.insert(all.end(), values.begin(), values.end());
      const FrameTexts texts = PrepareTexts(all, version);
      body.push_back(texts.encoding);
      for (std::size_t i = 0; i < texts.texts.size(); ++i) {
        if (i > 0) PutTerminator(body, texts.encoding);
        PutText(body, texts.texts[i], texts.encoding);
      }
      return FrameBytes("TXXX", body, version);
    }
    case Id3Frame::Kind::Lyrics:
    case Id3Frame::Kind::Comment: {
      const FrameTexts texts = PrepareTexts({frame.description, values.front()}, version);
      body.push_back(texts.encoding);
      std::string language = frame.language.size() == 3 ? frame.language : "XXX";
      body.insert(body.end(), language.begin(), language.end());
      PutText(body, texts.texts[0], texts.encoding);
      PutTerminator(body, texts.encoding);
      PutText(body, texts.texts[1], texts.encoding);
      return FrameBytes(frame.kind == Id3Frame::Kind::Lyrics ? "USLT" : "COMM", body, version);
    }
    case Id3Frame::Kind::UniqueFileId: {
      if (frame.description.empty() || values.front().size() > kMaxUniqueIdBytes) return {};
      PutLatin1(body, frame.description);
      body.push_back(0);
      body.insert(body.end(), values.front().begin(), values.front().end());
      return FrameBytes("UFID", body, version);
    }
    case Id3Frame::Kind::Popularimeter:
    case Id3Frame::Kind::Private:
      break;
  }
  return {};
}

Bytes RenderPopularimeter(const Id3Frame& frame, int version) {
  if (frame.rating < 1 || frame.rating > 255) return {};
  Bytes body;
  PutLatin1(body, frame.description);
  body.push_back(0);
  body.push_back(static_cast<std::uint8_t>(frame.rating));
  body.insert(body.end(), 4, 0);  // play count 0, as TagLib writes it
  return FrameBytes("POPM", body, version);
}

Bytes Render(const Id3Frame& frame, int version) {
  return frame.kind == Id3Frame::Kind::Popularimeter ? RenderPopularimeter(frame, version) : RenderFrame(frame, version);
}

// An APIC frame of `picture` is its header, `head` (encoding, MIME type, type, description)
// and the picture's bytes: kept apart, so that a large picture is copied once, into the tag.
struct PictureFrame {
  Bytes head;  // frame header and the body up to the picture's bytes
  const std::vector<std::uint8_t>* data = nullptr;
  std::size_t Size() const { return head.size() + data->size(); }
};

std::optional<PictureFrame> PreparePicture(const TagPicture& picture, int version) {
  if (picture.data.empty() || picture.data.size() > kMaxPictureBytes) return std::nullopt;
  const std::string mime = picture.mimeType.empty() ? ImageMimeType(picture.data.data(), picture.data.size())
                                                    : picture.mimeType;
  const FrameTexts description = PrepareTexts({picture.description}, version);
  Bytes body;
  body.push_back(description.encoding);
  PutLatin1(body, mime);
  body.push_back(0);
  body.push_back(static_cast<std::uint8_t>(std::clamp(picture.type, 0, 20)));
  PutText(body, description.texts[0], description.encoding);
  PutTerminator(body, description.encoding);
  PictureFrame frame;
  frame.head = {'A', 'P', 'I', 'C'};
  PutSize(frame.head, body.size() + picture.data.size(), version == 4);
  frame.head.push_back(0), frame.head.push_back(0);
  frame.head.insert(frame.head.end(), body.begin(), body.end());
  frame.data = &picture.data;
  return frame;
}

// The frames the named fields give, in the order they are written.
std::vector<Id3Frame> FieldFrames(const Mp3Tags& tags, int version) {
  const auto values = [](const std::vector<std::string>& several, const std::string& one) {
    return several.empty() ? std::vector<std::string>{one} : several;
  };
  std::vector<Id3Frame> frames;
  frames.push_back(Id3Frame::Text("TIT2", {tags.title}));
  frames.push_back(Id3Frame::Text("TPE1", values(tags.artists, tags.artist)));
  frames.push_back(Id3Frame::Text("TPE2", values(tags.albumArtists, tags.albumArtist)));
  frames.push_back(Id3Frame::Text("TALB", {tags.album}));
  frames.push_back(Id3Frame::Text("TRCK", {PositionText(tags.track, tags.trackTotal)}));
  frames.push_back(Id3Frame::Text("TPOS", {PositionText(tags.disc, tags.discTotal)}));
  frames.push_back(Id3Frame::Text(version == 4 ? "TDRC" : "TYER", {tags.date}));
  frames.push_back(Id3Frame::Text("TCON", values(tags.genres, tags.genre)));
  Id3Frame comment;
  comment.kind = Id3Frame::Kind::Comment;
  comment.values = {tags.comment};
  frames.push_back(comment);
  frames.push_back(Id3Frame::Text("TCOM", values(tags.composers, tags.composer)));
  return frames;
}

Bytes RenderTag(const Mp3Tags& tags, const std::vector<TagPicture>& pictures, int version) {
  std::vector<Id3Frame> frames = FieldFrames(tags, version);
  for (const Id3Frame& extra : tags.frames) {
    // A frame of a field's identity replaces the field's frame where it stands.
    const auto same = std::find_if(frames.begin(), frames.end(),
                                   [&](const Id3Frame& f) { return f.Identity() == extra.Identity(); });
    if (same != frames.end()) {
      *same = extra;
    } else {
      frames.push_back(extra);
    }
  }
  // Private frames first, where a reader looking for one (an up-to-date check) finds it after
  // reading a few hundred bytes.
  std::stable_partition(frames.begin(), frames.end(),
                        [](const Id3Frame& frame) { return frame.kind == Id3Frame::Kind::Private; });
  // The size is known before anything is copied: the tag is one allocation of exactly its size,
  // and each picture's bytes are copied once, straight into it.
  std::vector<Bytes> rendered;
  std::size_t bodySize = 0;
  for (const Id3Frame& frame : frames) {
    rendered.push_back(Render(frame, version));
    bodySize += rendered.back().size();
  }
  std::vector<PictureFrame> pictureFrames;
  for (const TagPicture& picture : pictures) {
    std::optional<PictureFrame> frame = PreparePicture(picture, version);
    if (!frame || bodySize + frame->Size() + kId3v2Padding > kMaxTagSize) continue;
    bodySize += frame->Size();
    pictureFrames.push_back(std::move(*frame));
  }
  if (bodySize == 0) return {};
  Bytes out;
  out.reserve(kHeaderSize + bodySize + kId3v2Padding);
  out.insert(out.end(), {'I', 'D', '3', static_cast<std::uint8_t>(version), 0, 0});
  PutSize(out, bodySize + kId3v2Padding, true);
  for (const Bytes& bytes : rendered) out.insert(out.end(), bytes.begin(), bytes.end());
  for (const PictureFrame& frame : pictureFrames) {
    out.insert(out.end(), frame.head.begin(), frame.head.end());
    out.insert(out.end(), frame.data->begin(), frame.data->end());
  }
  out.resize(out.size() + kId3v2Padding, 0);
  return out;
}

// --- Reading a tag's frames back, for putting frames into a finished file.

std::string Latin1ToUtf8(const std::uint8_t* at, std::size_t size) {
  std::string out;
  for (std::size_t i = 0; i < size; ++i) platform::AppendUtf8(out, at[i]);
  return out;
}

// The text at `at` in `encoding` up to its terminator (or the end), as UTF-8; `used` is set to
// the bytes taken, terminator included.
std::string DecodeText(const std::uint8_t* at, std::size_t size, std::uint8_t encoding, std::size_t& used) {
  if (encoding == kLatin1 || encoding == kUtf8) {
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(at, 0, size));
    const std::size_t length = end == nullptr ? size : static_cast<std::size_t>(end - at);
    used = end == nullptr ? size : length + 1;
    return encoding == kLatin1 ? Latin1ToUtf8(at, length) : std::string(reinterpret_cast<const char*>(at), length);
  }
  std::size_t length = 0;  // bytes before the two-byte terminator
  while (length + 1 < size && (at[length] != 0 || at[length + 1] != 0)) length += 2;
  if (length + 1 >= size) length = size & ~std::size_t{1};
  used = std::min(size, length + 2);
  bool bigEndian = encoding == kUtf16Be;
  std::size_t i = 0;
  if (encoding == kUtf16 && length >= 2) {
    if (at[0] == 0xFE && at[1] == 0xFF) bigEndian = true, i = 2;
    if (at[0] == 0xFF && at[1] == 0xFE) i = 2;
  }
  const auto unitAt = [&](std::size_t pos) -> char32_t {
    return bigEndian ? (at[pos] << 8 | at[pos + 1]) : (at[pos + 1] << 8 | at[pos]);
  };
  std::string out;
  for (; i < length; i += 2) {
    char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 2 < length) {
      const char32_t low = unitAt(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;
    platform::AppendUtf8(out, unit);
  }
  return out;
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string IdentityOf(const std::string& id, const std::string& name, const std::string& language = {}) {
  if (id == "TXXX") return id + '\0' + UpperAscii(name);
  if (id == "UFID" || id == "POPM") return id + '\0' + name;
  if (id == "USLT" || id == "COMM") return id + '\0' + language + '\0' + name;
  return id;
}

// The identity of a frame as it stands in a tag; frames this program never puts in get a
// identity no Id3Frame has.
std::string RawIdentity(const std::string& id, const std::uint8_t* body, std::size_t size, std::size_t offset) {
  std::size_t used = 0;
  if (id == "TXXX" && size >= 1) return IdentityOf(id, DecodeText(body + 1, size - 1, body[0], used));
  if ((id == "UFID" || id == "POPM" || id == "PRIV") && size >= 1)
    return IdentityOf(id, DecodeText(body, size, kLatin1, used));
  if ((id == "USLT" || id == "COMM") && size >= 4) {
    return IdentityOf(id, DecodeText(body + 4, size - 4, body[0], used), std::string(reinterpret_cast<const char*>(body + 1), 3));
  }
  if (id[0] == 'T') return id;
  return id + '\0' + '#' + std::to_string(offset);
}

void ReadExactly(int fd, std::uint8_t* data, std::size_t size, off_t offset, const std::string& path) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::pread(fd, data + done, size - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError("Cannot read file", path, errno);
    if (n == 0) throw FileError("Cannot read file", path, EIO);  // shorter than its tag says
    done += static_cast<std::size_t>(n);
  }
}

void WriteAll(int fd, const std::uint8_t* data, std::size_t size, off_t offset, const std::string& path) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::pwrite(fd, data + done, size - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError("Cannot write to file", path, errno);
    if (n == 0) throw FileError("Cannot write to file", path, ENOSPC);
    done += static_cast<std::size_t>(n);
  }
}

// Copies `from` (from `offset` to its end) to `to` at the same offset: in the kernel where it can
// (no copy through this process, and a shared extent on file systems that offer one).
void CopyRest(int from, int to, off_t offset, const std::string& fromPath, const std::string& toPath) {
  struct stat status {};
  if (::fstat(from, &status) != 0) throw FileError("Cannot read file", fromPath, errno);
  off_t in = offset, out = offset;
  bool kernelCopy = true;
  std::vector<std::uint8_t> buffer;
  while (in < status.st_size) {
    const auto left = static_cast<std::size_t>(status.st_size - in);
    if (kernelCopy) {
      const ssize_t n = ::copy_file_range(from, &in, to, &out, left, 0);
      if (n > 0) continue;
      if (n == 0) break;  // the file became shorter
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
        throw FileError("Cannot write to file", toPath, errno);
      }
      kernelCopy = false;
    }
    buffer.resize(1 << 16);
    const std::size_t chunk = std::min(left, buffer.size());
    const ssize_t n = ::pread(from, buffer.data(), chunk, in);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError("Cannot read file", fromPath, errno);
    if (n == 0) break;
    WriteAll(to, buffer.data(), static_cast<std::size_t>(n), out, toPath);
    in += n, out += n;
  }
  if (::ftruncate(to, out) != 0) throw FileError("Cannot write to file", toPath, errno);
}

}  // namespace

Id3Frame Id3Frame::Text(std::string id, std::vector<std::string> values) {
  Id3Frame frame;
  frame.id = std::move(id);
  frame.values = std::move(values);
  return frame;
}

Id3Frame Id3Frame::UserText(std::string description, std::vector<std::string> values) {
  Id3Frame frame;
  frame.kind = Kind::UserText;
  frame.description = std::move(description);
  frame.values = std::move(values);
  return frame;
}

Id3Frame Id3Frame::Lyrics(std::string text, std::string description) {
  Id3Frame frame;
  frame.kind = Kind::Lyrics;
  frame.description = std::move(description);
  frame.values = {std::move(text)};
  return frame;
}

Id3Frame Id3Frame::UniqueFileId(std::string owner, std::string identifier) {
  Id3Frame frame;
  frame.kind = Kind::UniqueFileId;
  frame.description = std::move(owner);
  frame.values = {std::move(identifier)};
  return frame;
}

Id3Frame Id3Frame::Popularimeter(std::string email, int rating) {
  Id3Frame frame;
  frame.kind = Kind::Popularimeter;
  frame.description = std::move(email);
  frame.rating = rating;
  return frame;
}

Id3Frame Id3Frame::Private(std::string owner, std::string data) {
  Id3Frame frame;
  frame.kind = Kind::Private;
  frame.description = std::move(owner);
  frame.values = {std::move(data)};
  return frame;
}

std::string Id3Frame::FrameId() const {
  switch (kind) {
    case Kind::Text: return id;
    case Kind::UserText: return "TXXX";
    case Kind::Lyrics: return "USLT";
    case Kind::Comment: return "COMM";
    case Kind::UniqueFileId: return "UFID";
    case Kind::Popularimeter: return "POPM";
    case Kind::Private: return "PRIV";
  }
  return id;
}

std::string Id3Frame::Identity() const {
  const std::string frameId = FrameId();
  // A description is compared as the tag holds it: what Latin-1 cannot hold is the same either way.
  std::string name;
  for (char32_t c : Characters(description)) platform::AppendUtf8(name, c);
  return IdentityOf(frameId, name, language.size() == 3 ? language : "XXX");
}

std::vector<std::uint8_t> RenderId3v2Tag(const Mp3Tags& tags, const CoverPicture& cover, int version) noexcept {
  std::vector<TagPicture> pictures;
  if (!cover.empty()) pictures.push_back(TagPicture{kPictureFrontCover, {}, cover.mimeType, cover.data});
  return RenderCompleteId3v2Tag(tags, pictures, version);
}

std::vector<std::uint8_t> RenderCompleteId3v2Tag(const Mp3Tags& tags, const std::vector<TagPicture>& pictures,
                                                 int version) noexcept {
  try {
    return RenderTag(tags, pictures, version == 4 ? 4 : 3);
  } catch (...) {
    return {};
  }
}

namespace {

// The layout of a tag read through `read` (which fills `size` bytes at `offset` of what holds
// the tag, or says it cannot), `available` bytes long. A frame's identity needs only the start of
// its body (a description or an owner), so a large frame's body is never read whole.
using ReadBytesAt = std::function<bool(std::size_t offset, std::uint8_t* data, std::size_t size)>;
constexpr std::size_t kIdentityBytes = 4096;

std::optional<Id3v2Layout> ReadLayout(const ReadBytesAt& read, std::size_t available) {
  std::uint8_t header[kHeaderSize];
  if (available < kHeaderSize || !read(0, header, kHeaderSize) || std::memcmp(header, "ID3", 3) != 0) return std::nullopt;
  const int version = header[3];
  const std::uint8_t flags = header[5];
  if ((version != 3 && version != 4) || (flags & 0xC0) != 0) return std::nullopt;  // unsynchronised, extended
  if ((header[6] | header[7] | header[8] | header[9]) & 0x80) return std::nullopt;
  Id3v2Layout layout;
  layout.version = version;
  const std::size_t end = kHeaderSize + ReadSize(header + 6, true);
  layout.tagSize = end + ((version == 4 && (flags & 0x10)) ? 10 : 0);
  if (layout.tagSize > available) return std::nullopt;
  Bytes body;
  for (std::size_t at = kHeaderSize; at + kHeaderSize <= end;) {
    std::uint8_t frame[kHeaderSize];
    if (!read(at, frame, kHeaderSize)) return std::nullopt;
    if (frame[0] == 0) break;  // the padding
    const std::string id(reinterpret_cast<const char*>(frame), 4);
    if (!ValidFrameId(id)) return std::nullopt;
    const std::size_t bodySize = ReadSize(frame + 4, version == 4);
    const std::uint8_t formatFlags = frame[9];
    // Compressed, encrypted or (ID3v2.4) unsynchronised or length-prefixed frames are not read.
    if (version == 3 ? (formatFlags & 0xC0) != 0 : (formatFlags & 0x0F) != 0) return std::nullopt;
    if (bodySize > end - at - kHeaderSize) return std::nullopt;
    body.resize(std::min(bodySize, kIdentityBytes));
    if (!read(at + kHeaderSize, body.data(), body.size())) return std::nullopt;
    layout.frames.push_back({id, RawIdentity(id, body.data(), body.size(), at), at, kHeaderSize + bodySize});
    at += kHeaderSize + bodySize;
  }
  return layout;
}

}  // namespace

std::uint64_t TagChecksum(const std::uint8_t* data, std::size_t size, std::uint64_t checksum) {
  for (std::size_t i = 0; i < size; ++i) checksum = (checksum ^ data[i]) * 0x100000001b3ULL;
  return checksum;
}

WrittenTag WrittenTag::Of(const std::vector<std::uint8_t>& tag) {
  WrittenTag written;
  const std::optional<Id3v2Layout> layout = ParseId3v2Layout(tag.data(), tag.size());
  if (!layout) return written;
  written.size = layout->tagSize;
  written.parts.push_back({"header", 0, kHeaderSize, TagChecksum(tag.data(), kHeaderSize)});
  for (const RawId3Frame& frame : layout->frames)
    written.parts.push_back({frame.id, frame.offset, frame.size, TagChecksum(tag.data() + frame.offset, frame.size)});
  return written;
}

std::optional<Id3v2Layout> ParseId3v2Layout(const std::uint8_t* bytes, std::size_t size) {
  return ReadLayout(
      [bytes, size](std::size_t offset, std::uint8_t* data, std::size_t count) {
        if (offset > size || count > size - offset) return false;
        if (count > 0) std::memcpy(data, bytes + offset, count);
        return true;
      },
      size);
}

RetagResult RewriteTagInCopy(const std::string& path, const std::vector<Id3Frame>& frames,
                             const std::string& copyPath) {
  platform::FileDescriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (in.Get() < 0) throw FileError("Cannot open file", path, errno);
  struct stat status {};
  if (::fstat(in.Get(), &status) != 0) throw FileError("Cannot read file", path, errno);
  if (!S_ISREG(status.st_mode)) throw FileError("Cannot open file", path, EINVAL);
  RetagResult result;
  const std::optional<Id3v2Layout> layout = ReadLayout(
      [&](std::size_t offset, std::uint8_t* data, std::size_t size) {
        ReadExactly(in.Get(), data, size, static_cast<off_t>(offset), path);
        return true;
      },
      static_cast<std::size_t>(status.st_size));
  if (!layout) return result;

  // The frames kept, in their order, then the new ones: kept frames only ever move towards the
  // start, so the same file can be rewritten in place, front to back.
  std::vector<std::string> identities;
  std::vector<Bytes> rendered;
  std::size_t size = kHeaderSize;
  for (const Id3Frame& frame : frames) {
    identities.push_back(frame.Identity());
    rendered.push_back(Render(frame, layout->version));
    size += rendered.back().size();
  }
  std::vector<const RawId3Frame*> kept;
  for (const RawId3Frame& old : layout->frames) {
    if (std::find(identities.begin(), identities.end(), old.identity) != identities.end()) continue;
    kept.push_back(&old);
    size += old.size;
  }
  if (size > layout->tagSize) {
    result.outcome = RetagOutcome::DoesNotFit;
    return result;
  }

  // Never truncated on opening: `copyPath` may name `path` itself by another name.
  platform::FileDescriptor out(::open(copyPath.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
  if (out.Get() < 0) throw FileError("Cannot open file", copyPath, errno);
  struct stat copyStatus {};
  if (::fstat(out.Get(), &copyStatus) != 0) throw FileError("Cannot write to file", copyPath, errno);
  const bool inPlace = copyStatus.st_dev == status.st_dev && copyStatus.st_ino == status.st_ino;

  WrittenTag& written = result.tag;
  written.size = layout->tagSize;
  std::size_t at = 0;
  const auto put = [&](const std::string& id, const std::uint8_t* data, std::size_t count) {
    WriteAll(out.Get(), data, count, static_cast<off_t>(at), copyPath);
    written.parts.push_back({id, at, count, TagChecksum(data, count)});
    at += count;
  };
  std::uint8_t header[kHeaderSize];
  ReadExactly(in.Get(), header, kHeaderSize, 0, path);
  header[5] = 0;  // no footer: the padding follows the frames
  const std::size_t sizeField = layout->tagSize - kHeaderSize;
  for (int i = 0; i < 4; ++i) header[6 + i] = static_cast<std::uint8_t>((sizeField >> (7 * (3 - i))) & 0x7F);
  put("header", header, kHeaderSize);
  Bytes buffer(std::size_t{1} << 16);
  for (const RawId3Frame* old : kept) {
    // In pieces, so that a large picture never has to be held.
    WrittenTag::Part part{old->id, at, old->size, kTagChecksumStart};
    for (std::size_t done = 0; done < old->size;) {
      const std::size_t chunk = std::min(buffer.size(), old->size - done);
      ReadExactly(in.Get(), buffer.data(), chunk, static_cast<off_t>(old->offset + done), path);
      if (!inPlace || old->offset != at) WriteAll(out.Get(), buffer.data(), chunk, static_cast<off_t>(at + done), copyPath);
      part.checksum = TagChecksum(buffer.data(), chunk, part.checksum);
      done += chunk;
    }
    written.parts.push_back(part);
    at += old->size;
  }
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (!rendered[i].empty()) put(std::string(rendered[i].begin(), rendered[i].begin() + 4), rendered[i].data(), rendered[i].size());
  }
  std::fill(buffer.begin(), buffer.end(), 0);
  while (at < layout->tagSize) {
    const std::size_t chunk = std::min(buffer.size(), layout->tagSize - at);
    WriteAll(out.Get(), buffer.data(), chunk, static_cast<off_t>(at), copyPath);
    at += chunk;
  }
  if (!inPlace) CopyRest(in.Get(), out.Get(), static_cast<off_t>(layout->tagSize), path, copyPath);
  if (out.Close() != 0) throw FileError("Cannot write to file", copyPath, errno);
  result.outcome = RetagOutcome::Rewritten;
  return result;
}

std::string PositionText(int number, int total) {
  if (number <= 0) return {};
  return std::to_string(number) + (total > 0 ? "/" + std::to_string(total) : "");
}

std::string YearOf(const std::string& date) {
  for (std::size_t i = 0; i < date.size();) {
    std::size_t end = i;
    while (end < date.size() && date[end] >= '0' && date[end] <= '9') ++end;
    if (end - i == 4) return date.substr(i, 4);
    i = end == i ? i + 1 : end;
  }
  return {};
}

std::vector<std::uint8_t> RenderId3v1Tag(const Mp3Tags& tags) {
  std::vector<std::uint8_t> tag{'T', 'A', 'G'};
  const auto field = [&tag](const std::string& utf8, std::size_t width) {
    const std::string latin1 = Id3v1Text(utf8);
    for (std::size_t i = 0; i < width; ++i) tag.push_back(i < latin1.size() ? static_cast<std::uint8_t>(latin1[i]) : 0);
  };
  field(tags.title, 30);
  field(tags.artist, 30);
  field(tags.album, 30);
  field(YearOf(tags.date), 4);
  field(tags.comment, 28);
  tag.push_back(0);  // ID3v1.1: the track follows
  tag.push_back(static_cast<std::uint8_t>(tags.track > 0 && tags.track <= 255 ? tags.track : 0));
  std::uint8_t genre = 255;
  for (std::size_t number = 0; number < platform::kId3v1Genres.size(); ++number) {
    if (strcasecmp(platform::kId3v1Genres[number], tags.genre.c_str()) == 0) genre = static_cast<std::uint8_t>(number);
  }
  tag.push_back(genre);
  return tag;
}

std::string Id3v1Text(const std::string& utf8) {
  std::string out;
  ForEachCharacter(utf8, [&out](char32_t c) { out.push_back(c <= 0xFF ? static_cast<char>(c) : '?'); });
  return out;
}

std::string ImageMimeType(const std::uint8_t* data, std::size_t size) {
  const auto startsWith = [&](std::string_view magic, std::size_t at = 0) {
    return size >= at + magic.size() && std::memcmp(data + at, magic.data(), magic.size()) == 0;
  };
  if (startsWith("\xFF\xD8\xFF")) return "image/jpeg";
  if (startsWith("\x89PNG\r\n\x1A\n")) return "image/png";
  if (startsWith("GIF87a") || startsWith("GIF89a")) return "image/gif";
  if (startsWith("BM")) return "image/bmp";
  if (startsWith("RIFF") && startsWith("WEBP", 8)) return "image/webp";
  if (startsWith(std::string_view("II*\0", 4)) || startsWith(std::string_view("MM\0*", 4))) return "image/tiff";
  return {};
}

}  // namespace engine
