#include "engine/mp3_tags.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/privateframe.h>
#include <taglib/textidentificationframe.h>

#include "platform/utf8.h"

namespace engine {

namespace {

// The characters of a UTF-8 text as TagLib's string, bytes outside valid UTF-8 taken as Latin-1,
// with the encoding a frame should use for them.
struct FrameText {
  TagLib::String text;
  TagLib::String::Type encoding = TagLib::String::Latin1;
};

// Calls `take` with each character of a UTF-8 text; bytes outside valid UTF-8 are Latin-1.
template <typename Take>
void ForEachCharacter(const std::string& utf8, Take take) {
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = platform::Utf8SequenceLength(utf8, i);
    take(length == 0 ? static_cast<std::uint8_t>(utf8[i]) : platform::DecodeUtf8Sequence(utf8, i, length));
    i += length == 0 ? 1 : length;
  }
}

FrameText MakeFrameText(const std::string& utf8, TagLib::ID3v2::Version version) {
  std::string valid;
  bool latin1 = true;
  ForEachCharacter(utf8, [&](char32_t c) {
    if (c != 0) platform::AppendUtf8(valid, c);
    latin1 = latin1 && c <= 0xFF;
  });
  FrameText out;
  out.text = TagLib::String(valid, TagLib::String::UTF8);
  if (!latin1) out.encoding = version == TagLib::ID3v2::v4 ? TagLib::String::UTF8 : TagLib::String::UTF16;
  return out;
}

void AddText(TagLib::ID3v2::Tag& tag, const char* id, const std::string& text, TagLib::ID3v2::Version version) {
  if (text.empty()) return;
  const FrameText frameText = MakeFrameText(text, version);
  auto* frame = new TagLib::ID3v2::TextIdentificationFrame(TagLib::ByteVector(id, 4), frameText.encoding);
  frame->setText(frameText.text);
  tag.addFrame(frame);  // the tag owns its frames
}

std::vector<std::uint8_t> Render(const Mp3Tags& fields, const CoverPicture& cover, TagLib::ID3v2::Version version) {
  TagLib::ID3v2::Tag tag;
  for (const auto& [owner, data] : fields.privateFrames) {
    auto* frame = new TagLib::ID3v2::PrivateFrame();
    frame->setOwner(TagLib::String(owner, TagLib::String::Latin1));
    frame->setData(TagLib::ByteVector(data.data(), static_cast<unsigned int>(data.size())));
    tag.addFrame(frame);
  }
  AddText(tag, "TIT2", fields.title, version);
  AddText(tag, "TPE1", fields.artist, version);
  AddText(tag, "TPE2", fields.albumArtist, version);
  AddText(tag, "TALB", fields.album, version);
  AddText(tag, "TRCK", PositionText(fields.track, fields.trackTotal), version);
  AddText(tag, "TPOS", PositionText(fields.disc, fields.discTotal), version);
  if (version == TagLib::ID3v2::v4) {
    AddText(tag, "TDRC", fields.date, version);
  } else {
    AddText(tag, "TYER", YearOf(fields.date), version);
  }
  AddText(tag, "TCON", fields.genre, version);
  if (!fields.comment.empty()) {
    const FrameText comment = MakeFrameText(fields.comment, version);
    auto* frame = new TagLib::ID3v2::CommentsFrame(comment.encoding);
    frame->setLanguage("eng");
    frame->setDescription(TagLib::String());
    frame->setText(comment.text);
    tag.addFrame(frame);
  }
  AddText(tag, "TCOM", fields.composer, version);
  if (!cover.empty() && cover.data.size() <= kMaxPictureBytes) {
    const std::string mime =
        cover.mimeType.empty() ? ImageMimeType(cover.data.data(), cover.data.size()) : cover.mimeType;
    auto* frame = new TagLib::ID3v2::AttachedPictureFrame();
    frame->setTextEncoding(TagLib::String::Latin1);  // for the description, which is empty
    frame->setMimeType(TagLib::String(mime, TagLib::String::Latin1));
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setPicture(TagLib::ByteVector(reinterpret_cast<const char*>(cover.data.data()),
                                         static_cast<unsigned int>(cover.data.size())));
    tag.addFrame(frame);
  }
  if (tag.frameList().isEmpty()) return {};
  const TagLib::ByteVector rendered = tag.render(version);
  return {rendered.begin(), rendered.end()};
}

}  // namespace

std::vector<std::uint8_t> RenderId3v2Tag(const Mp3Tags& tags, const CoverPicture& cover, int version) noexcept {
  try {
    return Render(tags, cover, version == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3);
  } catch (...) {
    return {};
  }
}

std::string PositionText(int number, int total) {
  if (number <= 0) return {};
  return std::to_string(number) + (total > 0 ? "/" + std::to_string(total) : "");
}

std::string YearOf(const std::string& date) {
  for (std::size_t i = 0; i < date.size();) {
    std::size_t end = i;
    while (end < date.size() && date[end] >= '0' && date[end] <= '9') ++end;
    if (end - i == 4) return date.substr(i, 4);
    i = end == i ? i + 1 : end;
  }
  return {};
}

std::string Id3v1Text(const std::string& utf8) {
  std::string out;
  ForEachCharacter(utf8, [&out](char32_t c) { out.push_back(c <= 0xFF ? static_cast<char>(c) : '?'); });
  return out;
}

std::string ImageMimeType(const std::uint8_t* data, std::size_t size) {
  const auto startsWith = [&](std::string_view magic, std::size_t at = 0) {
    return size >= at + magic.size() && std::memcmp(data + at, magic.data(), magic.size()) == 0;
  };
  if (startsWith("\xFF\xD8\xFF")) return "image/jpeg";
  if (startsWith("\x89PNG\r\n\x1A\n")) return "image/png";
  if (startsWith("GIF87a") || startsWith("GIF89a")) return "image/gif";
  if (startsWith("BM")) return "image/bmp";
  if (startsWith("RIFF") && startsWith("WEBP", 8)) return "image/webp";
  return {};
}

}  // namespace engine
