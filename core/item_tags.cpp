#include "core/item_tags.h"

#include "core/tags/source_tags.h"
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
  const ProbedTags found = ProbeTags(sourceFile);
  const ShownTags shown = ShownTagsOf(found, sourceFile);
  engine::Mp3Tags tags;
  tags.title = choice.title.value_or(shown.title);
  tags.artist = choice.artist.value_or(shown.artist);
  tags.albumArtist = choice.albumArtist.value_or(shown.albumArtist);
  tags.album = choice.album.value_or(shown.album);
  tags.date = choice.year.value_or(shown.year);
  tags.comment = choice.comment.value_or(shown.comment);
  tags.genre = choice.genre.value_or(shown.genre);
  tags.composer = choice.composer.value_or(shown.composer);
  tags::ParsePosition(choice.track.value_or(shown.track), tags.track, tags.trackTotal);
  tags.disc = choice.disc.value_or(shown.disc);
  tags.discTotal = choice.discTotal.value_or(shown.discTotal);
  if (tags.disc == 0) tags.discTotal = 0;
  if (found.coverBytes > 0 && !choice.omitCover) tags.cover = [sourceFile] { return ReadCover(sourceFile); };
  return tags;
}

}  // namespace core
