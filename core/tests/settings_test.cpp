#include "core/conversion_task.h"
#include "core/settings.h"
#include "platform/paths/folder_chain.h"
#include "platform/paths/tests/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

#include <filesystem>
#include <ostream>

using namespace core;

using platform::MakeFolderChain;
using platform::testing::ReadFile;
using platform::testing::ScopedEnvironment;
using platform::testing::ScopedFilePermissionsEnforced;
using platform::testing::ScopedFileSizeLimit;
using platform::testing::TempFolder;
using platform::testing::WriteFile;

namespace core {
void PrintTo(const Settings& s, std::ostream* out) {
  *out << "{\"" << s.inputFileDir << "\", \"" << s.outputFileDir << "\", " << s.encoding.bitrate << ", "
       << s.encoding.sampleRate << ", " << s.audioBitsPerSample << ", " << engine::NumberOf(s.encoding.channelMode)
       << ", " << s.encoding.vbr << ", " << s.encoding.vbrMinBitrate << ", " << s.encoding.vbrMaxBitrate << ", "
       << s.encoding.vbrQuality << ", tips " << s.tips << ", jobs " << s.jobs << ", names "
       << static_cast<int>(s.outputNames) << " \"" << s.namePattern << "\", update " << s.run.updateOnly << ", verify "
       << s.run.verify << ", gain " << s.run.replayGain << ", art " << s.run.folderArt << ", notice "
       << s.listKeptNoticeShown << "}";
}
}  // namespace core

namespace {

using Lines = std::vector<std::string>;

// A settings file holding `lines` under the key, as the store writes it.
std::string SettingsFile(const Lines& lines) {
  std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Tavisto]\n";
  for (const std::string& line : lines) text += line + "\n";
  return text + "\n";
}

std::string JobsLine(int jobs) {
  char line[32];
  std::snprintf(line, sizeof line, "\"Jobs\"=dword:%08x", jobs);
  return line;
}

// The eleven values of a first start, in the order a first start writes them.
Lines FirstStartLines(const std::string& inputFolder) {
  return {"\"InputFileDir\"=\"" + inputFolder + "\"",
          "\"OutputFileDir\"=\"\"",
          "\"AudioBitrate\"=dword:000000c0",
          "\"AudioSampleRate\"=dword:0000ac44",
          "\"AudioChannels\"=dword:00000002",
          "\"AudioBitsPerSample\"=dword:00000010",
          "\"AudioVBR\"=dword:00000000",
          "\"AudioVbrMinBitrate\"=dword:00000080",
          "\"AudioVbrMaxBitrate\"=dword:00000100",
          "\"tips\"=dword:00000000",
          JobsLine(DefaultJobCount())};
}

// A user's own settings, different from every built-in default.
const Lines kUsersLines = {"\"InputFileDir\"=\"/home/ann/Music/\"",
                           "\"OutputFileDir\"=\"/home/ann/MP3/\"",
                           "\"AudioBitrate\"=dword:00000140",
                           "\"AudioSampleRate\"=dword:0000bb80",
                           "\"AudioChannels\"=dword:00000003",
                           "\"AudioBitsPerSample\"=dword:00000008",
                           "\"AudioVBR\"=dword:00000001",
                           "\"AudioVbrMinBitrate\"=dword:00000060",
                           "\"AudioVbrMaxBitrate\"=dword:000000e0",
                           "\"tips\"=dword:00000003",
                           "\"Jobs\"=dword:00000003"};
Settings UsersSettings() {
  Settings settings;
  settings.inputFileDir = "/home/ann/Music/";
  settings.outputFileDir = "/home/ann/MP3/";
  settings.encoding.bitrate = 320;
  settings.encoding.sampleRate = 48000;
  settings.audioBitsPerSample = 8;
  settings.encoding.channelMode = engine::ChannelMode::Mono;
  settings.encoding.vbr = true;
  settings.encoding.vbrMinBitrate = 96;
  settings.encoding.vbrMaxBitrate = 224;
  settings.tips = 3;
  settings.jobs = 3;
  return settings;
}
const Settings kUsersSettings = UsersSettings();

