#include "utf16.h"

namespace metascan {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void appendUtf8(std::string& out, char32_t code) {
  auto put = [&out](unsigned value) { out.push_back(static_cast<char>(value)); };
  if (code < 0x80) {
    put(code);
  } else if (code < 0x800) {
    put(0xC0 | (code >> 6));
    put(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    put(0xE0 | (code >> 12));
    put(0x80 | ((code >> 6) & 0x3F));
    put(0x80 | (code & 0x3F));
  } else {
    put(0xF0 | (code >> 18));
    put(0x80 | ((code >> 12) & 0x3F));
    put(0x80 | ((code >> 6) & 0x3F));
    put(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string utf16leToUtf8(Bytes bytes) {
  ByteCursor units(bytes);
  std::string out;
  while (units.remaining() >= 2) {
    char32_t unit = units.le16();
    if (unit == 0) break;
    if (isHighSurrogate(unit)) {
      ByteCursor lookahead = units;
      char32_t next = lookahead.remaining() >= 2 ? lookahead.le16() : 0;
      if (isLowSurrogate(next)) {
        units = lookahead;
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
      } else {
        appendUtf8(out, kReplacement);  // the partner is missing; the next unit stands alone
      }
    } else if (isLowSurrogate(unit)) {
      appendUtf8(out, kReplacement);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace metascan
