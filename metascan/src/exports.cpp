// The library's four exported functions: argument checks, opening the file, and the one place
// where a reader's findings reach the caller's record. No exception crosses this boundary.
#include "metascan/metascan.h"

#include "readers.h"

namespace metascan {

namespace {

using Reader = bool (*)(const MediaFile& file, FoundTags& found);

int probe(const char* fileName, tag_info* tags, Reader read) noexcept {
  if (fileName == nullptr || tags == nullptr) return METASCAN_ERROR;
  try {
    std::optional<MediaFile> file = MediaFile::open(fileName);
    if (!file) return METASCAN_ERROR;
    FoundTags found;
    if (!read(*file, found)) return METASCAN_ERROR;
    return found.commitTo(*tags) ? METASCAN_OK : METASCAN_ERROR;
  } catch (...) {
    // Out of memory while reading: the record has not been written yet.
    return METASCAN_ERROR;
  }
}

}  // namespace

}  // namespace metascan

extern "C" {

METASCAN_EXPORT int getid3_id3v1(const char* FileName, tag_info* Tags) {
  return metascan::probe(FileName, Tags, metascan::readId3v1);
}

METASCAN_EXPORT int parse_wmv(const char* FileName, tag_info* Tags) {
  return metascan::probe(FileName, Tags, metascan::readAsfHeader);
}

METASCAN_EXPORT int parse_rm(const char* FileName, tag_info* Tags) {
  return metascan::probe(FileName, Tags, metascan::readRealMediaChunks);
}

METASCAN_EXPORT int parse_mov(const char* FileName, tag_info* Tags) {
  return metascan::probe(FileName, Tags, metascan::readQuickTimeAtoms);
}

}  // extern "C"