Lines Replaced(Lines lines, const std::string& prefix, const std::string& replacement) {
  for (std::string& line : lines) {
    if (line.rfind(prefix, 0) == 0) line = replacement;
  }
  std::erase(lines, "");
  return lines;
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeFolderChain(temp_ / "home/.config"));
    WriteFile(temp_ / "home/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
  }

  // Loads the settings as a start of the program does.
  void LoadSettings() { DefaultSettings = store_.Load(); }
  void SaveSettings() { store_.Save(DefaultSettings); }

  void Store(const std::string& text) {
    ASSERT_TRUE(MakeFolderChain(folder_));
    WriteFile(file_, text);
  }

  static Settings FallbackSettings() {
    Settings fallback;
    fallback.inputFileDir = "/opt/tavisto/bin/";
    return fallback;
  }

  Settings DefaultSettings;
  SettingsStore store_{"/opt/tavisto/bin/"};
  TempFolder temp_;
  const std::string folder_ = temp_ / "config/Quorlen";
  const std::string file_ = folder_ + "/Tavisto.reg";
  const std::string documents_ = temp_ / "home/Papers/";
  ScopedEnvironment home_{"HOME", temp_ / "home"};
  ScopedEnvironment config_{"XDG_CONFIG_HOME", temp_ / "home/.config"};
  ScopedEnvironment registry_{"TAVISTO_REGISTRY", file_};
};

TEST_F(SettingsStoreTest, FirstStartCreatesTheKeyWithItsValuesInOrder) {
  LoadSettings();
  Settings expected;
  expected.inputFileDir = documents_;
  EXPECT_EQ(DefaultSettings, expected);
  EXPECT_EQ(DefaultSettings.tips, 0);
  EXPECT_EQ(ReadFile(file_), SettingsFile(FirstStartLines(documents_)));
}

TEST_F(SettingsStoreTest, SavedSettingsSurviveARestartInAReadableFile) {
  LoadSettings();
  DefaultSettings = kUsersSettings;
  DefaultSettings.outputFileDir = "/home/ann/MP3 \"best\"/";
  DefaultSettings.audioBitsPerSample = 16;
  DefaultSettings.encoding.vbrMaxBitrate = 320;
  DefaultSettings.tips = 4;
  DefaultSettings.jobs = 4;
  SaveSettings();
  EXPECT_EQ(ReadFile(file_), SettingsFile({"\"InputFileDir\"=\"/home/ann/Music/\"",
                                           "\"OutputFileDir\"=\"/home/ann/MP3 \\\"best\\\"/\"",
                                           "\"AudioBitrate\"=dword:00000140",
                                           "\"AudioSampleRate\"=dword:0000bb80",
                                           "\"AudioChannels\"=dword:00000003",
                                           "\"AudioBitsPerSample\"=dword:00000010",
                                           "\"AudioVBR\"=dword:00000001",
                                           "\"AudioVbrMinBitrate\"=dword:00000060",
                                           "\"AudioVbrMaxBitrate\"=dword:00000140",
                                           "\"tips\"=dword:00000004",
                                           "\"Jobs\"=dword:00000004"}));

  const Settings saved = DefaultSettings;
  DefaultSettings = Settings{};
  LoadSettings();
  EXPECT_EQ(DefaultSettings, saved);
  EXPECT_EQ(DefaultSettings.tips, 4);
}

TEST_F(SettingsStoreTest, CompleteFileLoadsAsItIsAndStaysUntouched) {
  Store(SettingsFile(kUsersLines));
  LoadSettings();
  EXPECT_EQ(DefaultSettings, kUsersSettings);
  EXPECT_EQ(DefaultSettings.tips, 3);
  EXPECT_EQ(ReadFile(file_), SettingsFile(kUsersLines));
}

// Earlier versions stored "beside the source" as the input folder itself.
TEST_F(SettingsStoreTest, OutputFolderEqualToTheInputFolderReadsAsBesideEachSource) {
  Store(SettingsFile(Replaced(kUsersLines, "\"OutputFileDir\"", "\"OutputFileDir\"=\"/home/ann/Music/\"")));
  LoadSettings();
  EXPECT_EQ(DefaultSettings.outputFileDir, "");
  EXPECT_EQ(DefaultSettings.inputFileDir, "/home/ann/Music/");
}

