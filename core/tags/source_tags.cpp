#include "core/tags/source_tags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string_view>

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
#include <taglib/popularimeterframe.h>
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

// The e-mail address the desktop media player names its POPM rating with.
constexpr char kDesktopPlayerRatingEmail[] = "Windows Media Player 9 Series";

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

// The ID3v2 tag of a file of a format that may carry one.
TagLib::ID3v2::Tag* Id3v2TagOf(TagLib::File* file) {
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) return mpeg->hasID3v2Tag() ? mpeg->ID3v2Tag() : nullptr;
  if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) return flac->hasID3v2Tag() ? flac->ID3v2Tag() : nullptr;
  if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file)) return wav->hasID3v2Tag() ? wav->ID3v2Tag() : nullptr;
  if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file)) return aiff->hasID3v2Tag() ? aiff->tag() : nullptr;
  if (auto* tta = dynamic_cast<TagLib::TrueAudio::File*>(file)) return tta->hasID3v2Tag() ? tta->ID3v2Tag() : nullptr;
  return nullptr;
}

struct Candidate {
  int type = engine::kPictureOther;
  std::string mimeType;
  std::string description;
  TagLib::ByteVector data;
};

// The pictures a file holds, in the order its tags list them.
class PictureList {
 public:
  explicit PictureList(std::vector<SourceTags::LeftOut>& leftOut) : leftOut_(leftOut) {}

  void Add(int type, const TagLib::String& mimeType, const TagLib::String& description, const TagLib::ByteVector& data) {
    if (data.isEmpty() || Text(mimeType) == "-->") return;  // "-->": an ID3v2 link to a picture elsewhere
    if (type < 0 || type > 20) type = engine::kPictureOther;
    if (data.size() > engine::kMaxPictureBytes) {
      leftOut_.push_back({SourceTags::LeftOut::Kind::Picture, "picture " + std::to_string(type), data.size()});
      return;
    }
    // Only an image is a picture, whatever type it claims: a "cover" of text/html is not copied.
    // The type its bytes show is the one named (a JPEG declared "image/jpg" is "image/jpeg").
    std::string mime = engine::ImageMimeType(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    if (mime.empty()) return;
    candidates_.push_back({type, std::move(mime), Text(description), data});
  }

  void AddId3v2(const TagLib::ID3v2::Tag* tag) {
    if (tag == nullptr) return;
    for (const TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
      const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
      if (picture != nullptr) Add(picture->type(), picture->mimeType(), picture->description(), picture->picture());
    }
  }

  void AddFlac(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
    for (const TagLib::FLAC::Picture* picture : pictures) {
      Add(picture->type(), picture->mimeType(), picture->description(), picture->data());
    }
  }

  void AddXiph(TagLib::Ogg::XiphComment* comment) {
    if (comment != nullptr) AddFlac(comment->pictureList());
  }

  // APEv2 cover items: a file name, a NUL, then the image bytes. "Cover Art (Front)" is the
  // front cover, "Cover Art (Back)" the back cover; the others have no type this program names.
  void AddApe(const TagLib::APE::Tag* tag) {
    if (tag == nullptr) return;
    for (const auto& [key, item] : tag->itemListMap()) {
      if (item.type() != TagLib::APE::Item::Binary || !key.upper().startsWith("COVER ART (")) continue;
      const TagLib::ByteVector value = item.binaryData();
      const int nul = value.find('\0');
      if (nul < 0) continue;
      const TagLib::String upper = key.upper();
      const int type = upper == "COVER ART (FRONT)" ? engine::kPictureFrontCover
                       : upper == "COVER ART (BACK)" ? engine::kPictureBackCover
                                                     : engine::kPictureOther;
      Add(type, TagLib::String(), TagLib::String(), value.mid(static_cast<unsigned int>(nul) + 1));
    }
  }

  void AddAsf(const TagLib::ASF::Tag* tag) {
    if (tag == nullptr) return;
    for (const TagLib::ASF::Attribute& attribute : AsfAttributes(*tag, "WM/Picture")) {
      if (attribute.type() != TagLib::ASF::Attribute::BytesType) continue;
      const TagLib::ASF::Picture picture = attribute.toPicture();
      if (picture.isValid()) Add(picture.type(), picture.mimeType(), picture.description(), picture.picture());
    }
  }

  // MP4 names no picture types: the first picture is the one players show, the front cover.
  void AddMp4(const TagLib::MP4::Tag* tag) {
    if (tag == nullptr || !tag->contains("covr")) return;
    bool first = true;
    for (const TagLib::MP4::CoverArt& art : tag->item("covr").toCoverArtList()) {
      Add(first ? engine::kPictureFrontCover : engine::kPictureOther, TagLib::String(), TagLib::String(), art.data());
      first = false;
    }
  }

  // The front cover when the pictures tell types apart, else the first picture.
  CoverPicture Cover() const {
    if (candidates_.empty()) return {};
    auto chosen = std::find_if(candidates_.begin(), candidates_.end(),
                               [](const Candidate& c) { return c.type == engine::kPictureFrontCover; });
    if (chosen == candidates_.end()) chosen = candidates_.begin();
    CoverPicture cover;
    cover.mimeType = chosen->mimeType;
    cover.data.assign(chosen->data.begin(), chosen->data.end());
    return cover;
  }

  std::vector<engine::TagPicture> Pictures() const {
    std::vector<engine::TagPicture> out;
    for (const Candidate& c : candidates_) {
      out.push_back({c.type, c.description, c.mimeType, std::vector<std::uint8_t>(c.data.begin(), c.data.end())});
    }
    return out;
  }

 private:
  std::vector<SourceTags::LeftOut>& leftOut_;
  std::vector<Candidate> candidates_;
};

// Every picture the file's tags hold, for the formats whose pictures TagLib exposes.
void ReadPictures(TagLib::File* file, PictureList& pictures) {
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
    pictures.AddId3v2(Id3v2TagOf(file));
    if (mpeg->hasAPETag()) pictures.AddApe(mpeg->APETag());
  } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
    pictures.AddFlac(flac->pictureList());
    if (flac->hasXiphComment()) pictures.AddXiph(flac->xiphComment());
    pictures.AddId3v2(Id3v2TagOf(file));
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
  } else if (auto* wavpack = dynamic_cast<TagLib::WavPack::File*>(file)) {
    if (wavpack->hasAPETag()) pictures.AddApe(wavpack->APETag());
  } else if (auto* ape = dynamic_cast<TagLib::APE::File*>(file)) {
    if (ape->hasAPETag()) pictures.AddApe(ape->APETag());
  } else if (auto* mpc = dynamic_cast<TagLib::MPC::File*>(file)) {
    if (mpc->hasAPETag()) pictures.AddApe(mpc->APETag());
  } else {
    pictures.AddId3v2(Id3v2TagOf(file));  // WAV, AIFF, TrueAudio
  }
}

