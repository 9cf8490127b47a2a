#include "tag_readers.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/mmstream/tests/media_fixtures.h"

namespace testsupport {

namespace {

// Prints "key<TAB>hex of the UTF-8 value" lines.
const char* const kMutagen = R"(
import sys, mutagen.id3, mutagen.mp3
tag = mutagen.id3.ID3(sys.argv[1], translate=False, load_v1=False)
out = {"version": ".".join(map(str, tag.version)), "frames": " ".join(f.FrameID for f in tag.values()),
       "encodings": " ".join(str(int(f.encoding)) for f in tag.values() if hasattr(f, "encoding")),
       "seconds": "%.2f" % mutagen.mp3.MP3(sys.argv[1]).info.length}
pictures = 0
for f in tag.values():
    if f.FrameID == "COMM": out["COMM"] = "|".join([f.lang, f.desc, "/".join(f.text)])
    elif f.FrameID == "APIC":
        out["APIC"] = out["APIC#%d" % pictures] = "|".join([f.mime, str(int(f.type)), f.desc, f.data.hex()])
        pictures += 1
    elif f.FrameID == "TXXX": out["TXXX:" + f.desc] = "|".join(f.text)
    elif f.FrameID == "USLT": out["USLT"] = "|".join([f.lang, f.desc, f.text])
    elif f.FrameID == "UFID": out["UFID:" + f.owner] = f.data.decode("latin-1")
    elif f.FrameID == "POPM": out["POPM:" + f.email] = str(f.rating)
    elif f.FrameID.startswith("T"): out[f.FrameID] = "|".join(map(str, f.text))
out["pictures"] = str(pictures)
for key, value in out.items(): print(key + "\t" + value.encode("utf-8").hex())
)";

}  // namespace

std::string CommandOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    pclose(pipe);
  }
  return out;
}

std::map<std::string, std::string> MutagenId3v2(const std::string& mp3) {
  media_fixtures::TempDir dir;
  media_fixtures::WriteBytes(dir.File("read.py"),
                             std::vector<std::uint8_t>(kMutagen, kMutagen + std::char_traits<char>::length(kMutagen)));
  // Debian's interpreter, the one python3-mutagen installs for, whatever else PATH offers.
  const std::string output = CommandOutput("/usr/bin/python3 '" + dir.File("read.py") + "' '" + mp3 + "' 2>&1");
  std::map<std::string, std::string> frames;
  for (std::size_t at = 0, end; at < output.size(); at = end + 1) {
    end = std::min(output.find('\n', at), output.size());
    const std::size_t tab = output.find('\t', at);
    if (tab >= end) {
      ADD_FAILURE() << "mutagen: " << output;
      break;
    }
    std::string& value = frames[output.substr(at, tab - at)];
    for (std::size_t i = tab + 1; i + 1 < end; i += 2) {
      value.push_back(static_cast<char>(std::stoi(output.substr(i, 2), nullptr, 16)));
    }
  }
  return frames;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  for (std::uint8_t b : bytes) out += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
  return out;
}

}  // namespace testsupport
