#include "asf_attribute.h"

#include "utf16.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string>

namespace metascan {

namespace {

struct AttributeRule {
  std::string_view name;          // lower case
  std::optional<TagField> field;  // none: the track number
};

constexpr std::array<AttributeRule, 9> kAttributeRules = {{
    {"wm/albumartist", TagField::artist},
    {"artist", TagField::artist},
    {"wm/albumtitle", TagField::album},
    {"album", TagField::album},
    {"genre", TagField::genre},
    {"wm/genre", TagField::genre},
    {"wm/tracknumber", std::nullopt},
    {"wm/year", TagField::year},
    {"year", TagField::year},
}};

const AttributeRule* ruleFor(std::string name) {
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const AttributeRule& rule : kAttributeRules) {
    if (rule.name == name) return &rule;
  }
  return nullptr;
}

// Width of the numeric value types: boolean and 32-bit 4 bytes, 64-bit 8, 16-bit 2; 0 for the
// others.
std::size_t numberWidth(std::uint16_t type) {
  switch (type) {
    case 2: case 3: return 4;
    case 4: return 8;
    case 5: return 2;
    default: return 0;
  }
}

// A value as text. Numbers are read by their type, so that a track number stored as a 32-bit
// number (as Windows Media Player writes it) gives its number rather than the text its bytes
// spell; every other type is read as UTF-16LE text, present when longer than its terminator.
std::optional<std::string> valueText(const AsfAttribute& attribute) {
  if (std::size_t width = numberWidth(attribute.type)) {
    ByteCursor cursor(attribute.value);
    std::uint64_t number = width == 2 ? cursor.le16() : width == 4 ? cursor.le32() : cursor.le64();
    if (!cursor.ok()) return std::nullopt;
    return std::to_string(number);
  }
  if (attribute.declaredLength <= 2 || attribute.value.empty()) return std::nullopt;
  return utf16leToUtf8(attribute.value);
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

void applyAsfAttribute(const AsfAttribute& attribute, FoundTags& found) {
  if (attribute.name.size() <= 2) return;  // the terminator alone names nothing
  const AttributeRule* rule = ruleFor(utf16leToUtf8(attribute.name));
  if (rule == nullptr) return;
  std::optional<std::string> text = valueText(attribute);
  if (!text) return;
  if (rule->field) {
    found.set(*rule->field, std::move(*text));
  } else {
    found.setTrack(leadingNumber(*text));
  }
}

std::int32_t leadingNumber(std::string_view text) {
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLimit);
  }
  std::int64_t value = negative ? -magnitude : std::min(magnitude, kLimit - 1);
  return static_cast<std::int32_t>(value);
}

}  // namespace metascan
