// The wizard's Qt-free pieces: output folder paths, tag history files, nearest selector values and
// the genre names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "core/genres.h"
#include "core/output_folder.h"
#include "core/setting_choices.h"
#include "core/tag_history.h"
#include "metascan/metascan.h"
#include "platform/mmstream/tests/media_fixtures.h"

using namespace core;

using media_fixtures::TempDir;

namespace {

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(OutputFolderPath, StripsBlanksRootsBareTextsAndJoinsSeparators) {
  const std::pair<const char*, const char*> rows[] = {
      {"/a/b/c/", "/a/b/c/"},     {"/a/b/c", "/a/b/c/"},      {"  music//out \t", "/music/out/"},
      {"music/out/", "/music/out/"}, {"", "/"},              {" \n", "/"},
      {"//srv///x", "/srv/x/"},   {"/Tönë/Ä b/", "/Tönë/Ä b/"},
  };
  for (const auto& [text, path] : rows) EXPECT_EQ(OutputFolderPath(text), path) << '"' << text << '"';
}

TEST(TagHistory, ReadsLfAndCrLfLinesEmptyLinesAndLegacyBytes) {
  TempDir dir;
  const std::string path = dir.File("album.lst");
  std::ofstream(path, std::ios::binary) << "Rock\r\n\nCaf\xE9\nLast";
  const TagHistoryRead read = ReadTagHistory(path);
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.lines, (std::vector<std::string>{"Rock", "", "Café", "Last"}));
}

TEST(TagHistory, WriteCreatesTheFolderWritesLfAndKeepsValuesOnOneLine) {
  TempDir dir;
  const std::string path = dir.File("data/Tavisto/year.lst");
  std::string error;
  ASSERT_TRUE(WriteTagHistory(path, {"1999", "", "two\nlines"}, error)) << error;
  EXPECT_EQ(Contents(path), "1999\n\ntwo lines\n");
  EXPECT_FALSE(std::filesystem::exists(path + ".new"));
  const TagHistoryRead read = ReadTagHistory(path);
  EXPECT_EQ(read.lines, (std::vector<std::string>{"1999", "", "two lines"}));
}

// Two Tavistos saving the same list at once both keep their values: no save fails on the
// other's temporary file, and none is lost to the other's rename.
TEST(TagHistory, SavesAtTheSameTimeFromTwoWritersKeepEveryValue) {
  TempDir dir;
  const std::string path = dir.File("album.lst");
  const auto writer = [&path](const std::string& prefix, std::vector<std::string>& errors) {
    std::vector<std::string> mine;
    for (int i = 0; i < 40; ++i) {
      mine.push_back(prefix + std::to_string(i));
      std::string error;
      if (!WriteTagHistory(path, mine, error)) errors.push_back(error);
    }
  };
  std::vector<std::string> errorsA, errorsB;
  std::thread a([&] { writer("a", errorsA); });
  std::thread b([&] { writer("b", errorsB); });
  a.join();
  b.join();
  EXPECT_TRUE(errorsA.empty() && errorsB.empty()) << (errorsA.empty() ? errorsB.front() : errorsA.front());
  const TagHistoryRead read = ReadTagHistory(path);
  const std::set<std::string> values(read.lines.begin(), read.lines.end());
  EXPECT_EQ(values.size(), 80u);
  EXPECT_EQ(read.lines.size(), 80u);
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_EQ(entry.path().filename(), "album.lst") << "no temporary file is left";
}

// A stored value that is no item must still end as an allowed number.
TEST(SelectorValues, NearestItemPrefersTheLowerOfTwoEquallyNear) {
  const std::vector<std::string> rates = BitrateItems();
  ASSERT_EQ(rates.size(), 18u);
  EXPECT_EQ(rates[NearestItemIndex(rates, 100)], "96 kbps");
  EXPECT_EQ(rates[NearestItemIndex(rates, 136)], "128 kbps");
  EXPECT_EQ(rates[NearestItemIndex(rates, -2147483647 - 1)], "8 kbps");
  const std::vector<std::string> sampleRates = SampleRateItems();
  EXPECT_EQ(sampleRates[NearestItemIndex(sampleRates, 22050)], "32000 Hz");
  EXPECT_EQ(sampleRates[NearestItemIndex(sampleRates, 96000)], "48000 Hz");
  EXPECT_EQ(NearestItemIndex({}, 5), -1);
}

// The genre box and the ID3v1 reader were written from the same list: the names of numbers
// 0-147 and 240-254 must agree, in the same order, so a tag's genre is one of the box's names.
TEST(GenreNames, AgreeWithTheNamesTheId3v1ReaderGivesByNumber) {
  TempDir dir;
  std::vector<std::string> fromReader;
  for (int number = 0; number <= 255; ++number) {
    if (number > 147 && number < 240) continue;
    const std::string path = dir.File("genre.mp3");
    std::string tag = "TAG" + std::string(124, '\0');
    tag += static_cast<char>(number);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << tag;
    tag_info info{};
    ASSERT_EQ(getid3_id3v1(path.c_str(), &info), METASCAN_OK);
    ASSERT_NE(info.genre, nullptr);
    fromReader.emplace_back(info.genre);
    for (char* text : {info.title, info.artist, info.album, info.year, info.comment, info.genre}) std::free(text);
  }
  EXPECT_EQ(std::vector<std::string>(kGenreNames.begin(), kGenreNames.end()), fromReader);
}

}  // namespace
