#include "platform/registry/reg_text.h"

#include "platform/registry/utf16.h"
#include "platform/utf8.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <unordered_map>

namespace platform {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::size_t kHexLineWidth = 80;  // where the registry editor wraps hex lists

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view text) { return AsciiLower(std::string(text)); }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameRegistryName(text.substr(0, prefix.size()), prefix);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A number of one to eight hex digits that fills `digits` exactly.
std::optional<std::uint32_t> ParseHexNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

// Physical lines of the text, without their LF or CRLF, numbered from 1.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number_;
    return true;
  }
  int number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  int number_ = 0;
};

// The keys of a document under construction. Lookups go through case-folded indexes and
// deletions leave gaps that are dropped at the end, so no file, however many keys, values or
// deletions it holds, costs more than n log n.
class DocumentBuilder {
 public:
  // Index of the key of that path, added at the end when absent.
  std::size_t AddKey(std::string_view path) {
    const std::string folded = LowerAscii(path);
    if (const auto found = keyIndex_.find(folded); found != keyIndex_.end()) return found->second;
    keys_.push_back(Key{std::string(path), {}, {}, false});
    keyIndex_.emplace(folded, keys_.size() - 1);
    return keys_.size() - 1;
  }

  // Deletes the key of that path with every key below it.
  void DeleteKey(std::string_view path) {
    const std::string folded = LowerAscii(path);
    const std::string below = folded + '\\';
    if (const auto found = keyIndex_.find(folded); found != keyIndex_.end()) {
      keys_[found->second].deleted = true;
      keyIndex_.erase(found);
    }
    // Keys below it sort together, right after the prefix.
    auto it = keyIndex_.lower_bound(below);
    while (it != keyIndex_.end() && it->first.compare(0, below.size(), below) == 0) {
      keys_[it->second].deleted = true;
      it = keyIndex_.erase(it);
    }
  }

  void SetValue(std::size_t key, RegistryValue value) {
    Key& target = keys_[key];
    const std::string folded = LowerAscii(value.name);
    if (const auto found = target.valueIndex.find(folded); found != target.valueIndex.end()) {
      value.name = target.values[found->second]->name;
      target.values[found->second] = std::move(value);
      return;
    }
    target.values.emplace_back(std::move(value));
    target.valueIndex.emplace(folded, target.values.size() - 1);
  }

  void DeleteValue(std::size_t key, std::string_view name) {
    Key& target = keys_[key];
    if (const auto found = target.valueIndex.find(LowerAscii(name)); found != target.valueIndex.end()) {
      target.values[found->second].reset();
      target.valueIndex.erase(found);
    }
  }

  RegistryDocument Finish() {
    RegistryDocument document;
    for (Key& key : keys_) {
      if (key.deleted) continue;
      RegistryKeyData data{std::move(key.path), {}};
      for (std::optional<RegistryValue>& value : key.values) {
        if (value) data.values.push_back(std::move(*value));
      }
      document.keys.push_back(std::move(data));
    }
    return document;
  }

 private:
  struct Key {
    std::string path;
    std::vector<std::optional<RegistryValue>> values;
    std::unordered_map<std::string, std::size_t> valueIndex;
    bool deleted;
  };
  std::vector<Key> keys_;
  std::map<std::string, std::size_t> keyIndex_;
};

class RegTextParser {
 public:
  explicit RegTextParser(std::string_view text) : lines_(text) {}

  RegParseResult Run() {
    RegParseResult result;
    if (ReadAll()) {
      result.document = builder_.Finish();
    } else {
      result.errorLine = lines_.number();
      result.error = error_;
    }
    return result;
  }

 private:
  bool Fail(std::string text) {
    error_ = std::move(text);
    return false;
  }

  bool ReadAll() {
    std::string_view line;
    // Blank lines may come before the header; a text with nothing else is an empty document.
    do {
      if (!lines_.Next(line)) return true;
    } while (Trim(line).empty());
    if (!SameRegistryName(Trim(line), kHeader)) {
      return Fail("the first line must read \"" + std::string(kHeader) + "\"");
    }
    while (lines_.Next(line)) {
      const std::string_view trimmed = Trim(line);
      if (trimmed.empty() || trimmed.front() == ';') continue;
      const bool ok = trimmed.front() == '['                            ? ReadKeyLine(trimmed)
                      : trimmed.front() == '"' || trimmed.front() == '@' ? ReadValueLine(trimmed)
                                                                         : Fail("a line must be a [key], a \"value\"=data or a ; comment");
      if (!ok) return false;
    }
    return true;
  }

