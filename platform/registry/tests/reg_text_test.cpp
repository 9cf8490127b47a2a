#include "platform/registry/reg_text.h"
#include "platform/registry/tests/sample_reg_texts.h"

#include <gtest/gtest.h>

using namespace platform;
using platform::testing::AsUtf16LeFile;
using platform::testing::kHandEdited;
using platform::testing::kStoreWrittenSettings;

namespace {

constexpr char kTavisto[] = "HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Tavisto";

RegistryDocument Parsed(std::string_view text) {
  RegParseResult result = ParseRegText(text);
  EXPECT_TRUE(result.document) << "line " << result.errorLine << ": " << result.error;
  return result.document.value_or(RegistryDocument{});
}

RegistryValue Text(const char* name, const char* text, std::uint32_t type = REG_SZ) {
  return RegistryValue{name, type, text, {}};
}

RegistryValue Bytes(const char* name, std::uint32_t type, std::vector<std::uint8_t> data) {
  return RegistryValue{name, type, "", std::move(data)};
}

TEST(RegText, HandEditedFileReadsAsTheRegistryWouldImportIt) {
  const RegistryDocument document = Parsed(kHandEdited);
  ASSERT_EQ(document.keys.size(), 2u);  // "Old" and its child were deleted

  const RegistryKeyData* tavisto = document.FindKey("hkey_local_machine\\SOFTWARE\\quorlen\\tavisto");
  ASSERT_NE(tavisto, nullptr);
  const std::vector<RegistryValue> expected = {
      Text("InputFileDir", "/home/ann/My \"Best\" Music\\/"),
      Text("OutputFileDir", "C:\\Temp"),                      // an unknown escape stands for itself
      Bytes("AudioBitrate", REG_DWORD, {0x80, 0, 0, 0}),      // last data, first spelling
      Bytes("AudioVBR", REG_DWORD, {5, 0, 0, 0}),             // hex(4) is a 32-bit integer too
      Text("Profile", "%USERPROFILE%\\Music", REG_EXPAND_SZ),  // UTF-16LE over two lines, unexpanded
      Text("", "default"),
  };
  EXPECT_EQ(tavisto->values, expected);

  const RegistryKeyData* other = document.FindKey("HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Other");
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->values, (std::vector<RegistryValue>{Bytes("Blob", REG_BINARY, {0xde, 0xad, 0xbe, 0xef}),
                                                       Bytes("Big", 11, {1, 0, 0, 0, 0, 0, 0, 0})}));
}

TEST(RegText, Utf16FileFromWindowsReadsLikeItsUtf8Form) {
  EXPECT_EQ(Parsed(AsUtf16LeFile(kHandEdited)), Parsed(kHandEdited));
}

TEST(RegText, EmptyOrBlankTextIsAnEmptyDocument) {
  for (const std::string_view text : {"", "\xEF\xBB\xBF", " \r\n\n\t\n"}) {
    EXPECT_TRUE(Parsed(text).keys.empty());
  }
  EXPECT_TRUE(Parsed("\n\nWindows Registry Editor Version 5.00").keys.empty());
}

TEST(RegText, StoreLayoutIsWrittenByteForByte) {
  RegistryDocument document;
  RegistryKeyData& key = document.AddKey(kTavisto);
  key.SetValue(Text("InputFileDir", "/home/ann/Documents/"));
  key.SetValue(Text("OutputFileDir", ""));
  const std::pair<const char*, std::uint8_t> numbers[] = {
      {"AudioBitrate", 0xc0}, {"AudioSampleRate", 0}, {"AudioChannels", 2}, {"AudioBitsPerSample", 16},
      {"AudioVBR", 0},        {"AudioVbrMinBitrate", 128}, {"AudioVbrMaxBitrate", 0}, {"tips", 0}};
  for (const auto& [name, low] : numbers) key.SetValue(Bytes(name, REG_DWORD, {low, 0, 0, 0}));
  key.SetValue(Bytes("AudioSampleRate", REG_DWORD, {0x44, 0xac, 0, 0}));
  key.SetValue(Bytes("AudioVbrMaxBitrate", REG_DWORD, {0, 1, 0, 0}));
  EXPECT_EQ(FormatRegText(document), kStoreWrittenSettings);
}

TEST(RegText, EveryParsedDocumentSurvivesFormatting) {
  for (const std::string& text : platform::testing::SampleRegTexts()) {
    const RegistryDocument document = Parsed(text);
    EXPECT_EQ(Parsed(FormatRegText(document)), document);
  }
}

