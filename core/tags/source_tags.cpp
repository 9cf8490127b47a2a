#include "core/tags/source_tags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/trueaudiofile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include "platform/id3_genres.h"
#include "platform/utf8.h"

namespace tags {

namespace {

constexpr int kFrontCover = 3;  // the same number in ID3v2, FLAC and ASF picture types
constexpr int kUnknownType = -1;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Valid UTF-8 without NUL characters: a byte that starts no valid sequence becomes U+FFFD.
std::string CleanUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = platform::Utf8SequenceLength(text, i);
    if (length == 0) {
      platform::AppendUtf8(out, 0xFFFD);
      ++i;
    } else {
      if (text[i] != '\0') out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

std::string Text(const TagLib::String& text) { return Trim(CleanUtf8(text.to8Bit(true))); }

// The first non-empty value of the first key present with one.
std::string First(const TagLib::PropertyMap& properties, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    const auto found = properties.find(key);
    if (found == properties.end()) continue;
    for (const TagLib::String& value : found->second) {
      std::string text = Text(value);
      if (!text.empty()) return text;
    }
  }
  return {};
}

void AppendUnique(std::vector<std::string>& values, std::string value) {
  if (!value.empty() && std::find(values.begin(), values.end(), value) == values.end()) {
    values.push_back(std::move(value));
  }
}

std::string Join(const std::vector<std::string>& values) {
  std::string out;
  for (const std::string& value : values) out += (out.empty() ? "" : "; ") + value;
  return out;
}

// Every distinct non-empty value of the first key present with one, joined.
std::string All(const TagLib::PropertyMap& properties, std::initializer_list<const char*> keys,
                std::string (*convert)(const std::string&) = nullptr) {
  for (const char* key : keys) {
    const auto found = properties.find(key);
    if (found == properties.end()) continue;
    std::vector<std::string> values;
    for (const TagLib::String& value : found->second) {
      std::string text = Text(value);
      AppendUnique(values, convert != nullptr ? convert(text) : text);
    }
    if (!values.empty()) return Join(values);
  }
  return {};
}

// A decimal number of at most six digits at text[pos], advancing pos past it.
std::optional<int> Number(const std::string& text, std::size_t& pos) {
  const std::size_t begin = pos;
  long value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (pos - begin == 6) return std::nullopt;
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == begin) return std::nullopt;
  return static_cast<int>(value);
}

int Count(const std::string& text) {
  std::size_t pos = 0;
  return Number(Trim(text), pos).value_or(0);
}

// The attributes named `name`, looked up without ASF::Tag::attribute(): in TagLib 1.13 that
// inserts an empty list for a name the file lacks, and the tag's own accessors (year() ...)
// then index into that empty list.
TagLib::ASF::AttributeList AsfAttributes(const TagLib::ASF::Tag& tag, const char* name) {
  const TagLib::ASF::AttributeListMap& map = tag.attributeListMap();
  const auto found = map.find(name);
  return found == map.end() ? TagLib::ASF::AttributeList() : found->second;
}

struct Candidate {
  int type = kUnknownType;
  std::string mimeType;
  TagLib::ByteVector data;
};

// The pictures a file holds, in the order its tags list them.
class PictureList {
 public:
  void Add(int type, const TagLib::String& mimeType, const TagLib::ByteVector& data) {
    if (data.isEmpty() || data.size() > engine::kMaxPictureBytes) return;
    std::string mime = Text(mimeType);
    if (mime == "-->") return;  // an ID3v2 link to a picture elsewhere, not a picture
    if (mime.empty()) mime = engine::ImageMimeType(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    if (mime.empty()) return;
    candidates_.push_back({type, std::move(mime), data});
  }

  void AddId3v2(const TagLib::ID3v2::Tag* tag) {
    if (tag == nullptr) return;
    for (const TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
      const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
      if (picture != nullptr) Add(picture->type(), picture->mimeType(), picture->picture());
    }
  }

  void AddFlac(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
    for (const TagLib::FLAC::Picture* picture : pictures) {
      Add(picture->type(), picture->mimeType(), picture->data());
    }
  }

  void AddXiph(TagLib::Ogg::XiphComment* comment) {
    if (comment != nullptr) AddFlac(comment->pictureList());
  }

  // APEv2 cover items: a file name, a NUL, then the image bytes. "Cover Art (Front)" is the
  // front cover; the other "Cover Art (...)" items have no type this program uses.
  void AddApe(const TagLib::APE::Tag* tag) {
    if (tag == nullptr) return;
    for (const auto& [key, item] : tag->itemListMap()) {
      if (item.type() != TagLib::APE::Item::Binary || !key.upper().startsWith("COVER ART (")) continue;
      const TagLib::ByteVector value = item.binaryData();
      const int nul = value.find('\0');
      if (nul < 0) continue;
      const int type = key.upper() == "COVER ART (FRONT)" ? kFrontCover : kUnknownType;
      Add(type, TagLib::String(), value.mid(static_cast<unsigned int>(nul) + 1));
    }
  }

  void AddAsf(const TagLib::ASF::Tag* tag) {
    if (tag == nullptr) return;
    for (const TagLib::ASF::Attribute& attribute : AsfAttributes(*tag, "WM/Picture")) {
      if (attribute.type() != TagLib::ASF::Attribute::BytesType) continue;
      const TagLib::ASF::Picture picture = attribute.toPicture();
      if (picture.isValid()) Add(picture.type(), picture.mimeType(), picture.picture());
    }
  }

  void AddMp4(const TagLib::MP4::Tag* tag) {
    if (tag == nullptr || !tag->contains("covr")) return;
    for (const TagLib::MP4::CoverArt& art : tag->item("covr").toCoverArtList()) {
      const char* mime = "";
      switch (art.format()) {
        case TagLib::MP4::CoverArt::JPEG: mime = "image/jpeg"; break;
        case TagLib::MP4::CoverArt::PNG: mime = "image/png"; break;
        case TagLib::MP4::CoverArt::GIF: mime = "image/gif"; break;
        case TagLib::MP4::CoverArt::BMP: mime = "image/bmp"; break;
        default: break;
      }
      Add(kUnknownType, mime, art.data());
    }
  }

  CoverPicture Cover() const {
    if (candidates_.empty()) return {};
    auto chosen = std::find_if(candidates_.begin(), candidates_.end(),
                               [](const Candidate& c) { return c.type == kFrontCover; });
    if (chosen == candidates_.end()) chosen = candidates_.begin();
    CoverPicture cover;
    cover.mimeType = chosen->mimeType;
    cover.data.assign(chosen->data.begin(), chosen->data.end());
    return cover;
  }

 private:
  std::vector<Candidate> candidates_;
};

// Every picture the file's tags hold, for the formats whose pictures TagLib exposes.
CoverPicture ReadCover(TagLib::File* file) {
  PictureList pictures;
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
    if (mpeg->hasID3v2Tag()) pictures.AddId3v2(mpeg->ID3v2Tag());
    if (mpeg->hasAPETag()) pictures.AddApe(mpeg->APETag());
  } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
    pictures.AddFlac(flac->pictureList());
    if (flac->hasXiphComment()) pictures.AddXiph(flac->xiphComment());
    if (flac->hasID3v2Tag()) pictures.AddId3v2(flac->ID3v2Tag());
  } else if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file)) {
    pictures.AddXiph(vorbis->tag());
  } else if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(file)) {
    pictures.AddXiph(opus->tag());
  } else if (auto* speex = dynamic_cast<TagLib::Ogg::Speex::File*>(file)) {
    pictures.AddXiph(speex->tag());
  } else if (auto* oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File*>(file)) {
    pictures.AddXiph(oggFlac->tag());
  } else if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file)) {
    pictures.AddAsf(asf->tag());
  } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
    pictures.AddMp4(mp4->tag());
  } else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file)) {
    if (wav->hasID3v2Tag()) pictures.AddId3v2(wav->ID3v2Tag());
  } else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file)) {
    if (aiff->hasID3v2Tag()) pictures.AddId3v2(aiff->tag());
  } else if (auto* wavpack = dynamic_cast<TagLib::WavPack::File*>(file)) {
    if (wavpack->hasAPETag()) pictures.AddApe(wavpack->APETag());
  } else if (auto* ape = dynamic_cast<TagLib::APE::File*>(file)) {
    if (ape->hasAPETag()) pictures.AddApe(ape->APETag());
  } else if (auto* mpc = dynamic_cast<TagLib::MPC::File*>(file)) {
    if (mpc->hasAPETag()) pictures.AddApe(mpc->APETag());
  } else if (auto* tta = dynamic_cast<TagLib::TrueAudio::File*>(file)) {
    if (tta->hasID3v2Tag()) pictures.AddId3v2(tta->ID3v2Tag());
  }
  return pictures.Cover();
}