  bool ReadKeyLine(std::string_view line) {
    if (line.back() != ']' || line.size() < 3) return Fail("a key line must read [key name]");
    std::string_view path = line.substr(1, line.size() - 2);
    if (path.front() == '-') {
      path.remove_prefix(1);
      if (path.empty()) return Fail("a key deletion must name the key: [-key name]");
      builder_.DeleteKey(path);
      currentKey_.reset();
      return true;
    }
    currentKey_ = builder_.AddKey(path);
    return true;
  }

  // A quoted text starting at text[pos], with \" and \\ as escapes; any other backslash stands
  // for itself, as in a hand-written "C:\Temp".
  static bool ReadQuoted(std::string_view text, std::size_t& pos, std::string& out) {
    ++pos;  // the opening quote
    while (pos < text.size()) {
      const char c = text[pos];
      if (c == '"') {
        ++pos;
        return true;
      }
      if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == '\\' || text[pos + 1] == '"')) {
        out += text[pos + 1];
        pos += 2;
        continue;
      }
      out += c;
      ++pos;
    }
    return false;
  }

  bool ReadValueLine(std::string_view line) {
    RegistryValue value;
    std::size_t pos = 0;
    if (line.front() == '@') {
      pos = 1;  // the default value
    } else if (!ReadQuoted(line, pos, value.name)) {
      return Fail("the value name has no closing quote");
    }
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos == line.size() || line[pos] != '=') return Fail("\"=\" must follow the value name");
    const std::string_view data = Trim(line.substr(pos + 1));
    if (!currentKey_) return Fail("a value must follow the [key] it belongs to");

    if (data == "-") {
      builder_.DeleteValue(*currentKey_, value.name);
      return true;
    }
    if (!data.empty() && data.front() == '"') {
      std::size_t textPos = 0;
      if (!ReadQuoted(data, textPos, value.text)) return Fail("the text has no closing quote");
      if (textPos != data.size()) return Fail("nothing may follow the closing quote of a text");
      value.type = REG_SZ;
    } else if (StartsWithIgnoringCase(data, "dword:")) {
      const std::optional<std::uint32_t> number = ParseHexNumber(data.substr(6));
      if (!number) return Fail("dword: must be followed by one to eight hex digits");
      value.type = REG_DWORD;
      for (int shift = 0; shift < 32; shift += 8) value.data.push_back(static_cast<std::uint8_t>(*number >> shift));
    } else if (StartsWithIgnoringCase(data, "hex")) {
      if (!ReadHexValue(data.substr(3), value)) return false;
    } else {
      return Fail("the data must be a \"text\", dword:, hex: or hex(type):");
    }
    builder_.SetValue(*currentKey_, std::move(value));
    return true;
  }

  // "(type):list" or ":list" after "hex".
  bool ReadHexValue(std::string_view rest, RegistryValue& value) {
    value.type = REG_BINARY;
    if (!rest.empty() && rest.front() == '(') {
      const std::size_t close = rest.find(')');
      const std::optional<std::uint32_t> type =
          close == std::string_view::npos ? std::nullopt : ParseHexNumber(rest.substr(1, close - 1));
      if (!type) return Fail("hex( must be followed by a type of one to eight hex digits and \")\"");
      value.type = *type;
      rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != ':') return Fail("\":\" must follow hex or hex(type)");
    if (!ReadHexList(rest.substr(1), value.data)) return false;
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
      value.text = Utf16LeToUtf8(value.data.data(), value.data.size(), /*stopAtNul=*/true);
      value.data.clear();
    }
    return true;
  }

  // Comma-separated bytes of one or two hex digits; a "\" at the end of a line continues the
  // list on the next one.
  bool ReadHexList(std::string_view line, std::vector<std::uint8_t>& bytes) {
    std::size_t pos = 0;
    for (;;) {
      while (pos < line.size() && IsBlank(line[pos])) ++pos;
      if (pos == line.size()) return true;
      if (line[pos] == '\\' && Trim(line.substr(pos + 1)).empty()) {
        if (!lines_.Next(line)) return Fail("the hex list continues past the end of the file");
        pos = 0;
        continue;
      }
      const int high = HexDigit(line[pos]);
      if (high < 0) return Fail("a hex byte must be one or two hex digits");
      int byte = high;
      ++pos;
      if (pos < line.size() && HexDigit(line[pos]) >= 0) byte = byte * 16 + HexDigit(line[pos++]);
      if (pos < line.size() && HexDigit(line[pos]) >= 0) return Fail("a hex byte must be one or two hex digits");
      bytes.push_back(static_cast<std::uint8_t>(byte));
      while (pos < line.size() && IsBlank(line[pos])) ++pos;
      if (pos < line.size() && line[pos] == ',') {
        ++pos;
      } else if (pos < line.size() && line[pos] != '\\') {
        return Fail("hex bytes must be separated by \",\"");
      }
    }
  }

  LineReader lines_;
  DocumentBuilder builder_;
  std::optional<std::size_t> currentKey_;
  std::string error_;
};

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

