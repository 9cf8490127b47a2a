// ASF object identifiers, written in their usual text form and stored as the file's 16 bytes.
#pragma once

#include "byte_cursor.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace metascan {

using AsfGuid = std::array<std::uint8_t, 16>;

// "75B22630-668E-11CF-A6D9-00AA0062CE6C" to the bytes a file holds: the first three groups are
// little-endian numbers (bytes 3 2 1 0, 5 4, 7 6), the last eight bytes stay in order. A
// malformed text does not compile.
consteval AsfGuid asfGuid(const char (&text)[37]) {
  constexpr std::array<int, 16> kFileOrder = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw "an ASF identifier is written in upper-case hexadecimal digits";
  };
  std::array<std::uint8_t, 16> inTextOrder{};
  int next = 0;
  for (int i = 0; i < 36; ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') throw "an ASF identifier has dashes after 8, 12, 16 and 20 digits";
      continue;
    }
    int high = digit(text[i++]);
    inTextOrder[next++] = static_cast<std::uint8_t>(high * 16 + digit(text[i]));
  }
  AsfGuid inFile{};
  for (int i = 0; i < 16; ++i) inFile[kFileOrder[i]] = inTextOrder[i];
  return inFile;
}

inline bool sameGuid(Bytes bytes, const AsfGuid& guid) {
  return bytes.size() == guid.size() && std::equal(guid.begin(), guid.end(), bytes.begin());
}

}  // namespace metascan
