// Test helpers: a temporary file per input, a record that frees the library's texts, and a
// golden-text dump of what a reader found.
#pragma once

#include "metascan/metascan.h"

#include "byte_builders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace metascan::testing {

using Reader = int (*)(const char*, tag_info*);

// A file in a fresh folder of its own, removed with the folder.
class TempFile {
 public:
  explicit TempFile(const ByteVec& bytes, const std::string& name = "input.bin") {
    std::string pattern = (std::filesystem::temp_directory_path() / "metascan-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot create a temporary folder";
    folder_ = pattern;
    path_ = (folder_ / name).string();
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ~TempFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& path() const { return path_; }
  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
  std::string path_;
};

// A record the test owns, with the texts the library allocated released at the end.
struct TagRecord {
  tag_info info{};

  TagRecord() = default;
  TagRecord(const TagRecord&) = delete;
  TagRecord& operator=(const TagRecord&) = delete;
  ~TagRecord() {
    for (char* text : {info.title, info.artist, info.album, info.year, info.comment, info.genre,
                       info.copyright, info.author, info.rating}) {
      std::free(text);
    }
  }

  // One "name=value" line per field that is set, in record order.
  std::string dump() const {
    std::string out;
    auto line = [&out](const char* name, const char* text) {
      if (text != nullptr) out += std::string(name) + "=" + text + "\n";
    };
    line("title", info.title);
    line("artist", info.artist);
    line("album", info.album);
    line("year", info.year);
    line("comment", info.comment);
    line("genre", info.genre);
    if (info.track != 0) out += "track=" + std::to_string(info.track) + "\n";
    line("copyright", info.copyright);
    line("author", info.author);
    line("rating", info.rating);
    if (info.duration != 0) out += "duration=" + std::to_string(info.duration) + "\n";
    return out;
  }
};

struct ProbeResult {
  int result = 0;
  std::string found;  // TagRecord::dump() of the record afterwards
};

// Writes `bytes` to a temporary file and runs `reader` on it with a zeroed record.
inline ProbeResult probe(Reader reader, const ByteVec& bytes) {
  TempFile file(bytes);
  TagRecord record;
  int result = reader(file.path().c_str(), &record.info);
  return {result, record.dump()};
}

}  // namespace metascan::testing
