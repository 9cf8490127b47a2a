#include "core/library.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "platform/utf8.h"

namespace core {

namespace {

constexpr std::size_t kMaxPartBytes = 255;
// A record is a few lines; a frame that claims more is not one of ours.
constexpr std::uint32_t kMaxRecordBytes = 64 * 1024;

struct Field {
  const char* name;
  std::string (*value)(const NameFields& fields);
};

std::string TwoDigits(int number) {
  if (number <= 0) return {};
  return (number < 10 ? "0" : "") + std::to_string(number);
}

// The first run of exactly four digits: the year of "2004-05-12" or "12.05.2004".
std::string YearOfDate(const std::string& date) {
  for (std::size_t i = 0; i < date.size();) {
    std::size_t end = i;
    while (end < date.size() && date[end] >= '0' && date[end] <= '9') ++end;
    if (end - i == 4) return date.substr(i, 4);
    i = end == i ? i + 1 : end;
  }
  return {};
}

const Field kFields[] = {
    {"artist", [](const NameFields& f) { return f.artist.empty() ? std::string("Unknown Artist") : f.artist; }},
    {"albumartist",
     [](const NameFields& f) {
       const std::string& artist = f.albumArtist.empty() ? f.artist : f.albumArtist;
       return artist.empty() ? std::string("Unknown Artist") : artist;
     }},
    {"album", [](const NameFields& f) { return f.album.empty() ? std::string("Unknown Album") : f.album; }},
    {"title", [](const NameFields& f) { return f.title.empty() ? f.fileName : f.title; }},
    {"track", [](const NameFields& f) { return TwoDigits(f.track); }},
    {"disc", [](const NameFields& f) { return f.disc > 0 ? std::to_string(f.disc) : std::string(); }},
    {"year", [](const NameFields& f) { return YearOfDate(f.year); }},
    {"genre", [](const NameFields& f) { return f.genre; }},
    {"filename", [](const NameFields& f) { return f.fileName; }},
    {"folder", [](const NameFields& f) { return f.folder; }},
};

const Field* FieldNamed(std::string_view name) {
  for (const Field& field : kFields) {
    if (name == field.name) return &field;
  }
  return nullptr;
}

// The first bytes of `text`, at most `bytes` of them, not ending inside a UTF-8 sequence.
std::string CutAtCharacter(std::string text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
  text.resize(bytes);
  return text;
}

// `path` made of safe parts, empty parts dropped.
std::string SafePath(const std::string& path) {
  std::string out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = SafeNamePart(std::string_view(path).substr(start, end - start));
    if (!part.empty()) out += (out.empty() ? "" : "/") + part;
    start = end + 1;
  }
  return out;
}

std::uint32_t BigEndian(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint32_t Syncsafe(const unsigned char* p) {
  return (std::uint32_t{p[0] & 0x7Fu} << 21) | (std::uint32_t{p[1] & 0x7Fu} << 14) | (std::uint32_t{p[2] & 0x7Fu} << 7) |
         (p[3] & 0x7Fu);
}

// Reads exactly `size` bytes at `offset`; false on a short read.
bool ReadAt(int fd, std::uint64_t offset, void* buffer, std::size_t size) {
  auto* p = static_cast<char*>(buffer);
  while (size > 0) {
    const ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
    if (n <= 0) return false;
    p += n;
    offset += static_cast<std::uint64_t>(n);
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The data of the PRIV frame of owner `owner` in the ID3v2 tag at the start of the open file.
std::optional<std::string> PrivateFrame(int fd, std::string_view owner) {
  unsigned char header[10];
  if (!ReadAt(fd, 0, header, sizeof header) || header[0] != 'I' || header[1] != 'D' || header[2] != '3') return {};
  const int version = header[3];
  // Unsynchronised tags would need every byte read; Tavisto never writes one.
  if ((version != 3 && version != 4) || (header[5] & 0x80) != 0) return {};
  const std::uint64_t end = 10 + std::uint64_t{Syncsafe(header + 6)};
  std::uint64_t at = 10;
  if ((header[5] & 0x40) != 0) {  // an extended header: skipped by its size
    unsigned char size[4];
    if (!ReadAt(fd, at, size, 4)) return {};
    at += version == 4 ? Syncsafe(size) : 4 + std::uint64_t{BigEndian(size)};
  }
  while (at + 10 <= end) {
    unsigned char frame[10];
    if (!ReadAt(fd, at, frame, sizeof frame) || frame[0] == 0) return {};  // padding: no more frames
    const std::uint32_t size = version == 4 ? Syncsafe(frame + 4) : BigEndian(frame + 4);
    at += 10;
    if (size > end - at) return {};
    if (std::string_view(reinterpret_cast<const char*>(frame), 4) == "PRIV" && size <= kMaxRecordBytes) {
      std::string body(size, '\0');
      if (!ReadAt(fd, at, body.data(), size)) return {};
      const std::size_t nul = body.find('\0');
      if (nul != std::string::npos && std::string_view(body).substr(0, nul) == owner) return body.substr(nul + 1);
    }
    at += size;
  }
  return {};
}

std::optional<std::int64_t> Number(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string SafeNamePart(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size();) {
    const std::size_t length = platform::Utf8SequenceLength(value, i);
    if (length == 0) {  // not UTF-8: taken as a character of its own, but not as it is
      out += '_';
      ++i;
      continue;
    }
    const char32_t c = platform::DecodeUtf8Sequence(value, i, length);
    const bool refused = c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == '/' || c == '\\' || c == ':' ||
                         c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
    if (refused) {
      out += '_';
    } else {
      out.append(value.substr(i, length));
    }
    i += length;
  }
  // Leading blanks and trailing dots and blanks: names some file systems refuse or mangle.
  const std::size_t first = out.find_first_not_of(' ');
  out.erase(0, first == std::string::npos ? out.size() : first);
  while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
  // A name that starts with a dot would be hidden.
  if (!out.empty() && out.front() == '.') out.front() = '_';
  out = CutAtCharacter(std::move(out), kMaxPartBytes);
  while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
  return out;
}

std::optional<NamePattern> NamePattern::Parse(std::string_view text, std::string& error) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t open = text.find('%', at);
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) {
      error = "\"%\" without its closing \"%\" in the name pattern";
      return std::nullopt;
    }
    const std::string_view name = text.substr(open + 1, close - open - 1);
    if (FieldNamed(name) == nullptr) {
      error = "unknown field %" + std::string(name) + "% in the name pattern";
      return std::nullopt;
    }
    at = close + 1;
  }
  NamePattern pattern;
  pattern.text_ = std::string(text);
  if (pattern.Expand(NameFields{"a", "a", "a", "a", "a", "a", 1, 1, "a", "a"}).size() <= 4) {
    error = "the name pattern makes no name";
    return std::nullopt;
  }
  return pattern;
}

std::string NamePattern::Expand(const NameFields& fields) const {
  std::string path;
  std::string part;
  const auto endPart = [&] {
    const std::string safe = SafeNamePart(part);
    if (!safe.empty()) path += (path.empty() ? "" : "/") + safe;
    part.clear();
  };
  for (std::size_t at = 0; at < text_.size();) {
    const char c = text_[at];
    if (c == '/') {
      endPart();
      ++at;
      continue;
    }
    if (c != '%') {
      part += c;
      ++at;
      continue;
    }
    const std::size_t close = text_.find('%', at + 1);
    const std::string name = text_.substr(at + 1, close - at - 1);
    at = close + 1;
    if (name == "folder") {
      // The source's own folders stay folders; each of them made safe.
      const std::string folder = SafePath(fields.folder);
      std::size_t start = 0;
      for (std::size_t slash; (slash = folder.find('/', start)) != std::string::npos; start = slash + 1) {
        part += folder.substr(start, slash - start);
        endPart();
      }
      part += folder.substr(start);
      continue;
    }
    // A value's own "/" is a character like any other, never a folder.
    std::string value = FieldNamed(name)->value(fields);
    for (char& ch : value) {
      if (ch == '/') ch = '_';
    }
    part += value;
  }
  endPart();
  // The whole name, extension included, fits a file name.
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string name = CutAtCharacter(slash == std::string::npos ? path : path.substr(slash + 1),
                                    kMaxPartBytes - engine::kMp3Extension.size());
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  if (name.empty()) name = SafeNamePart(fields.fileName.empty() ? std::string("_") : fields.fileName);
  return folder + name + std::string(engine::kMp3Extension);
}

std::string SettingsText(const engine::EncodingSettings& raw) {
  const engine::EncodingSettings settings = engine::Sanitized(raw);
  std::string text = settings.vbr ? "vbr" + std::to_string(settings.vbrQuality) + ":" +
                                        std::to_string(settings.vbrMinBitrate) + "-" +
                                        std::to_string(settings.vbrMaxBitrate)
                                  : "cbr" + std::to_string(settings.bitrate);
  return text + ";" + std::to_string(settings.sampleRate) + ";mode" + std::to_string(engine::NumberOf(settings.channelMode));
}

std::string FormatMadeFrom(const MadeFrom& record) {
  return "source=" + record.source + "\nsize=" + std::to_string(record.size) +
         "\nmtime=" + std::to_string(record.mtimeNanoseconds) + "\nsettings=" + record.settings + "\n";
}

std::optional<MadeFrom> ParseMadeFrom(std::string_view bytes) {
  MadeFrom record;
  int seen = 0;
  while (!bytes.empty()) {
    const std::size_t newline = bytes.find('\n');
    if (newline == std::string_view::npos) return std::nullopt;
    const std::string_view line = bytes.substr(0, newline);
    bytes.remove_prefix(newline + 1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view key = line.substr(0, equals), value = line.substr(equals + 1);
    if (key == "source") {
      record.source = std::string(value);
    } else if (key == "size") {
      const auto size = Number(value);
      if (!size) return std::nullopt;
      record.size = *size;
    } else if (key == "mtime") {
      const auto mtime = Number(value);
      if (!mtime) return std::nullopt;
      record.mtimeNanoseconds = *mtime;
    } else if (key == "settings") {
      record.settings = std::string(value);
    } else {
      continue;  // a later version's field
    }
    ++seen;
  }
  if (seen < 4 || record.source.empty()) return std::nullopt;
  return record;
}

std::optional<MadeFrom> RecordOf(const std::string& source, const engine::EncodingSettings& settings) {
  struct stat info {};
  if (::stat(source.c_str(), &info) != 0) return std::nullopt;
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(source, error);
  MadeFrom record;
  record.source = (error ? std::filesystem::path(source) : absolute).lexically_normal().string();
  record.size = info.st_size;
  record.mtimeNanoseconds = std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
  record.settings = SettingsText(settings);
  return record;
}

std::optional<MadeFrom> ReadMadeFrom(const std::string& mp3) {
  const int fd = ::open(mp3.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<std::string> bytes;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) bytes = PrivateFrame(fd, kMadeFromOwner);
  ::close(fd);
  if (!bytes) return std::nullopt;
  return ParseMadeFrom(*bytes);
}

bool UpToDate(const std::string& mp3, const std::string& source, const engine::EncodingSettings& settings) {
  const std::optional<MadeFrom> recorded = ReadMadeFrom(mp3);
  if (!recorded) return false;
  const std::optional<MadeFrom> now = RecordOf(source, settings);
  return now && *recorded == *now;
}

std::vector<std::string> OrphanedMp3Files(const std::string& outputFolder, const std::vector<std::string>& sourceFolders) {
  namespace fs = std::filesystem;
  std::vector<std::string> orphans;
  std::error_code error;
  fs::recursive_directory_iterator it(outputFolder, fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    std::error_code ignored;
    if (!it->is_regular_file(ignored) || it->is_symlink(ignored)) continue;
    const std::string path = it->path().string();
    if (it->path().extension() != engine::kMp3Extension) continue;
    const std::optional<MadeFrom> record = ReadMadeFrom(path);
    if (!record) continue;  // not Tavisto's: never touched
    const bool below = std::any_of(sourceFolders.begin(), sourceFolders.end(), [&](const std::string& folder) {
      return record->source.compare(0, folder.size(), folder) == 0;
    });
    if (below && !fs::exists(record->source, ignored) && !ignored) orphans.push_back(path);
  }
  return orphans;
}

}  // namespace core
