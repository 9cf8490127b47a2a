#include "platform/paths/path_names.h"
#include "platform/paths/file_read.h"
#include "platform/paths/folder_chain.h"
#include "platform/paths/program_dirs.h"
#include "platform/paths/tests/test_support.h"
#include "platform/paths/user_dirs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

using namespace platform;
using platform::testing::ScopedEnvironment;
using platform::testing::ScopedFilePermissionsEnforced;
using platform::testing::TempFolder;
using platform::testing::WriteFile;

namespace {

struct UserDirCase {
  const char* name;
  const char* fileText;
  std::optional<std::string> documents;
};

void PrintTo(const UserDirCase& c, std::ostream* out) { *out << c.name; }

class FindUserDirTest : public ::testing::TestWithParam<UserDirCase> {};

TEST_P(FindUserDirTest, ReadsTheDocumentsEntryAsTheShellWould) {
  EXPECT_EQ(FindUserDir(GetParam().fileText, "DOCUMENTS", "/home/ann"), GetParam().documents)
      << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    UserDirsFile, FindUserDirTest,
    ::testing::Values(
        UserDirCase{"HomeRelative", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", "/home/ann/Dokumente"},
        UserDirCase{"BracedHome", "XDG_DOCUMENTS_DIR=\"${HOME}/Docs\"\n", "/home/ann/Docs"},
        UserDirCase{"AbsoluteWithTrailingSlash", "XDG_DOCUMENTS_DIR=\"/data/docs/\"\n", "/data/docs"},
        UserDirCase{"HomeItself", "XDG_DOCUMENTS_DIR=\"$HOME\"\n", "/home/ann"},
        UserDirCase{"RelativeIsInvalid", "XDG_DOCUMENTS_DIR=\"Docs\"\n", std::nullopt},
        UserDirCase{"LongerVariableNameIsNoMatch", "XDG_HOMEX=1\nXDG_DOCUMENTS_DIRX=\"/x\"\n",
                    std::nullopt},
        UserDirCase{"HomedirIsNotHome", "XDG_DOCUMENTS_DIR=\"$HOMEDIR/x\"\n", std::nullopt},
        UserDirCase{"LastAssignmentWins",
                    "XDG_DOCUMENTS_DIR=\"$HOME/a\"\nXDG_DOCUMENTS_DIR=\"$HOME/b\"\n", "/home/ann/b"},
        UserDirCase{"CommentsCrlfAndOtherEntries",
                    "# written by xdg-user-dirs-update\r\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\r\n"
                    "#XDG_DOCUMENTS_DIR=\"/old\"\r\nXDG_DOCUMENTS_DIR=\"$HOME/Documents\"\r\n",
                    "/home/ann/Documents"},
        UserDirCase{"EscapedQuotes", "XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"\"\n", "/home/ann/My \"Docs\""},
        UserDirCase{"UnterminatedQuoteIsIgnored", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\n", std::nullopt},
        UserDirCase{"NoEntry", "", std::nullopt}),
    [](const auto& param) { return std::string(param.param.name); });

class UserFoldersTest : public ::testing::Test {
 protected:
  TempFolder temp_;
  ScopedEnvironment home_{"HOME", temp_.path()};
  ScopedEnvironment config_{"XDG_CONFIG_HOME", std::nullopt};
  ScopedEnvironment data_{"XDG_DATA_HOME", std::nullopt};
  ScopedEnvironment registry_{"TAVISTO_REGISTRY", std::nullopt};
};

TEST_F(UserFoldersTest, DocumentsFolderComesFromUserDirsInTheConfigFolder) {
  ASSERT_TRUE(MakeFolderChain(temp_ / "cfg"));
  WriteFile(temp_ / "cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n");
  ScopedEnvironment config("XDG_CONFIG_HOME", temp_ / "cfg");
  EXPECT_EQ(DocumentsFolder(), temp_ / "Papiere");
}

TEST_F(UserFoldersTest, DocumentsFolderFallsBackToHomeDocuments) {
  EXPECT_EQ(DocumentsFolder(), temp_ / "Documents");
}

TEST_F(UserFoldersTest, RelativeXdgVariablesAreIgnored) {
  ASSERT_TRUE(MakeFolderChain(temp_ / ".config"));
  WriteFile(temp_ / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
  ScopedEnvironment config("XDG_CONFIG_HOME", "relative/cfg");
  ScopedEnvironment data("XDG_DATA_HOME", "relative/data");
  EXPECT_EQ(ConfigHomeFolder(), temp_ / ".config");
  EXPECT_EQ(DocumentsFolder(), temp_ / "Docs");
  EXPECT_EQ(UserDataFolder(), temp_ / ".local/share/Tavisto/");
}

TEST_F(UserFoldersTest, SettingsFileAndDataFolderFollowXdgThenTheOverride) {
  EXPECT_EQ(RegistryFilePath(), temp_ / ".config/Quorlen/Tavisto.reg");
  EXPECT_EQ(UserDataFolder(), temp_ / ".local/share/Tavisto/");
  {
    ScopedEnvironment config("XDG_CONFIG_HOME", "/etc/xdg-user/");
    ScopedEnvironment data("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(RegistryFilePath(), "/etc/xdg-user/Quorlen/Tavisto.reg");
    EXPECT_EQ(UserDataFolder(), "/srv/data/Tavisto/");
  }
  ScopedEnvironment registry("TAVISTO_REGISTRY", "/tmp/run1/settings.reg");
  EXPECT_EQ(RegistryFilePath(), "/tmp/run1/settings.reg");
  EXPECT_EQ(UserDataFolder(), "/tmp/run1/");
}

TEST(ProgramFolder, IsTheFolderOfTheRunningTestWithTrailingSlash) {
  const std::string folder = RunningProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(folder + "paths_tests"));
}

TEST(ProgramFolder, FilesBesideTheProgramBeforeTheInstalledShareFolder) {
  TempFolder temp;
  const std::string bin = temp / "usr/bin/";
  ASSERT_TRUE(MakeFolderChain(bin));
  ASSERT_TRUE(MakeFolderChain(temp / "usr/share/tavisto"));
  WriteFile(temp / "usr/share/tavisto/tips.txt", "installed");
  WriteFile(temp / "usr/share/tavisto/tavisto.html", "installed");
  WriteFile(bin + "tavisto.html", "beside");
  ASSERT_TRUE(MakeFolderChain(bin + "album.lst"));  // a folder of that name is no file

  EXPECT_EQ(FindBesideProgram("tavisto.html", bin), bin + "tavisto.html");
  EXPECT_EQ(FindBesideProgram("tips.txt", bin), temp / "usr/share/tavisto/tips.txt");
  EXPECT_EQ(FindBesideProgram("album.lst", bin), std::nullopt);
  EXPECT_EQ(FindBesideProgram("missing.txt", bin), std::nullopt);
  EXPECT_EQ(FindBesideProgram("tips.txt", ""), std::nullopt);
}

TEST(FolderChain, CreatesEveryMissingFolderAndAcceptsExistingOnes) {
  TempFolder temp;
  EXPECT_TRUE(MakeFolderChain(temp / "a/b//c/"));
  EXPECT_TRUE(std::filesystem::is_directory(temp / "a/b/c"));
  EXPECT_TRUE(MakeFolderChain(temp / "a/b/c"));
}

TEST(FolderChain, AFileInTheWayFailsAndNamesTheFolder) {
  TempFolder temp;
  WriteFile(temp / "a", "not a folder");
  std::string error;
  EXPECT_FALSE(MakeFolderChain(temp / "a/b", &error));
  EXPECT_NE(error.find(temp / "a"), std::string::npos) << error;
}

TEST(FolderChain, ReadOnlyParentFailsWithTheSystemsReason) {
  TempFolder temp;
  ASSERT_TRUE(MakeFolderChain(temp / "locked"));
  ASSERT_EQ(::chmod((temp / "locked").c_str(), 0555), 0);
  ScopedFilePermissionsEnforced asUser;
  std::string error;
  EXPECT_FALSE(MakeFolderChain(temp / "locked/new/deeper", &error));
  EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
}

TEST(BoundedFileRead, PipesFoldersAndOversizedFilesAreNotRead) {
  TempFolder temp;
  ASSERT_EQ(::mkfifo((temp / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(ReadRegularFile(temp / "pipe", 100).status, FileReadStatus::NotRegular);  // and no hang
  EXPECT_EQ(ReadRegularFile(temp.path(), 100).status, FileReadStatus::NotRegular);
  EXPECT_EQ(ReadRegularFile(temp / "missing", 100).status, FileReadStatus::Missing);

  WriteFile(temp / "ten", "0123456789");
  EXPECT_EQ(ReadRegularFile(temp / "ten", 9).status, FileReadStatus::TooLarge);
  const FileReadResult whole = ReadRegularFile(temp / "ten", 10);
  EXPECT_EQ(whole.status, FileReadStatus::Ok);
  EXPECT_EQ(whole.bytes, "0123456789");
}

}  // namespace

TEST(PathParts, FolderNameAndExtension) {
  EXPECT_EQ(platform::FolderOf("/home/ann/song.wma"), "/home/ann/");
  EXPECT_EQ(platform::FolderOf("song.wma"), "");
  EXPECT_EQ(platform::FolderOf("/"), "/");
  EXPECT_EQ(platform::FileNameOf("/home/ann/song.wma"), "song.wma");
  EXPECT_EQ(platform::FileNameOf("/home/ann/"), "");
  EXPECT_EQ(platform::ExtensionOf("/home/ann/live.2024/song.WMA"), ".WMA");
  EXPECT_EQ(platform::ExtensionOf("/home/ann/live.2024/song"), "");
  EXPECT_EQ(platform::ExtensionOf("/music/a.tar.gz"), ".gz");
  EXPECT_EQ(platform::WithTrailingSlash("/home/ann"), "/home/ann/");
  EXPECT_EQ(platform::WithTrailingSlash("/home/ann/"), "/home/ann/");
  EXPECT_EQ(platform::WithTrailingSlash(""), "");
}
