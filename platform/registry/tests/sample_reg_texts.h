// .reg texts as this store, people and other tools write them. The tests read them; the fuzz
// target starts from them.
#pragma once

#include "platform/registry/reg_text.h"
#include "platform/registry/utf16.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Test failures show a document as the text it stands for.
inline void PrintTo(const RegistryDocument& document, std::ostream* out) { *out << "\n" << FormatRegText(document); }

}  // namespace platform

namespace platform::testing {

// A settings file exactly as the store writes it.
inline const std::string kStoreWrittenSettings =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Tavisto]\n"
    "\"InputFileDir\"=\"/home/ann/Documents/\"\n"
    "\"OutputFileDir\"=\"\"\n"
    "\"AudioBitrate\"=dword:000000c0\n"
    "\"AudioSampleRate\"=dword:0000ac44\n"
    "\"AudioChannels\"=dword:00000002\n"
    "\"AudioBitsPerSample\"=dword:00000010\n"
    "\"AudioVBR\"=dword:00000000\n"
    "\"AudioVbrMinBitrate\"=dword:00000080\n"
    "\"AudioVbrMaxBitrate\"=dword:00000100\n"
    "\"tips\"=dword:00000000\n"
    "\n";

// The same kind of file after a person edited it in a Windows editor: byte-order mark, CRLF,
// comments, odd spacing and letter case, escapes, an expandable string continued over lines,
// deletions, another key and value types the program never writes.
inline const std::string kHandEdited =
    "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; my Tavisto settings\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Tavisto]\r\n"
    "\"InputFileDir\"=\"/home/ann/My \\\"Best\\\" Music\\\\/\"\r\n"
    "  \"OutputFileDir\" = \"C:\\Temp\"\r\n"
    "\"AudioBitrate\"=dword:C0\r\n"
    "\"audiobitrate\"=dword:00000080\r\n"
    "\"Gone\"=dword:00000001\r\n"
    "\"Gone\"=-\r\n"
    "\"AudioVBR\"=hex(4):05,00,00,00\r\n"
    "\"Profile\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,\\\r\n"
    "  4c,00,45,00,25,00,5c,00,4d,00,75,00,73,00,69,00,63,00,00,00\r\n"
    "@=\"default\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Other]\r\n"
    "\"Blob\"=hex:de,ad,be,ef\r\n"
    "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Old]\r\n"
    "\"x\"=\"y\"\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Old\\Child]\r\n"
    "[-HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Old]\r\n";

// A text as the registry editor on Windows saves it: UTF-16LE with a byte-order mark.
inline std::string AsUtf16LeFile(std::string_view utf8) {
  const std::vector<std::uint8_t> units = Utf8ToUtf16Le(utf8, /*terminate=*/false);
  return std::string("\xFF\xFE") + std::string(units.begin(), units.end());
}

inline std::vector<std::string> SampleRegTexts() {
  return {kStoreWrittenSettings, kHandEdited, AsUtf16LeFile(kStoreWrittenSettings),
          "Windows Registry Editor Version 5.00\n"};
}

}  // namespace platform::testing