TEST_F(SettingsStoreTest, DeletedValueFallsBackAloneAndIsWrittenBack) {
  const Lines withoutBitrate = Replaced(kUsersLines, "\"AudioBitrate\"", "");
  Store(SettingsFile(withoutBitrate));
  LoadSettings();
  Settings expected = kUsersSettings;
  expected.encoding.bitrate = 192;
  EXPECT_EQ(DefaultSettings, expected);
  EXPECT_EQ(DefaultSettings.tips, 3);
  Lines written = withoutBitrate;
  written.push_back("\"AudioBitrate\"=dword:000000c0");
  EXPECT_EQ(ReadFile(file_), SettingsFile(written));
}

TEST_F(SettingsStoreTest, IntegerStoredAsAStringIsReplacedByItsDefault) {
  Store(SettingsFile(Replaced(kUsersLines, "\"AudioBitrate\"", "\"AudioBitrate\"=\"320\"")));
  LoadSettings();
  EXPECT_EQ(DefaultSettings.encoding.bitrate, 192);
  EXPECT_EQ(DefaultSettings.encoding.sampleRate, 48000);
  EXPECT_EQ(ReadFile(file_), SettingsFile(Replaced(kUsersLines, "\"AudioBitrate\"", "\"AudioBitrate\"=dword:000000c0")));
}

TEST_F(SettingsStoreTest, FolderOfAnotherTypeFallsBackWholeWithTheProgramFolder) {
  for (const auto& [prefix, line] : {std::pair<std::string, std::string>{"\"InputFileDir\"", "\"InputFileDir\"=dword:00000001"},
                                     {"\"OutputFileDir\"", "\"OutputFileDir\"=hex:2f,00"}}) {
    const std::string text = SettingsFile(Replaced(kUsersLines, prefix, line));
    Store(text);
    LoadSettings();
    EXPECT_EQ(DefaultSettings, FallbackSettings()) << line;
    EXPECT_EQ(DefaultSettings.tips, 0);
    EXPECT_EQ(ReadFile(file_), text);
  }
}

TEST_F(SettingsStoreTest, ExpandableFolderIsTakenWithoutExpansion) {
  // "%HOME%/" as UTF-16LE with its terminator.
  Store(SettingsFile(Replaced(kUsersLines, "\"InputFileDir\"",
                              "\"InputFileDir\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,2f,00,00,00")));
  LoadSettings();
  EXPECT_EQ(DefaultSettings.inputFileDir, "%HOME%/");
}

TEST_F(SettingsStoreTest, EmptyFoldersAreFilledInAndWritten) {
  Lines lines = Replaced(kUsersLines, "\"InputFileDir\"", "\"InputFileDir\"=\"\"");
  lines = Replaced(lines, "\"OutputFileDir\"", "");
  Store(SettingsFile(lines));
  LoadSettings();
  EXPECT_EQ(DefaultSettings.inputFileDir, documents_);
  EXPECT_EQ(DefaultSettings.outputFileDir, "");
  Lines written = Replaced(lines, "\"InputFileDir\"", "\"InputFileDir\"=\"" + documents_ + "\"");
  written.push_back("\"OutputFileDir\"=\"\"");
  EXPECT_EQ(ReadFile(file_), SettingsFile(written));
}

// Saving writes only what changed: an unchanged value stays as the file had it.
TEST_F(SettingsStoreTest, AnyNonZeroVbrReadsTrueAndAnUnchangedValueIsNotRewritten) {
  const std::string text = SettingsFile(Replaced(kUsersLines, "\"AudioVBR\"", "\"AudioVBR\"=dword:00000005"));
  Store(text);
  LoadSettings();
  EXPECT_TRUE(DefaultSettings.encoding.vbr);
  SaveSettings();
  EXPECT_EQ(ReadFile(file_), text);
  DefaultSettings.encoding.vbr = false;
  SaveSettings();
  EXPECT_EQ(ReadFile(file_), SettingsFile(Replaced(kUsersLines, "\"AudioVBR\"", "\"AudioVBR\"=dword:00000000")));
}