// What TagLib's property map does not carry for ASF: the description (ASF's comment) of the
// content description object, or a "Description" attribute where ffmpeg's muxer puts it; a
// WM/TrackNumber stored as a number, the zero-based WM/Track of older files; and WM/Year or the
// "date" attribute of ffmpeg's muxer.
void ReadAsfExtras(const TagLib::ASF::Tag* tag, SourceTags& out) {
  if (tag == nullptr) return;
  const auto text = [tag](const char* name) {
    for (const TagLib::ASF::Attribute& attribute : AsfAttributes(*tag, name)) {
      std::string value;
      switch (attribute.type()) {
        case TagLib::ASF::Attribute::UnicodeType: value = Text(attribute.toString()); break;
        case TagLib::ASF::Attribute::DWordType: value = std::to_string(attribute.toUInt()); break;
        case TagLib::ASF::Attribute::QWordType: value = std::to_string(attribute.toULongLong()); break;
        case TagLib::ASF::Attribute::WordType: value = std::to_string(attribute.toUShort()); break;
        default: break;
      }
      if (!value.empty()) return value;
    }
    return std::string();
  };
  if (out.comment.empty()) out.comment = Text(tag->comment());
  if (out.comment.empty()) out.comment = text("Description");
  if (out.track == 0) ParsePosition(text("WM/TrackNumber"), out.track, out.trackTotal);
  if (out.track == 0) {
    int zeroBased = -1;
    int ignored = 0;
    ParsePosition(text("WM/Track"), zeroBased, ignored);
    if (zeroBased >= 0) out.track = zeroBased + 1;
  }
  if (out.date.empty()) out.date = text("WM/Year");
  if (out.date.empty()) out.date = text("date");
}

