#include "platform/paths/tests/test_support.h"
#include "platform/registry/atomic_write.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace platform;
using platform::testing::ReadFile;
using platform::testing::ScopedFileSizeLimit;
using platform::testing::TempFolder;
using platform::testing::WriteFile;

namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AtomicWrite, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  TempFolder temp;
  WriteFile(temp / "settings.reg", "old contents");
  std::string error;
  {
    ScopedFileSizeLimit limit(64);
    EXPECT_FALSE(WriteFileAtomically(temp / "settings.reg", std::string(4096, 'x'), &error));
  }
  EXPECT_NE(error.find("File too large"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(temp / "settings.reg"), "old contents");
  EXPECT_EQ(FilesIn(temp.path()), std::vector<std::string>{"settings.reg"});
}

TEST(AtomicWrite, ReplacesTheContentsAndCreatesMissingFolders) {
  TempFolder temp;
  ASSERT_TRUE(WriteFileAtomically(temp / "a/b/settings.reg", "first"));
  ASSERT_TRUE(WriteFileAtomically(temp / "a/b/settings.reg", "second"));
  EXPECT_EQ(ReadFile(temp / "a/b/settings.reg"), "second");
  EXPECT_EQ(FilesIn(temp / "a/b"), std::vector<std::string>{"settings.reg"});
}

TEST(AtomicWrite, AFolderInTheWayIsReportedNotReplaced) {
  TempFolder temp;
  std::filesystem::create_directories(temp / "settings.reg/inside");
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(temp / "settings.reg", "text", &error));
  EXPECT_NE(error.find("settings.reg"), std::string::npos) << error;
  EXPECT_TRUE(std::filesystem::is_directory(temp / "settings.reg/inside"));
  EXPECT_EQ(FilesIn(temp.path()), std::vector<std::string>{"settings.reg"});
}

}  // namespace