// The text of an ASF attribute of any text or number type; "" for others.
std::string AsfText(const TagLib::ASF::Attribute& attribute) {
  switch (attribute.type()) {
    case TagLib::ASF::Attribute::UnicodeType: return Text(attribute.toString());
    case TagLib::ASF::Attribute::BoolType: return attribute.toBool() ? "1" : "0";
    case TagLib::ASF::Attribute::DWordType: return std::to_string(attribute.toUInt());
    case TagLib::ASF::Attribute::QWordType: return std::to_string(attribute.toULongLong());
    case TagLib::ASF::Attribute::WordType: return std::to_string(attribute.toUShort());
    default: return {};
  }
}

// What TagLib's property map does not carry for ASF: the description (ASF's comment) of the
// content description object, or a "Description" attribute where ffmpeg's muxer puts it; a
// WM/TrackNumber stored as a number, the zero-based WM/Track of older files; and WM/Year or the
// "date" attribute of ffmpeg's muxer.
void ReadAsfExtras(const TagLib::ASF::Tag* tag, SourceTags& out) {
  if (tag == nullptr) return;
  const auto text = [tag](const char* name) {
    for (const TagLib::ASF::Attribute& attribute : AsfAttributes(*tag, name)) {
      if (attribute.type() == TagLib::ASF::Attribute::BoolType) continue;
      std::string value = AsfText(attribute);
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

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// The key of a field under any of the names the formats give it: TagLib's own keys stay, the
// names MusicBrainz's tagger gives in ID3v2 TXXX frames, MP4 freeform atoms and ASF attributes
// ("MusicBrainz Disc Id", "MusicBrainz/Disc Id") become the Vorbis comment keys TagLib uses.
std::string CanonicalKey(const std::string& name) {
  std::string key = UpperAscii(name);
  std::replace(key.begin(), key.end(), '/', ' ');
  static const std::pair<std::string_view, std::string_view> kAliases[] = {
      {"ALBUM ARTIST", "ALBUMARTIST"},
      {"ALBUM_ARTIST", "ALBUMARTIST"},
      {"MUSICBRAINZ TRACK ID", "MUSICBRAINZ_TRACKID"},
      {"MUSICBRAINZ RELEASE TRACK ID", "MUSICBRAINZ_RELEASETRACKID"},
      {"MUSICBRAINZ ALBUM ID", "MUSICBRAINZ_ALBUMID"},
      {"MUSICBRAINZ ARTIST ID", "MUSICBRAINZ_ARTISTID"},
      {"MUSICBRAINZ ALBUM ARTIST ID", "MUSICBRAINZ_ALBUMARTISTID"},
      {"MUSICBRAINZ RELEASE GROUP ID", "MUSICBRAINZ_RELEASEGROUPID"},
      {"MUSICBRAINZ WORK ID", "MUSICBRAINZ_WORKID"},
      {"MUSICBRAINZ DISC ID", "MUSICBRAINZ_DISCID"},
      {"MUSICBRAINZ ORIGINAL ARTIST ID", "MUSICBRAINZ_ORIGINALARTISTID"},
      {"MUSICBRAINZ ORIGINAL ALBUM ID", "MUSICBRAINZ_ORIGINALALBUMID"},
      {"MUSICBRAINZ ALBUM STATUS", "RELEASESTATUS"},
      {"MUSICBRAINZ ALBUM TYPE", "RELEASETYPE"},
      {"MUSICBRAINZ ALBUM RELEASE COUNTRY", "RELEASECOUNTRY"},
      {"ACOUSTID ID", "ACOUSTID_ID"},
      {"ACOUSTID FINGERPRINT", "ACOUSTID_FINGERPRINT"},
      {"MUSICIP PUID", "MUSICIP_PUID"},
  };
  for (const auto& [alias, canonical] : kAliases) {
    if (key == alias) return std::string(canonical);
  }
  return key;
}

// Every field of a file under its canonical key, each value cleaned, none empty, none twice.
class Fields {
 public:
  explicit Fields(std::vector<SourceTags::LeftOut>& leftOut) : leftOut_(leftOut) {}

  void Add(const std::string& key, const TagLib::String& value) {
    // A text can only grow when it becomes UTF-8: the cheap test first.
    if (value.size() > engine::kMaxTagTextBytes) {
      leftOut_.push_back({SourceTags::LeftOut::Kind::Text, key, static_cast<std::size_t>(value.size())});
      return;
    }
    Add(key, Text(value));
  }

  void Add(const std::string& key, std::string text) {
    if (text.size() > engine::kMaxTagTextBytes) {
      leftOut_.push_back({SourceTags::LeftOut::Kind::Text, key, text.size()});
      return;
    }
    if (text.empty()) return;
    std::vector<std::string>& values = map_[key];
    if (std::find(values.begin(), values.end(), text) == values.end()) values.push_back(std::move(text));
  }

  bool Has(const std::string& key) const { return map_.count(key) != 0; }

  const std::vector<std::string>& Values(const std::string& key) const {
    static const std::vector<std::string> kNone;
    const auto found = map_.find(key);
    return found == map_.end() ? kNone : found->second;
  }

  // The values of the first key present.
  const std::vector<std::string>& Values(std::initializer_list<const char*> keys) const {
    for (const char* key : keys) {
      if (key != nullptr && Has(key)) return Values(key);
    }
    return Values(std::string());
  }

  std::string First(std::initializer_list<const char*> keys) const {
    const std::vector<std::string>& values = Values(keys);
    return values.empty() ? std::string() : values.front();
  }

  void Rename(const std::string& from, const std::string& to) {
    const auto found = map_.find(from);
    if (found == map_.end()) return;
    std::vector<std::string> values = std::move(found->second);
    map_.erase(found);
    for (std::string& value : values) Add(to, std::move(value));
  }

  const std::map<std::string, std::vector<std::string>>& All() const { return map_; }

 private:
  std::vector<SourceTags::LeftOut>& leftOut_;
  std::map<std::string, std::vector<std::string>> map_;
};

// Stars of the desktop media player's ASF rating (1, 25, 50, 75, 99 for one to five stars).
int StarsOfSharedUserRating(unsigned value) {
  if (value == 0) return 0;
  if (value < 13) return 1;
  if (value < 38) return 2;
  if (value < 63) return 3;
  if (value < 87) return 4;
  return 5;
}

// Stars of an ID3v2 POPM rating byte, by the ranges the desktop media player reads (it writes
// 1, 64, 128, 196, 255).
int StarsOfPopularimeter(int value) {
  if (value <= 0) return 0;
  if (value < 32) return 1;
  if (value < 96) return 2;
  if (value < 160) return 3;
  if (value < 224) return 4;
  return 5;
}

std::optional<double> NumberIn(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// Stars of FMPS_RATING (0.0 … 1.0) and of RATING (1 … 5, or a percentage).
int StarsOfText(const std::string& fmps, const std::string& rating) {
  if (const auto value = NumberIn(fmps); value && *value > 0.0 && *value <= 1.0) {
    return std::clamp(static_cast<int>(std::lround(*value * 5.0)), 1, 5);
  }
  if (const auto value = NumberIn(rating); value && *value > 0.0 && *value <= 100.0) {
    return std::clamp(static_cast<int>(std::lround(*value <= 5.0 ? *value : *value / 20.0)), 1, 5);
  }
  return 0;
}

// The ASF attributes TagLib's property map leaves out, under the keys of the fields they hold.
int AddAsfFields(const TagLib::ASF::Tag* tag, const TagLib::StringList& unsupported, Fields& fields, bool& replayGain) {
  int stars = 0;
  if (tag == nullptr) return stars;
  for (const TagLib::String& name : unsupported) {
    const std::string key = Text(name);
    const TagLib::ASF::AttributeList attributes = AsfAttributes(*tag, key.c_str());
    const std::string upper = UpperAscii(key);
    if (upper.compare(0, 10, "REPLAYGAIN") == 0) {
      replayGain = true;
    } else if (key == "WM/SharedUserRating") {
      for (const TagLib::ASF::Attribute& attribute : attributes) {
        if (stars == 0) stars = StarsOfSharedUserRating(static_cast<unsigned>(std::atoi(AsfText(attribute).c_str())));
      }
    } else {
      // The artists after the first (which the content description object holds), the
      // compilation flag, and what MusicBrainz's and AcoustID's taggers add.
      std::string field;
      if (key == "Author") field = "ARTIST";
      if (key == "WM/IsCompilation") field = "COMPILATION";
      if (key == "WM/ComposerSortOrder") field = "COMPOSERSORT";
      if (key == "WM/InitialKey") field = "INITIALKEY";
      if (upper.compare(0, 12, "MUSICBRAINZ/") == 0 || upper.compare(0, 9, "ACOUSTID/") == 0) field = CanonicalKey(key);
      if (field.empty()) continue;
      for (const TagLib::ASF::Attribute& attribute : attributes) fields.Add(field, AsfText(attribute));
    }
  }
  return stars;
}

// The MP4 freeform atoms ("----:com.apple.iTunes:NAME") TagLib's property map leaves out.
void AddMp4Fields(const TagLib::MP4::Tag* tag, const TagLib::StringList& unsupported, Fields& fields) {
  if (tag == nullptr) return;
  for (const TagLib::String& name : unsupported) {
    if (!name.startsWith("----:") || !tag->contains(name)) continue;
    const int colon = name.rfind(":");
    const std::string key = CanonicalKey(Text(name.substr(static_cast<unsigned int>(colon) + 1)));
    for (const TagLib::String& value : tag->item(name).toStringList()) fields.Add(key, value);
  }
}

// Stars of the ID3v2 POPM frames: the desktop media player's own first, else the first rated.
int StarsOfId3v2(const TagLib::ID3v2::Tag* tag) {
  if (tag == nullptr) return 0;
  int any = 0;
  for (const TagLib::ID3v2::Frame* frame : tag->frameList("POPM")) {
    const auto* popm = dynamic_cast<const TagLib::ID3v2::PopularimeterFrame*>(frame);
    if (popm == nullptr) continue;
    const int stars = StarsOfPopularimeter(popm->rating());
    if (stars > 0 && Text(popm->email()) == kDesktopPlayerRatingEmail) return stars;
    if (any == 0) any = stars;
  }
  return any;
}

// A whole number of a text ("128", "128.4"); "" for anything else.
std::string WholeNumber(const std::string& text) {
  const std::optional<double> value = NumberIn(text);
  if (!value || *value <= 0.0 || *value > 1e6) return {};
  return std::to_string(std::lround(*value));
}

std::string FlagOf(const std::string& text) {
  const std::string upper = UpperAscii(text);
  return upper == "1" || upper == "TRUE" || upper == "YES" ? "1" : std::string();
}

// A key that can name a TXXX frame of its own: printable ASCII of a sensible length. TagLib's
// keys with a colon are a frame's description ("COMMENT:ITUNNORM", "PERFORMER:PIANO"), which a
// TXXX name would not keep apart from the frame they belong to.
bool CarriableKey(const std::string& key) {
  if (key.empty() || key.size() > 64 || key.find(':') != std::string::npos) return false;
  return std::all_of(key.begin(), key.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

std::vector<std::string> GenreNames(const std::vector<std::string>& values) {
  std::vector<std::string> names;
  for (const std::string& value : values) AppendUnique(names, GenreName(value));
  return names;
}

SourceTags ReadTags(TagLib::File* file) {
  SourceTags out;
  const TagLib::PropertyMap properties = file->properties();
  Fields fields(out.leftOut);
  for (const auto& [key, values] : properties) {
    const std::string canonical = CanonicalKey(Text(key));
    for (const TagLib::String& value : values) fields.Add(canonical, value);
  }
  const TagLib::StringList unsupported = properties.unsupportedData();
  auto* asf = dynamic_cast<TagLib::ASF::File*>(file);
  TagLib::ID3v2::Tag* id3v2 = Id3v2TagOf(file);
  if (asf != nullptr) out.rating = AddAsfFields(asf->tag(), unsupported, fields, out.hadReplayGain);
  if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) AddMp4Fields(mp4->tag(), unsupported, fields);
  // TagLib's name for ID3v2's TIT1 and ASF's WM/ContentGroupDescription.
  if (asf != nullptr || id3v2 != nullptr) fields.Rename("WORK", "GROUPING");

  out.title = fields.First({"TITLE"});
  out.artists = fields.Values({"ARTIST"});
  out.artist = Join(out.artists);
  out.albumArtists = fields.Values({"ALBUMARTIST"});
  out.albumArtist = Join(out.albumArtists);
  out.album = fields.First({"ALBUM"});
  ParsePosition(fields.First({"TRACKNUMBER"}), out.track, out.trackTotal);
  if (out.trackTotal == 0) out.trackTotal = Count(fields.First({"TRACKTOTAL", "TOTALTRACKS"}));
  ParsePosition(fields.First({"DISCNUMBER"}), out.disc, out.discTotal);
  if (out.discTotal == 0) out.discTotal = Count(fields.First({"DISCTOTAL", "TOTALDISCS"}));
  out.date = fields.First({"DATE", "YEAR"});
  out.genres = GenreNames(fields.Values({"GENRE"}));
  out.genre = Join(out.genres);
  out.comment = fields.First({"COMMENT", "DESCRIPTION"});
  out.composers = fields.Values({"COMPOSER"});
  out.composer = Join(out.composers);

  if (asf != nullptr) ReadAsfExtras(asf->tag(), out);

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
  if (out.artists.empty() && !out.artist.empty()) out.artists = {out.artist};
  if (out.genres.empty() && !out.genre.empty()) out.genres = {out.genre};

  for (const TagFieldInfo& info : TagFields()) {
    std::vector<std::string> values = fields.Values({info.keys[0], info.keys[1], info.keys[2]});
    if (!info.several && values.size() > 1) values.resize(1);
    std::vector<std::string>& kept = out.more[static_cast<std::size_t>(info.field)];
    for (const std::string& value : values) {
      const std::string text = info.value == FieldValue::Number ? WholeNumber(value)
                               : info.value == FieldValue::Flag ? FlagOf(value)
                                                                : value;
      if (!text.empty()) kept.push_back(text);
    }
  }

  if (out.rating == 0) out.rating = StarsOfId3v2(id3v2);
  if (out.rating == 0) out.rating = StarsOfText(fields.First({"FMPS_RATING"}), fields.First({"RATING"}));
  for (const auto& [key, values] : fields.All()) {
    if (key.compare(0, 11, "REPLAYGAIN_") == 0 || key.compare(0, 5, "R128_") == 0) out.hadReplayGain = true;
    if (!IsConsumedKey(key) && CarriableKey(key)) out.others.emplace_back(key, values);
  }

  PictureList pictures(out.leftOut);
  ReadPictures(file, pictures);
  out.cover = pictures.Cover();
  out.pictures = pictures.Pictures();
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