TEST(RegText, LongHexDataIsWrappedAndContinued) {
  RegistryDocument document;
  RegistryKeyData& key = document.AddKey(kTavisto);
  key.SetValue(Text("Expandable", "%HOME%/a rather long folder name/that needs/several lines", REG_EXPAND_SZ));
  key.SetValue(Text("Two lines", "first\nsecond"));  // a quoted text cannot hold a line break
  const std::string text = FormatRegText(document);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    start = end + 1;
  }
  EXPECT_NE(text.find("\"Two lines\"=hex(1):66,00,69,00"), std::string::npos) << text;
  EXPECT_EQ(Parsed(text), document);
}

// Files a parser must refuse whole, at the line that is wrong, rather than half-read.
struct HostileCase {
  const char* name;
  std::string text;
  int line;
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.name; }

class HostileRegText : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileRegText, IsRefusedAtItsLine) {
  const RegParseResult result = ParseRegText(GetParam().text);
  EXPECT_FALSE(result.document);
  EXPECT_EQ(result.errorLine, GetParam().line) << result.error;
  EXPECT_FALSE(result.error.empty());
}

const std::string kHead = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Tavisto]\n";

INSTANTIATE_TEST_SUITE_P(
    RegText, HostileRegText,
    ::testing::Values(
        HostileCase{"NoHeader", "[HKEY_LOCAL_MACHINE\\Software]\n\"a\"=\"b\"\n", 1},
        HostileCase{"OlderFormat", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n", 1},
        HostileCase{"CommentBeforeHeader", "; hi\nWindows Registry Editor Version 5.00\n", 1},
        HostileCase{"ValueOutsideAnyKey", "Windows Registry Editor Version 5.00\n\"a\"=\"b\"\n", 2},
        HostileCase{"ValueAfterKeyDeletion", kHead + "[-HKEY_LOCAL_MACHINE\\Software]\n\"a\"=\"b\"\n", 5},
        HostileCase{"UnterminatedName", kHead + "\"abc=\"x\"\n", 4},
        HostileCase{"UnterminatedText", kHead + "\"a\"=\"text\n\"b\"=\"c\"\n", 4},
        HostileCase{"EscapedClosingQuote", kHead + "\"a\"=\"text\\\"\n", 4},
        HostileCase{"TextAfterClosingQuote", kHead + "\"a\"=\"one\" \"two\"\n", 4},
        HostileCase{"MissingEquals", kHead + "\"a\" \"b\"\n", 4},
        HostileCase{"BareWord", kHead + "AudioBitrate=192\n", 4},
        HostileCase{"UnknownData", kHead + "\"a\"=192\n", 4},
        HostileCase{"DwordTooLong", kHead + "\"a\"=dword:100000000\n", 4},
        HostileCase{"DwordNotHex", kHead + "\"a\"=dword:0000001g\n", 4},
        HostileCase{"DwordEmpty", kHead + "\"a\"=dword:\n", 4},
        HostileCase{"HexByteTooLong", kHead + "\"a\"=hex:001\n", 4},
        HostileCase{"HexMissingComma", kHead + "\"a\"=hex:00 01\n", 4},
        HostileCase{"HexNotHex", kHead + "\"a\"=hex:0g\n", 4},
        HostileCase{"HexTypeNotHex", kHead + "\"a\"=hex(zz):00\n", 4},
        HostileCase{"HexTypeUnclosed", kHead + "\"a\"=hex(2:00\n", 4},
        HostileCase{"HexTypeTooLong", kHead + "\"a\"=hex(123456789):00\n", 4},
        HostileCase{"HexWithoutColon", kHead + "\"a\"=hex 00\n", 4},
        HostileCase{"ContinuationPastTheEnd", kHead + "\"a\"=hex:00,\\\n", 4},
        HostileCase{"BadByteOnContinuationLine", kHead + "\"a\"=hex:00,\\\n  01,xx\n", 5},
        HostileCase{"KeyWithoutClosingBracket", kHead + "[HKEY_LOCAL_MACHINE\\Software\n", 4},
        HostileCase{"EmptyKey", kHead + "[]\n", 4},
        HostileCase{"EmptyKeyDeletion", kHead + "[-]\n", 4},
        HostileCase{"NulByte", kHead + "\"a\"=\"b" + std::string(1, '\0') + "c\"\n", 4},
        HostileCase{"LargerThanASettingsFile", kHead + std::string(kMaxRegTextBytes, ';'), 0}),
    [](const auto& param) { return std::string(param.param.name); });

// A file of many keys, values and deletions must not cost quadratic time (a hang at start-up).
TEST(RegText, ManyKeysValuesAndDeletionsReadInReasonableTime) {
  std::string text = "Windows Registry Editor Version 5.00\n";
  for (int i = 0; text.size() < kMaxRegTextBytes - 100; ++i) {
    text += "[K\\" + std::to_string(i % 5000) + "]\n\"v" + std::to_string(i) + "\"=dword:1\n";
    if (i % 7 == 0) text += "[-K\\" + std::to_string(i % 3000) + "]\n";
  }
  EXPECT_TRUE(ParseRegText(text).document);
}

}  // namespace