SourceTags ReadTags(TagLib::File* file) {
  SourceTags out;
  const TagLib::PropertyMap properties = file->properties();
  out.title = First(properties, {"TITLE"});
  out.artist = All(properties, {"ARTIST"});
  out.albumArtist = All(properties, {"ALBUMARTIST", "ALBUM ARTIST", "ALBUM_ARTIST"});
  out.album = First(properties, {"ALBUM"});
  ParsePosition(First(properties, {"TRACKNUMBER"}), out.track, out.trackTotal);
  if (out.trackTotal == 0) out.trackTotal = Count(First(properties, {"TRACKTOTAL", "TOTALTRACKS"}));
  ParsePosition(First(properties, {"DISCNUMBER"}), out.disc, out.discTotal);
  if (out.discTotal == 0) out.discTotal = Count(First(properties, {"DISCTOTAL", "TOTALDISCS"}));
  out.date = First(properties, {"DATE", "YEAR"});
  out.genre = All(properties, {"GENRE"}, &GenreName);
  out.comment = First(properties, {"COMMENT", "DESCRIPTION"});
  out.composer = All(properties, {"COMPOSER"});

  if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file)) ReadAsfExtras(asf->tag(), out);

  // The generic tag, for what a format's property map leaves out.
  if (const TagLib::Tag* tag = file->tag()) {
    if (out.title.empty()) out.title = Text(tag->title());
    if (out.artist.empty()) out.artist = Text(tag->artist());
    if (out.album.empty()) out.album = Text(tag->album());
    if (out.comment.empty()) out.comment = Text(tag->comment());
    if (out.genre.empty()) out.genre = GenreName(Text(tag->genre()));
    if (out.date.empty() && tag->year() != 0) out.date = std::to_string(tag->year());
    if (out.track == 0) out.track = static_cast<int>(std::min(tag->track(), 999999u));
  }
  if (out.track == 0) out.trackTotal = 0;
  if (out.disc == 0) out.discTotal = 0;

  out.cover = ReadCover(file);
  return out;
}