// A value the user edits in the file while the program runs (the README invites editing Jobs)
// survives the program's save of what it changed itself.
TEST_F(SettingsStoreTest, AValueEditedInTheFileMeanwhileIsNotReverted) {
  Store(SettingsFile(kUsersLines));
  LoadSettings();
  WriteFile(file_, SettingsFile(Replaced(kUsersLines, "\"Jobs\"", JobsLine(7))));
  DefaultSettings.encoding.bitrate = 64;
  SaveSettings();
  Lines expected = Replaced(kUsersLines, "\"Jobs\"", JobsLine(7));
  expected = Replaced(expected, "\"AudioBitrate\"", "\"AudioBitrate\"=dword:00000040");
  EXPECT_EQ(ReadFile(file_), SettingsFile(expected));
}

// A value added after the first settings files is written once it changes, never before: older
// files stay as they are.
TEST_F(SettingsStoreTest, ANewerValueIsWrittenOnlyOnceItChanges) {
  Store(SettingsFile(kUsersLines));
  LoadSettings();
  EXPECT_EQ(DefaultSettings.encoding.vbrQuality, 2);
  SaveSettings();
  EXPECT_EQ(ReadFile(file_), SettingsFile(kUsersLines));
  DefaultSettings.encoding.vbrQuality = 5;
  SaveSettings();
  Lines expected = kUsersLines;
  expected.push_back("\"AudioVbrQuality\"=dword:00000005");
  EXPECT_EQ(ReadFile(file_), SettingsFile(expected));
  LoadSettings();
  EXPECT_EQ(DefaultSettings.encoding.vbrQuality, 5);
}

// The main window's output names and run options: each is written once it changes, in a file of
// its own spelling, and read back; a value out of range or of another type reads as built in.
TEST_F(SettingsStoreTest, OutputNamesAndRunOptionsAreWrittenOnceChanged) {
  struct Case {
    void (*change)(Settings&);
    const char* line;
  };
  const Case cases[] = {
      {[](Settings& s) { s.outputNames = OutputNames::OwnPattern; }, "\"OutputNames\"=dword:00000002"},
      {[](Settings& s) { s.namePattern = "%artist%/%title%"; }, "\"OutputNamePattern\"=\"%artist%/%title%\""},
      {[](Settings& s) { s.run.updateOnly = true; }, "\"UpdateOnly\"=dword:00000001"},
      {[](Settings& s) { s.run.verify = false; }, "\"VerifyMp3\"=dword:00000000"},
      {[](Settings& s) { s.run.replayGain = false; }, "\"ReplayGain\"=dword:00000000"},
      {[](Settings& s) { s.run.folderArt = false; }, "\"FolderArt\"=dword:00000000"},
      {[](Settings& s) { s.listKeptNoticeShown = true; }, "\"ListKeptNotice\"=dword:00000001"},
  };
  for (const Case& c : cases) {
    Store(SettingsFile(kUsersLines));
    LoadSettings();
    EXPECT_EQ(DefaultSettings.outputNames, OutputNames::LikeSource);
    EXPECT_EQ(DefaultSettings.run, RunOptions{});
    SaveSettings();
    EXPECT_EQ(ReadFile(file_), SettingsFile(kUsersLines)) << "nothing new before a change";
    c.change(DefaultSettings);
    const Settings changed = DefaultSettings;
    SaveSettings();
    Lines expected = kUsersLines;
    expected.push_back(c.line);
    EXPECT_EQ(ReadFile(file_), SettingsFile(expected)) << c.line;
    LoadSettings();
    EXPECT_EQ(DefaultSettings, changed) << c.line;
  }
  for (const char* odd : {"\"OutputNames\"=dword:00000007", "\"OutputNames\"=\"1\"", "\"OutputNamePattern\"=dword:00000001"}) {
    Lines lines = kUsersLines;
    lines.push_back(odd);
    Store(SettingsFile(lines));
    LoadSettings();
    EXPECT_EQ(DefaultSettings.outputNames, OutputNames::LikeSource) << odd;
    EXPECT_EQ(DefaultSettings.namePattern, "") << odd;
    EXPECT_EQ(DefaultSettings.inputFileDir, "/home/ann/Music/") << odd << ": the rest is as stored";
  }
}

