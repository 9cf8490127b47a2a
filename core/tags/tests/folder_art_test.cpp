// The album art beside a source: a table of folder contents and the file chosen from them.
#include "core/tags/folder_art.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/mmstream/tests/media_fixtures.h"

namespace {

using namespace media_fixtures;
using Bytes = std::vector<std::uint8_t>;

enum class Content { Jpeg, Png, Text, Folder, Fifo, LinkToJpeg, SparseJpeg };

struct Entry {
  const char* name;
  Content content;
  std::size_t bytes;
};

struct FolderCase {
  const char* name;
  std::vector<Entry> entries;
  const char* chosen;  // "" for none
  const char* mime;
  int manyOtherFiles = 0;
};
void PrintTo(const FolderCase& row, std::ostream* out) { *out << row.name; }

// Image files as far as their first bytes go; the rest is filler.
Bytes Image(Content content, std::size_t bytes) {
  Bytes data(bytes, 0x5A);
  const Bytes magic = content == Content::Png ? Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}
                                              : Bytes{0xFF, 0xD8, 0xFF, 0xE0};
  std::copy(magic.begin(), magic.begin() + static_cast<std::ptrdiff_t>(std::min(magic.size(), bytes)), data.begin());
  return data;
}

// What the folder holds in the end, by name, for the comparison of the bytes.
void Make(const TempDir& dir, const Entry& entry) {
  const std::string path = dir.File(entry.name);
  switch (entry.content) {
    case Content::Jpeg:
    case Content::Png: WriteBytes(path, Image(entry.content, entry.bytes)); break;
    case Content::Text: WriteBytes(path, Bytes(entry.bytes, 'x')); break;
    case Content::Folder: ASSERT_EQ(mkdir(path.c_str(), 0755), 0); break;
    case Content::Fifo: ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); break;
    case Content::LinkToJpeg:
      WriteBytes(dir.File("elsewhere.bin"), Image(Content::Jpeg, entry.bytes));
      ASSERT_EQ(symlink("elsewhere.bin", path.c_str()), 0);
      break;
    case Content::SparseJpeg:
      WriteBytes(path, Image(Content::Jpeg, 16));
      ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(entry.bytes)), 0);
      break;
  }
}

constexpr std::size_t kOverLimit = engine::kMaxPictureBytes + 1;

const FolderCase kFolders[] = {
    {"FolderJpg", {{"Folder.jpg", Content::Jpeg, 1000}}, "Folder.jpg", "image/jpeg"},
    {"TheLargestOfThePlayersFiles",
     {{"Folder.jpg", Content::Jpeg, 1000},
      {"AlbumArt_{7D1AC3E1-1C8B-4F2A-9E44-0B5A11B7C2D1}_Large.jpg", Content::Jpeg, 5000},
      {"AlbumArtSmall.jpg", Content::Jpeg, 300}},
     "AlbumArt_{7D1AC3E1-1C8B-4F2A-9E44-0B5A11B7C2D1}_Large.jpg", "image/jpeg"},
    {"CaseIgnored", {{"FOLDER.JPG", Content::Jpeg, 500}, {"Cover.PNG", Content::Png, 800}}, "Cover.PNG", "image/png"},
    // The bytes decide, not the name: a "cover.jpg" of text is no picture, a "front.png" of JPEG is.
    {"FirstBytesNotExtension", {{"cover.jpg", Content::Text, 9000}, {"front.png", Content::Jpeg, 700}}, "front.png",
     "image/jpeg"},
    {"OnlyJpegAndPng", {{"cover.gif", Content::Text, 9000}}, "", ""},
    {"RegularFilesOnly",
     {{"cover.jpg", Content::Folder, 0}, {"front.jpg", Content::Fifo, 0}, {"Folder.jpg", Content::Jpeg, 100}},
     "Folder.jpg", "image/jpeg"},
    {"ALinkToAPictureCounts", {{"Folder.jpg", Content::LinkToJpeg, 400}}, "Folder.jpg", "image/jpeg"},
    {"OverTheLimitLeftOut", {{"cover.jpg", Content::SparseJpeg, kOverLimit}, {"Folder.jpg", Content::Jpeg, 200}},
     "Folder.jpg", "image/jpeg"},
    {"EqualSizesByName", {{"front.jpg", Content::Jpeg, 500}, {"cover.jpg", Content::Jpeg, 500}}, "cover.jpg",
     "image/jpeg"},
    {"OtherNamesAreNotAlbumArt",
     {{"song.jpg", Content::Jpeg, 9000}, {"coverart.jpg", Content::Jpeg, 9000}, {"back.jpg", Content::Jpeg, 9000},
      {"Folder.jpeg", Content::Jpeg, 9000}, {"cover", Content::Jpeg, 9000}, {"AlbumArt_{x}_Small.jpg", Content::Jpeg, 9000}},
     "", ""},
    {"EmptyFileIsNoPicture", {{"cover.jpg", Content::Text, 0}}, "", ""},
    {"AmongThousandsOfFiles", {{"cover.jpg", Content::Jpeg, 2000}}, "cover.jpg", "image/jpeg", 3000},
    {"EmptyFolder", {}, "", ""},
};

class FolderArt : public testing::TestWithParam<FolderCase> {};

TEST_P(FolderArt, TheLargestAlbumArtFileByteForByte) {
  TempDir dir;
  for (const Entry& entry : GetParam().entries) Make(dir, entry);
  for (int n = 0; n < GetParam().manyOtherFiles; ++n) WriteBytes(dir.File("track" + std::to_string(n) + ".mp3"), {});
  const std::optional<tags::FolderArt> art = tags::FindFolderArt(dir.Path());
  if (*GetParam().chosen == '\0') {
    EXPECT_FALSE(art.has_value()) << art->fileName;
    return;
  }
  ASSERT_TRUE(art.has_value());
  EXPECT_EQ(art->fileName, GetParam().chosen);
  EXPECT_EQ(art->mimeType, GetParam().mime);
  EXPECT_EQ(art->data, ReadBytes(dir.File(GetParam().chosen)));
  EXPECT_EQ(art->AsFrontCover().type, engine::kPictureFrontCover);
}

INSTANTIATE_TEST_SUITE_P(Folders, FolderArt, testing::ValuesIn(kFolders),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FolderArtOf, AMissingFolderHasNone) {
  EXPECT_FALSE(tags::FindFolderArt("/nonexistent/folder/of/an/album").has_value());
  EXPECT_EQ(tags::FolderOf("/music/album/01.wma"), "/music/album");
  EXPECT_EQ(tags::FolderOf("01.wma"), "");
}

}  // namespace
