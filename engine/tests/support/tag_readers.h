// Test support: an MP3's ID3v2 tag as an independent reader, mutagen, sees it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// What mutagen finds in the ID3v2 tag of `mp3` (the ID3v1 tag left aside), frames as stored (no
// conversion to ID3v2.4).
// Keys: text frame IDs (values joined with "|"), "COMM" as "language|description|text", "APIC"
// (the last picture) and "APIC#0", "APIC#1" ... (each in order) as "mime|type|description|hex of
// the bytes", "pictures" (their count), "TXXX:description" (values joined with "|"), "USLT" as
// "language|description|text", "UFID:owner" (the identifier), "POPM:e-mail" (the rating),
// "version" ("2.3.0"), "frames" (IDs in order), "encodings" (each frame's text encoding number)
// and "seconds" of audio after the tag. An unreadable file is a test failure and gives what was
// read before it.
std::map<std::string, std::string> MutagenId3v2(const std::string& mp3);

// Lower-case hexadecimal digits of `bytes`.
std::string Hex(const std::vector<std::uint8_t>& bytes);

// Everything a shell command writes to its standard output.
std::string CommandOutput(const std::string& command);

}  // namespace testsupport