TEST_F(SettingsStoreTest, TipsSwitchedOffStayOff) {
  Store(SettingsFile(Replaced(kUsersLines, "\"tips\"", "\"tips\"=dword:00002710")));
  LoadSettings();
  EXPECT_EQ(DefaultSettings.tips, kTipsOff);
}

// Files the store cannot read: the user starts with the defaults and the file is never rewritten.
TEST_F(SettingsStoreTest, DamagedFileFallsBackAndIsNeverTouched) {
  const std::string cases[] = {
      "garbage",
      std::string("\x00\x01\x02\xFF binary", 12),
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Tavisto]\n\"AudioBitrate\"=dword:00000140\n",
      SettingsFile(kUsersLines) + "\"AudioBitrate\"=dword:320kbps\n",
      SettingsFile(kUsersLines).substr(0, 150) + "\"AudioSam",
  };
  for (const std::string& text : cases) {
    Store(text);
    LoadSettings();
    EXPECT_EQ(DefaultSettings, FallbackSettings()) << text;
    EXPECT_EQ(DefaultSettings.tips, 0);
    DefaultSettings = kUsersSettings;
    SaveSettings();
    EXPECT_EQ(ReadFile(file_), text);
  }
}

TEST_F(SettingsStoreTest, FileTheUserCannotReadFallsBackAndIsKept) {
  Store(SettingsFile(kUsersLines));
  ASSERT_EQ(::chmod(file_.c_str(), 0), 0);
  {
    ScopedFilePermissionsEnforced asUser;
    LoadSettings();
    EXPECT_EQ(DefaultSettings, FallbackSettings());
    SaveSettings();
  }
  EXPECT_EQ(ReadFile(file_), SettingsFile(kUsersLines));
}

TEST_F(SettingsStoreTest, ReadOnlyFolderWithoutAFileFallsBackAndSavesNothing) {
  ASSERT_TRUE(MakeFolderChain(folder_));
  ASSERT_EQ(::chmod(folder_.c_str(), 0555), 0);
  ScopedFilePermissionsEnforced asUser;
  LoadSettings();
  EXPECT_EQ(DefaultSettings, FallbackSettings());
  SaveSettings();
  EXPECT_FALSE(std::filesystem::exists(file_));
}

// Without write access the key cannot be opened, so the user starts with the defaults, as a
// user without write access to the machine's registry key always did.
TEST_F(SettingsStoreTest, ReadOnlyFolderWithAFileFallsBackAndSaveSkipsSilently) {
  Store(SettingsFile(kUsersLines));
  ASSERT_EQ(::chmod(folder_.c_str(), 0555), 0);
  ScopedFilePermissionsEnforced asUser;
  LoadSettings();
  EXPECT_EQ(DefaultSettings, FallbackSettings());
  DefaultSettings.encoding.bitrate = 64;
  SaveSettings();
  EXPECT_EQ(ReadFile(file_), SettingsFile(kUsersLines));
}

// The store only persists when the key closes: a write-back that fails there must still be
// noticed and end in the defaults, as a failed registry write does.
TEST_F(SettingsStoreTest, WriteBackThatCannotBePersistedFallsBackWhole) {
  const std::string text = SettingsFile(Replaced(kUsersLines, "\"AudioBitrate\"", ""));
  Store(text);
  {
    ScopedFileSizeLimit diskFull(64);
    LoadSettings();
  }
  EXPECT_EQ(DefaultSettings, FallbackSettings());
  EXPECT_EQ(ReadFile(file_), text);
}

TEST_F(SettingsStoreTest, FirstStartThatCannotCreateTheFileFallsBack) {
  WriteFile(temp_ / "config", "a file where the folder should be");
  LoadSettings();
  EXPECT_EQ(DefaultSettings, FallbackSettings());
  EXPECT_EQ(DefaultSettings.tips, 0);
}

}  // namespace
