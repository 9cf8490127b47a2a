#include "engine/id3_tags.h"

#include "platform/utf8.h"

#include <algorithm>

namespace engine {

namespace {

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

bool FitsLatin1(const std::u32string& text) {
  return std::all_of(text.begin(), text.end(), [](char32_t c) { return c <= 0xFF; });
}

// The encoding byte and the encoded text of a frame: Latin-1 when the text fits, else UTF-16
// with a byte order mark.
std::vector<std::uint8_t> EncodeFrameText(const std::u32string& text) {
  const bool latin1 = FitsLatin1(text);
  std::vector<std::uint8_t> out{static_cast<std::uint8_t>(latin1 ? 0 : 1)};
  if (latin1) {
    for (char32_t c : text) out.push_back(static_cast<std::uint8_t>(c));
    return out;
  }
  platform::AppendUtf16Le(out, 0xFEFF);
  for (char32_t c : text) platform::AppendUtf16Le(out, c);
  return out;
}

void AppendFrame(std::vector<std::uint8_t>& tag, const char* id, const std::vector<std::uint8_t>& body) {
  tag.insert(tag.end(), id, id + 4);
  PutBigEndian32(tag, static_cast<std::uint32_t>(body.size()));
  tag.push_back(0);
  tag.push_back(0);
  tag.insert(tag.end(), body.begin(), body.end());
}

}  // namespace

std::u32string DecodeUtf8Leniently(const std::string& text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = platform::Utf8SequenceLength(text, i);
    if (length == 0) {
      out.push_back(static_cast<std::uint8_t>(text[i]));  // taken as Latin-1
      ++i;
    } else {
      out.push_back(platform::DecodeUtf8Sequence(text, i, length));
      i += length;
    }
  }
  return out;
}

std::string Id3v1Text(const std::string& utf8) {
  std::string out;
  for (char32_t c : DecodeUtf8Leniently(utf8)) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  return out;
}

std::vector<std::uint8_t> BuildId3v2Tag(const Id3Texts& texts) {
  std::vector<std::uint8_t> frames;
  const struct {
    const char* id;
    const std::string& text;
  } textFrames[] = {{"TIT2", texts.title}, {"TPE1", texts.artist}, {"TALB", texts.album},
                    {"TYER", texts.year},  {"TRCK", texts.track},  {"TCON", texts.genre}};
  for (const auto& frame : textFrames) {
    if (!frame.text.empty()) AppendFrame(frames, frame.id, EncodeFrameText(DecodeUtf8Leniently(frame.text)));
  }
  if (!texts.comment.empty()) {
    // A comment: the text's encoding, a language, an empty description, then the text.
    const std::vector<std::uint8_t> text = EncodeFrameText(DecodeUtf8Leniently(texts.comment));
    std::vector<std::uint8_t> body{text[0], 'e', 'n', 'g'};
    if (text[0] == 0) {
      body.push_back(0);
    } else {
      body.insert(body.end(), {0xFF, 0xFE, 0, 0});
    }
    body.insert(body.end(), text.begin() + 1, text.end());
    AppendFrame(frames, "COMM", body);
  }
  if (frames.empty()) return {};
  std::vector<std::uint8_t> tag{'I', 'D', '3', 3, 0, 0};
  const auto size = static_cast<std::uint32_t>(frames.size());
  for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<std::uint8_t>((size >> shift) & 0x7F));
  tag.insert(tag.end(), frames.begin(), frames.end());
  return tag;
}

}  // namespace engine
