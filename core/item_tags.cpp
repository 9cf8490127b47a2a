#include "core/item_tags.h"

#include <algorithm>

#include "core/tags/folder_art.h"
#include "core/tags/source_tags.h"
#include "core/tags/tag_mapping.h"
#include "platform/paths/path_names.h"

namespace core {

namespace {

const std::string& FirstOf(const std::string& text, const std::string& fallback) {
  return text.empty() ? fallback : text;
}

// A file's name without its extension: the title of a source that has none.
std::string NameWithoutExtension(const std::string& path) {
  const std::string name = platform::FileNameOf(path);
  return name.substr(0, name.size() - platform::ExtensionOf(name).size());
}

}  // namespace

ShownTags ShownTagsOf(const ProbedTags& found, const std::string& sourceFile) {
  ShownTags shown;
  shown.title = FirstOf(found.title, NameWithoutExtension(sourceFile));
  shown.artist = FirstOf(found.artist, found.author);
  shown.albumArtist = found.albumArtist;
  shown.album = found.album;
  shown.year = found.year;
  shown.comment = FirstOf(found.comment, found.copyright);
  shown.genre = found.genre;
  shown.composer = found.composer;
  shown.track = engine::PositionText(found.track, found.trackTotal);
  shown.disc = found.disc;
  shown.discTotal = found.discTotal;
  shown.coverMimeType = found.coverMimeType;
  shown.coverBytes = found.coverBytes;
  return shown;
}

TagChoice ChoiceOf(const ShownTags& shown, bool omitCover) {
  TagChoice choice;
  choice.title = shown.title;
  choice.artist = shown.artist;
  choice.albumArtist = shown.albumArtist;
  choice.album = shown.album;
  choice.year = shown.year;
  choice.comment = shown.comment;
  choice.genre = shown.genre;
  choice.composer = shown.composer;
  choice.track = shown.track;
  choice.disc = shown.disc;
  choice.discTotal = shown.discTotal;
  choice.omitCover = omitCover;
  return choice;
}

engine::Mp3Tags ResolveTags(const std::string& sourceFile, const TagChoice& choice) {
  const tags::SourceTags found = tags::ReadSourceTags(sourceFile);
  const ShownTags shown = ShownTagsOf(ProbeTags(sourceFile, found), sourceFile);
  tags::TagOverrides overrides;
  overrides.title = choice.title.value_or(shown.title);
  overrides.artist = choice.artist.value_or(shown.artist);
  overrides.albumArtist = choice.albumArtist.value_or(shown.albumArtist);
  overrides.album = choice.album.value_or(shown.album);
  overrides.date = choice.year.value_or(shown.year);
  overrides.comment = choice.comment.value_or(shown.comment);
  overrides.genre = choice.genre.value_or(shown.genre);
  overrides.composer = choice.composer.value_or(shown.composer);
  int track = 0, trackTotal = 0;
  tags::ParsePosition(choice.track.value_or(shown.track), track, trackTotal);
  overrides.track = track;
  overrides.trackTotal = track > 0 ? trackTotal : 0;
  overrides.disc = choice.disc.value_or(shown.disc);
  overrides.discTotal = *overrides.disc > 0 ? choice.discTotal.value_or(shown.discTotal) : 0;
  overrides.carryPictures = !choice.omitCover;
  if (choice.folderArt && !choice.omitCover) {
    const bool ownFront = std::any_of(found.pictures.begin(), found.pictures.end(), [](const engine::TagPicture& p) {
      return p.type == engine::kPictureFrontCover;
    });
    if (!ownFront) {
      if (const auto art = tags::FindFolderArt(platform::FolderOf(sourceFile))) overrides.folderCover = art->AsFrontCover();
    }
  }
  return tags::MapToMp3Tags(found, overrides);
}

}  // namespace core