// A read-only stream on a descriptor that has been checked to be a regular file, under the
// file's own name so that TagLib picks the format by extension first, as it does for a path.
class CheckedFileStream : public TagLib::FileStream {
 public:
  CheckedFileStream(int descriptor, std::string path)
      : TagLib::FileStream(descriptor, true), path_(std::move(path)) {}
  TagLib::FileName name() const override { return path_.c_str(); }

 private:
  std::string path_;
};

// The name the genre table gives number `n`, or "" for a number without one.
std::string Id3v1GenreName(int n) {
  if (n < 0 || n > 255) return {};
  const std::string name = platform::Id3GenreName(static_cast<std::uint8_t>(n));
  return name == platform::kUnknownGenre ? std::string() : name;
}

}  // namespace

void ParsePosition(const std::string& text, int& number, int& total) {
  std::size_t pos = 0;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  const std::optional<int> n = Number(text, pos);
  if (!n) return;
  number = *n;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  if (pos < text.size() && text[pos] == '/') {
    ++pos;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    if (const std::optional<int> t = Number(text, pos)) total = *t;
  }
}

std::string GenreName(const std::string& raw) {
  const std::string text = Trim(raw);
  std::size_t pos = 0;
  if (const std::optional<int> n = Number(text, pos); n && pos == text.size()) return Id3v1GenreName(*n);
  // ID3v2.3 references: "(17)", "(RX)", "(CR)", possibly several, then an optional refinement
  // text that names the genre more precisely; "((" starts a text that begins with "(".
  std::string first;
  pos = 0;
  while (pos < text.size() && text[pos] == '(' && text.compare(pos, 2, "((") != 0) {
    const std::size_t close = text.find(')', pos);
    if (close == std::string::npos) break;
    const std::string reference = text.substr(pos + 1, close - pos - 1);
    std::string name;
    if (reference == "RX") {
      name = "Remix";
    } else if (reference == "CR") {
      name = "Cover";
    } else {
      std::size_t at = 0;
      const std::optional<int> n = Number(reference, at);
      if (!n || at != reference.size()) break;  // not a reference: the text is a name
      name = Id3v1GenreName(*n);
    }
    if (first.empty()) first = name;
    pos = close + 1;
  }
  std::string refinement = Trim(text.substr(pos));
  if (refinement.compare(0, 2, "((") == 0) refinement.erase(0, 1);
  return refinement.empty() ? first : refinement;
}

SourceTags ReadSourceTags(const std::string& path) noexcept {
  try {
    // O_NONBLOCK: opening a FIFO must not wait for a writer before it can be refused.
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) return {};
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
      close(descriptor);
      return {};
    }
    CheckedFileStream stream(descriptor, path);  // owns the descriptor from here on
    if (!stream.isOpen()) return {};
    const TagLib::FileRef ref(&stream, false);
    if (ref.isNull()) return {};
    return ReadTags(ref.file());
  } catch (...) {
    return {};
  }
}

}  // namespace tags
