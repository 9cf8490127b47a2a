#include "probe_helpers.h"

#include <set>
#include <sys/stat.h>

extern "C" size_t metascan_tag_info_size_in_c(void);
extern "C" size_t metascan_duration_offset_in_c(void);

namespace metascan::testing {
namespace {

TEST(MetascanInterface, RecordLayoutIsTheSameInCAndCxx) {
  EXPECT_EQ(metascan_tag_info_size_in_c(), sizeof(tag_info));
  EXPECT_EQ(metascan_duration_offset_in_c(), offsetof(tag_info, duration));
  EXPECT_EQ(sizeof(tag_info), sizeof(void*) == 8 ? 88u : 48u);
}

TEST(MetascanInterface, LibraryExportsOnlyTheFourReaders) {
  FILE* pipe = popen("nm -D --defined-only '" METASCAN_LIBRARY_FILE "' 2>/dev/null", "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> exported;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    std::size_t nameStart = text.find_last_of(' ') + 1;
    exported.insert(text.substr(nameStart, text.find_last_not_of("\r\n") + 1 - nameStart));
  }
  if (pclose(pipe) != 0 && exported.empty()) GTEST_SKIP() << "nm is not available";
  EXPECT_EQ(exported, (std::set<std::string>{"getid3_id3v1", "parse_mov", "parse_rm", "parse_wmv"}));
}

struct NamedReader {
  const char* name;
  Reader read;
};

constexpr NamedReader kReaders[] = {
    {"getid3_id3v1", getid3_id3v1}, {"parse_wmv", parse_wmv},
    {"parse_rm", parse_rm},         {"parse_mov", parse_mov},
};

// Nothing to read: an error, the record as it was, and no wait (a pipe without a writer would
// block an ordinary open for ever).
TEST(MetascanInterface, UnopenableInputsFailAndLeaveRecordUntouched) {
  TempFile file(ByteVec(200, 0));
  std::string fifo = (file.folder() / "pipe").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string missing = (file.folder() / "missing.wmv").string();
  std::string folder = file.folder().string();
  for (const NamedReader& reader : kReaders) {
    for (const std::string* path : {&missing, &folder, &fifo}) {
      TagRecord record;
      record.info.track = 9;
      EXPECT_EQ(reader.read(path->c_str(), &record.info), METASCAN_ERROR) << reader.name << " " << *path;
      EXPECT_EQ(record.dump(), "track=9\n");
    }
    TagRecord record;
    EXPECT_EQ(reader.read(nullptr, &record.info), METASCAN_ERROR) << reader.name;
    EXPECT_EQ(reader.read(file.path().c_str(), nullptr), METASCAN_ERROR) << reader.name;
  }
}

// The caller zeroes the record and may combine readers: fields a reader does not find are kept.
TEST(MetascanInterface, ReadersNeverClearFieldsTheyDoNotFind) {
  TempFile file(cat({rmFileHeader(), rmContent("Title", "", "", "")}));
  TagRecord record;
  char year[] = "1999";
  record.info.year = year;
  record.info.duration = 42;
  ASSERT_EQ(parse_rm(file.path().c_str(), &record.info), METASCAN_OK);
  EXPECT_EQ(record.info.year, year);
  record.info.year = nullptr;  // not the library's to free
  EXPECT_EQ(record.dump(), "title=Title\nduration=42\n");
}

}  // namespace
}  // namespace metascan::testing
