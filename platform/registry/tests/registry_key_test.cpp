#include "platform/paths/tests/test_support.h"
#include "platform/registry/registry_key.h"
#include "platform/registry/tests/sample_reg_texts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

using namespace platform;
using platform::testing::kHandEdited;
using platform::testing::kStoreWrittenSettings;
using platform::testing::ReadFile;
using platform::testing::ScopedFilePermissionsEnforced;
using platform::testing::TempFolder;
using platform::testing::WriteFile;

namespace {

const std::string kKey = "HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Tavisto";
constexpr RegistryOpenMode kExisting = RegistryOpenMode::Existing;
constexpr RegistryOpenMode kCreate = RegistryOpenMode::CreateIfMissing;

class RegistryKeyTest : public ::testing::Test {
 protected:
  TempFolder temp_;
  const std::string file_ = temp_ / "config/Quorlen/Tavisto.reg";

  void Store(const std::string& text) {
    std::filesystem::create_directories(temp_ / "config/Quorlen");
    WriteFile(file_, text);
  }
};

TEST_F(RegistryKeyTest, OpeningAMissingKeyWithoutCreateWritesNothing) {
  RegistryKey key;
  EXPECT_EQ(key.Open(file_, kKey, kExisting), RegistryStatus::NotFound);
  EXPECT_FALSE(key.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(temp_ / "config"));

  Store("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Other]\n");
  EXPECT_EQ(key.Open(file_, kKey, kExisting), RegistryStatus::NotFound);
}

TEST_F(RegistryKeyTest, CreatingMakesTheFoldersAndTheKeyAtOnce) {
  RegistryKey key;
  ASSERT_EQ(key.Open(file_, kKey, kCreate), RegistryStatus::Ok);
  EXPECT_EQ(ReadFile(file_), "Windows Registry Editor Version 5.00\n\n[" + kKey + "]\n\n");
}

TEST_F(RegistryKeyTest, WritesReachTheFileTogetherAtClose) {
  RegistryKey key;
  ASSERT_EQ(key.Open(file_, kKey, kCreate), RegistryStatus::Ok);
  const std::string created = ReadFile(file_);
  EXPECT_EQ(key.WriteString("InputFileDir", "/home/ann/Documents/"), RegistryStatus::Ok);
  EXPECT_EQ(key.WriteInteger("AudioBitrate", 192), RegistryStatus::Ok);
  EXPECT_EQ(key.ReadInteger("audiobitrate"), 192);  // reads see the key's own writes
  EXPECT_EQ(ReadFile(file_), created);
  EXPECT_EQ(key.Close(), RegistryStatus::Ok);
  EXPECT_EQ(ReadFile(file_), "Windows Registry Editor Version 5.00\n\n[" + kKey +
                                 "]\n\"InputFileDir\"=\"/home/ann/Documents/\"\n\"AudioBitrate\"=dword:000000c0\n\n");
}

TEST_F(RegistryKeyTest, ReadsAnswerOnlyForTheRightType) {
  Store(kHandEdited);
  RegistryKey key;
  ASSERT_EQ(key.Open(file_, kKey, kExisting), RegistryStatus::Ok);
  EXPECT_EQ(key.ReadString("Profile"), "%USERPROFILE%\\Music");  // expandable, not expanded
  EXPECT_EQ(key.ReadInteger("Profile"), std::nullopt);
  EXPECT_EQ(key.ReadString("AudioBitrate"), std::nullopt);
  EXPECT_EQ(key.ReadInteger("AudioVBR"), 5);
  EXPECT_EQ(key.ReadInteger("Gone"), std::nullopt);
  ASSERT_TRUE(key.Read("Profile"));
  EXPECT_EQ(key.Read("Profile")->type, REG_EXPAND_SZ);

  EXPECT_EQ(key.WriteInteger("Negative", -1), RegistryStatus::Ok);
  EXPECT_EQ(key.Close(), RegistryStatus::Ok);
  EXPECT_NE(ReadFile(file_).find("\"Negative\"=dword:ffffffff\n"), std::string::npos);
  ASSERT_EQ(key.Open(file_, kKey, kExisting), RegistryStatus::Ok);
  EXPECT_EQ(key.ReadInteger("Negative"), -1);
}

TEST_F(RegistryKeyTest, UnchangedWritesLeaveTheUsersFileAsItIs) {
  Store(kHandEdited);
  RegistryKey key;
  ASSERT_EQ(key.Open(file_, kKey, kExisting), RegistryStatus::Ok);
  EXPECT_EQ(key.WriteInteger("AUDIOBITRATE", 128), RegistryStatus::Ok);
  EXPECT_EQ(key.WriteString("OutputFileDir", "C:\\Temp"), RegistryStatus::Ok);
  EXPECT_EQ(key.Close(), RegistryStatus::Ok);
  EXPECT_EQ(ReadFile(file_), kHandEdited);
}

TEST_F(RegistryKeyTest, OtherKeysAndValueTypesSurviveAWrite) {
  Store(kHandEdited);
  RegistryKey key;
  ASSERT_EQ(key.Open(file_, kKey, kExisting), RegistryStatus::Ok);
  ASSERT_EQ(key.WriteInteger("AudioBitrate", 320), RegistryStatus::Ok);
  ASSERT_EQ(key.Close(), RegistryStatus::Ok);

  const std::optional<RegistryDocument> before = ParseRegText(kHandEdited).document;
  std::optional<RegistryDocument> after = ParseRegText(ReadFile(file_)).document;
  ASSERT_TRUE(before && after);
  after->FindKey(kKey)->SetValue(RegistryValue{"AudioBitrate", REG_DWORD, "", {0x80, 0, 0, 0}});
  EXPECT_EQ(*after, *before);
}

TEST_F(RegistryKeyTest, WritesOfAnotherInstanceMeanwhileSurvive) {
  Store(kStoreWrittenSettings);
  RegistryKey first;
  RegistryKey second;
  ASSERT_EQ(first.Open(file_, kKey, kExisting), RegistryStatus::Ok);
  ASSERT_EQ(second.Open(file_, kKey, kExisting), RegistryStatus::Ok);
  ASSERT_EQ(second.WriteInteger("tips", 3), RegistryStatus::Ok);
  ASSERT_EQ(second.Close(), RegistryStatus::Ok);
  ASSERT_EQ(first.WriteInteger("AudioBitrate", 256), RegistryStatus::Ok);
  ASSERT_EQ(first.Close(), RegistryStatus::Ok);

  RegistryKey check;
  ASSERT_EQ(check.Open(file_, kKey, kExisting), RegistryStatus::Ok);
  EXPECT_EQ(check.ReadInteger("tips"), 3);
  EXPECT_EQ(check.ReadInteger("AudioBitrate"), 256);
}

// A file the store cannot read must never be "repaired": that would destroy the user's edit.
TEST_F(RegistryKeyTest, UnreadableFileIsNeitherOpenedNorOverwritten) {
  const std::string damaged = kStoreWrittenSettings + "\"AudioBitrate\"=dword:xyz\n";
  Store(damaged);
  RegistryKey key;
  EXPECT_EQ(key.Open(file_, kKey, kExisting), RegistryStatus::Unreadable);
  EXPECT_NE(key.LastError().find("line 15"), std::string::npos) << key.LastError();
  EXPECT_EQ(key.Open(file_, kKey, kCreate), RegistryStatus::Unreadable);
  EXPECT_EQ(key.WriteInteger("AudioBitrate", 1), RegistryStatus::NotOpen);
  EXPECT_EQ(ReadFile(file_), damaged);
}

TEST_F(RegistryKeyTest, FileDamagedWhileOpenIsNotOverwrittenAtClose) {
  Store(kStoreWrittenSettings);
  RegistryKey key;
  ASSERT_EQ(key.Open(file_, kKey, kExisting), RegistryStatus::Ok);
  ASSERT_EQ(key.WriteInteger("tips", 7), RegistryStatus::Ok);
  WriteFile(file_, "garbage the user is typing");
  EXPECT_EQ(key.Close(), RegistryStatus::Unreadable);
  EXPECT_EQ(ReadFile(file_), "garbage the user is typing");
}

TEST_F(RegistryKeyTest, NonFilesAtTheSettingsPathAreRefusedWithoutBlocking) {
  std::filesystem::create_directories(file_);
  RegistryKey key;
  EXPECT_EQ(key.Open(file_, kKey, kCreate), RegistryStatus::Unreadable);
  std::filesystem::remove(file_);
  ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
  EXPECT_EQ(key.Open(file_, kKey, kCreate), RegistryStatus::Unreadable);
}

TEST_F(RegistryKeyTest, ReadOnlyFileOrFolderCannotBeOpenedForWriting) {
  Store(kStoreWrittenSettings);
  ASSERT_EQ(::chmod(file_.c_str(), 0444), 0);
  RegistryKey key;
  // Also for root, whose capabilities would let it write the file anyway.
  EXPECT_EQ(key.Open(file_, kKey, kExisting), RegistryStatus::AccessDenied);
  ScopedFilePermissionsEnforced asUser;
  EXPECT_EQ(key.Open(file_, kKey, kExisting), RegistryStatus::AccessDenied);

  ASSERT_EQ(::chmod(file_.c_str(), 0644), 0);
  ASSERT_EQ(::chmod((temp_ / "config/Quorlen").c_str(), 0555), 0);
  EXPECT_EQ(key.Open(file_, kKey, kExisting), RegistryStatus::AccessDenied);
  const std::string elsewhere = temp_ / "config/Quorlen/Other.reg";
  EXPECT_EQ(key.Open(elsewhere, kKey, kCreate), RegistryStatus::WriteFailed);
  EXPECT_FALSE(std::filesystem::exists(elsewhere));
  EXPECT_EQ(ReadFile(file_), kStoreWrittenSettings);
}

TEST_F(RegistryKeyTest, FileTheUserCannotReadIsNeverWritten) {
  Store(kStoreWrittenSettings);
  ASSERT_EQ(::chmod(file_.c_str(), 0200), 0);
  {
    ScopedFilePermissionsEnforced asUser;
    RegistryKey key;
    EXPECT_EQ(key.Open(file_, kKey, kCreate), RegistryStatus::AccessDenied);
  }
  EXPECT_EQ(ReadFile(file_), kStoreWrittenSettings);
}

TEST_F(RegistryKeyTest, SymbolicLinkAndPermissionsOfTheFileAreKept) {
  const std::string real = temp_ / "dotfiles/tavisto.reg";
  std::filesystem::create_directories(temp_ / "dotfiles");
  std::filesystem::create_directories(temp_ / "config/Quorlen");
  WriteFile(real, kStoreWrittenSettings);
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
  std::filesystem::create_symlink(real, file_);

  RegistryKey key;
  ASSERT_EQ(key.Open(file_, kKey, kExisting), RegistryStatus::Ok);
  ASSERT_EQ(key.WriteInteger("tips", 10000), RegistryStatus::Ok);
  ASSERT_EQ(key.Close(), RegistryStatus::Ok);

  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  EXPECT_NE(ReadFile(real).find("\"tips\"=dword:00002710\n"), std::string::npos);
  struct stat info {};
  ASSERT_EQ(::stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(RegistryKeyTest, NamesTheTextFormatCannotHoldAreRefused) {
  RegistryKey key;
  EXPECT_EQ(key.Open(file_, "-HKEY_LOCAL_MACHINE\\Software", kCreate), RegistryStatus::InvalidArgument);
  EXPECT_EQ(key.Open(file_, "HKEY_LOCAL_MACHINE\\Two\nLines", kCreate), RegistryStatus::InvalidArgument);
  EXPECT_EQ(key.Open(file_, "", kCreate), RegistryStatus::InvalidArgument);
  ASSERT_EQ(key.Open(file_, kKey, kCreate), RegistryStatus::Ok);
  EXPECT_EQ(key.WriteString("Two\nLines", "x"), RegistryStatus::InvalidArgument);
  EXPECT_EQ(key.WriteString("Cut", std::string_view("before\0after", 12)), RegistryStatus::Ok);
  EXPECT_EQ(key.ReadString("Cut"), "before");
}

}  // namespace