void AppendHexValue(std::string& out, std::string_view head, const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string line(head);
  bool lineHasBytes = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::string item{kDigits[bytes[i] >> 4], kDigits[bytes[i] & 0xF]};
    if (i + 1 < bytes.size()) item += ',';
    // Leave room for the continuation mark.
    if (lineHasBytes && line.size() + item.size() + 1 > kHexLineWidth) {
      out += line;
      out += "\\\n";
      line = "  ";
    }
    line += item;
    lineHasBytes = true;
  }
  out += line;
  out += '\n';
}

void AppendValue(std::string& out, const RegistryValue& value) {
  const std::string name = value.name.empty() ? std::string("@") : Quoted(value.name);
  char type[24];
  switch (value.type) {
    case REG_SZ:
      // A line break cannot stand inside a quoted text; such a text goes as UTF-16 bytes.
      if (value.text.find('\n') == std::string::npos) {
        out += name + "=" + Quoted(value.text) + "\n";
      } else {
        AppendHexValue(out, name + "=hex(1):", Utf8ToUtf16Le(value.text, /*terminate=*/true));
      }
      return;
    case REG_EXPAND_SZ:
      AppendHexValue(out, name + "=hex(2):", Utf8ToUtf16Le(value.text, /*terminate=*/true));
      return;
    case REG_DWORD:
      if (value.data.size() == 4) {
        const std::uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                     (static_cast<std::uint32_t>(value.data[3]) << 24);
        std::snprintf(type, sizeof type, "dword:%08x", number);
        out += name + "=" + type + "\n";
        return;
      }
      break;
    case REG_BINARY:
      AppendHexValue(out, name + "=hex:", value.data);
      return;
    default:
      break;
  }
  std::snprintf(type, sizeof type, "=hex(%x):", value.type);
  AppendHexValue(out, name + type, value.data);
}

}  // namespace

bool SameRegistryName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

const RegistryValue* RegistryKeyData::FindValue(std::string_view name) const {
  for (const RegistryValue& value : values) {
    if (SameRegistryName(value.name, name)) return &value;
  }
  return nullptr;
}

void RegistryKeyData::SetValue(RegistryValue value) {
  for (RegistryValue& existing : values) {
    if (SameRegistryName(existing.name, value.name)) {
      value.name = existing.name;
      existing = std::move(value);
      return;
    }
  }
  values.push_back(std::move(value));
}

RegistryKeyData* RegistryDocument::FindKey(std::string_view path) {
  for (RegistryKeyData& key : keys) {
    if (SameRegistryName(key.path, path)) return &key;
  }
  return nullptr;
}

const RegistryKeyData* RegistryDocument::FindKey(std::string_view path) const {
  return const_cast<RegistryDocument*>(this)->FindKey(path);
}

RegistryKeyData& RegistryDocument::AddKey(std::string_view path) {
  if (RegistryKeyData* key = FindKey(path)) return *key;
  keys.push_back(RegistryKeyData{std::string(path), {}});
  return keys.back();
}

RegParseResult ParseRegText(std::string_view bytes) {
  RegParseResult refused;
  if (bytes.size() > kMaxRegTextBytes) {
    refused.error = "the file is larger than a settings file can be";
    return refused;
  }
  std::string decoded;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    // As the registry editor on Windows saves it.
    decoded = Utf16LeToUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2, bytes.size() - 2,
                            /*stopAtNul=*/false);
    bytes = decoded;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (const std::size_t nul = bytes.find('\0'); nul != std::string_view::npos) {
    refused.errorLine = 1 + static_cast<int>(std::count(bytes.begin(), bytes.begin() + nul, '\n'));
    refused.error = "a text file holds no NUL bytes";
    return refused;
  }
  return RegTextParser(bytes).Run();
}

std::string FormatRegText(const RegistryDocument& document) {
  std::string out(kHeader);
  out += "\n\n";
  for (const RegistryKeyData& key : document.keys) {
    out += "[" + key.path + "]\n";
    for (const RegistryValue& value : key.values) AppendValue(out, value);
    out += "\n";
  }
  return out;
}

}  // namespace platform
