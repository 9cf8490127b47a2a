#include "core/tags/tag_mapping.h"

#include <algorithm>
#include <utility>

namespace tags {

namespace {

std::vector<std::string> SplitValues(const std::string& text) {
  std::vector<std::string> values;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find("; ", at), text.size());
    std::string value = text.substr(at, end - at);
    if (!value.empty()) values.push_back(std::move(value));
    at = end + 2;
  }
  return values;
}

// The text and the values of a field that may hold several: the source's, or the user's.
void TakeSeveral(const std::optional<std::string>& user, const std::string& sourceText,
                 const std::vector<std::string>& sourceValues, std::string& text, std::vector<std::string>& values) {
  if (!user || *user == sourceText) {
    text = sourceText;
    values = sourceValues;
  } else {
    text = *user;
    values = SplitValues(*user);
  }
}

engine::Id3Frame FrameOf(const TagFieldInfo& info, const std::vector<std::string>& values) {
  switch (info.kind) {
    case engine::Id3Frame::Kind::UserText: return engine::Id3Frame::UserText(info.target, values);
    case engine::Id3Frame::Kind::Lyrics: return engine::Id3Frame::Lyrics(values.front());
    case engine::Id3Frame::Kind::UniqueFileId: return engine::Id3Frame::UniqueFileId(info.target, values.front());
    default: return engine::Id3Frame::Text(info.target, values);
  }
}

}  // namespace

int PopularimeterRating(int stars) {
  static constexpr int kBytes[] = {0, 1, 64, 128, 196, 255};
  return stars >= 1 && stars <= 5 ? kBytes[stars] : 0;
}

std::vector<engine::Id3Frame> MoreTagFrames(const SourceTags& source) {
  std::vector<engine::Id3Frame> frames;
  for (const TagFieldInfo& info : TagFields()) {
    const std::vector<std::string>& values = source.Values(info.field);
    if (!values.empty()) frames.push_back(FrameOf(info, values));
  }
  if (const int rating = PopularimeterRating(source.rating); rating > 0) {
    frames.push_back(engine::Id3Frame::Popularimeter(kRatingEmail, rating));
  }
  for (const auto& [key, values] : source.others) frames.push_back(engine::Id3Frame::UserText(key, values));
  return frames;
}

std::vector<engine::TagPicture> PicturesToWrite(const SourceTags& source, const TagOverrides& overrides) {
  std::vector<engine::TagPicture> pictures;
  if (!overrides.carryPictures) return pictures;
  const bool hasFront = std::any_of(source.pictures.begin(), source.pictures.end(), [](const engine::TagPicture& p) {
    return p.type == engine::kPictureFrontCover;
  });
  if (!hasFront && overrides.folderCover && !overrides.folderCover->data.empty()) {
    pictures.push_back(*overrides.folderCover);
    pictures.back().type = engine::kPictureFrontCover;
  }
  pictures.insert(pictures.end(), source.pictures.begin(), source.pictures.end());
  // The front cover first: it keeps its own description, and a reader that takes the first
  // picture takes it.
  std::stable_partition(pictures.begin(), pictures.end(),
                        [](const engine::TagPicture& p) { return p.type == engine::kPictureFrontCover; });

  std::vector<engine::TagPicture> kept;
  std::vector<std::string> descriptions;
  bool icon = false, otherIcon = false;
  for (engine::TagPicture& picture : pictures) {
    if (picture.type == 1 && std::exchange(icon, true)) continue;
    if (picture.type == 2 && std::exchange(otherIcon, true)) continue;
    const std::string base = picture.description;
    for (int n = 2; std::find(descriptions.begin(), descriptions.end(), picture.description) != descriptions.end(); ++n) {
      picture.description = base + (base.empty() ? "" : " ") + "(" + std::to_string(n) + ")";
    }
    descriptions.push_back(picture.description);
    kept.push_back(std::move(picture));
  }
  return kept;
}

engine::Mp3Tags MapToMp3Tags(const SourceTags& source, const TagOverrides& overrides) {
  engine::Mp3Tags out;
  out.title = overrides.title.value_or(source.title);
  TakeSeveral(overrides.artist, source.artist, source.artists, out.artist, out.artists);
  TakeSeveral(overrides.albumArtist, source.albumArtist, source.albumArtists, out.albumArtist, out.albumArtists);
  out.album = overrides.album.value_or(source.album);
  out.date = overrides.date.value_or(source.date);
  TakeSeveral(overrides.genre, source.genre, source.genres, out.genre, out.genres);
  out.comment = overrides.comment.value_or(source.comment);
  TakeSeveral(overrides.composer, source.composer, source.composers, out.composer, out.composers);
  out.track = overrides.track.value_or(source.track);
  out.trackTotal = overrides.trackTotal.value_or(source.trackTotal);
  out.disc = overrides.disc.value_or(source.disc);
  out.discTotal = overrides.discTotal.value_or(source.discTotal);
  if (overrides.carryMoreTags) out.frames = MoreTagFrames(source);
  std::vector<engine::TagPicture> pictures = PicturesToWrite(source, overrides);
  // Asked for once, as the file is written: handed over, not copied.
  if (!pictures.empty()) out.pictures = [pictures = std::move(pictures)]() mutable { return std::move(pictures); };
  for (const SourceTags::LeftOut& left : source.leftOut) out.leftOut.push_back({left.what, left.bytes});
  return out;
}

std::function<std::vector<engine::TagPicture>()> PictureReader(std::string path, TagOverrides overrides) {
  return [path = std::move(path), overrides = std::move(overrides)] {
    return PicturesToWrite(ReadSourceTags(path), overrides);
  };
}

}  // namespace tags
