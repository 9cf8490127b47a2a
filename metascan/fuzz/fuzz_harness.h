// Shared body of the metascan fuzz targets: the input goes into a temporary file (the readers
// take file names), one reader runs on it, and what it returned is checked and released.
// A reader that crashes, reads out of bounds, leaks or breaks a check below stops the fuzzer.
#pragma once

#include "metascan/metascan.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace metascan::fuzz {

// One temporary file per fuzzing process, rewritten for every input.
class InputFile {
 public:
  InputFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "metascan-fuzz-XXXXXX").string();
    int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) std::abort();
    close(descriptor);
    path_ = pattern;
  }
  ~InputFile() { std::remove(path_.c_str()); }

  const char* write(const std::uint8_t* data, std::size_t size) {
    FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
      std::abort();
    }
    return path_.c_str();
  }

 private:
  std::string path_;
};

inline bool isValidUtf8(const char* text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  while (*bytes != 0) {
    unsigned lead = *bytes++;
    int follow = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    if (follow < 0 || (lead & 0xFE) == 0xC0) return false;  // stray continuation or overlong
    std::uint32_t code = lead & (0x3F >> follow);
    for (int i = 0; i < follow; ++i, ++bytes) {
      if ((*bytes & 0xC0) != 0x80) return false;
      code = code << 6 | (*bytes & 0x3F);
    }
    if ((follow == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (follow == 3 && (code < 0x10000 || code > 0x10FFFF))) {
      return false;
    }
  }
  return true;
}

enum class TextKind { fileBytes, utf8 };

// Runs `reader` on the input and checks its contract: result 0 or -1, nothing written on -1,
// no text longer than the file could have given, UTF-8 that is valid where promised.
inline int runReader(int (*reader)(const char*, tag_info*), TextKind kind,
                     const std::uint8_t* data, std::size_t size) {
  static InputFile input;
  tag_info record{};
  int result = reader(input.write(data, size), &record);
  if (result != METASCAN_OK && result != METASCAN_ERROR) std::abort();
  // A UTF-16 unit of two bytes becomes at most three bytes of UTF-8.
  std::size_t longest = kind == TextKind::utf8 ? size / 2 * 3 : size;
  for (char* text : {record.title, record.artist, record.album, record.year, record.comment,
                     record.genre, record.copyright, record.author, record.rating}) {
    if (text == nullptr) continue;
    if (result != METASCAN_OK) std::abort();
    if (std::strlen(text) > longest) std::abort();
    if (kind == TextKind::utf8 && !isValidUtf8(text)) std::abort();
    std::free(text);
  }
  return 0;
}

}  // namespace metascan::fuzz
