// The tags an MP3 gets, by one rule that the desktop program and tavisto-convert share: every
// field the user set (in the wizard, or with an option), and for every other field the source's
// own, with the fallbacks a field has when the source lacks it (the title is the file name, the
// artist the author, the comment the copyright).
//
// Any thread: ResolveTags runs on a conversion's worker as the conversion starts, so that a
// long list of items holds no source's tags, let alone its pictures.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/tag_probe.h"
#include "engine/mp3_tags.h"

namespace core {

// The fields as a task shows them: what the wizard's tag page and the information panel show.
struct ShownTags {
  std::string title, artist, albumArtist, album, year, comment, genre, composer;
  std::string track;  // "3" or "3/12"
  std::int32_t disc = 0, discTotal = 0;
  // The front cover, by type and size; the picture itself is read again when it is written.
  std::string coverMimeType;
  std::int64_t coverBytes = 0;
};

// What the source's tags give each field, with the fallbacks.
ShownTags ShownTagsOf(const ProbedTags& found, const std::string& sourceFile);

// The fields a user has set; an unset field takes the source's own.
struct TagChoice {
  std::optional<std::string> title, artist, albumArtist, album, year, comment, genre, composer, track;
  std::optional<std::int32_t> disc, discTotal;
  bool omitCover = false;  // leave the source's pictures out
  // A source without a front cover of its own takes the album art beside it (Folder.jpg ...).
  bool folderArt = true;
};

// Every field of `shown` as set: what a task whose fields the user saw and confirmed asks for.
TagChoice ChoiceOf(const ShownTags& shown, bool omitCover);

// The MP3's tags for `sourceFile`: every tag it holds (read now, pictures included: call it when
// the MP3 is about to be written) under `choice`, the fields the user did not set with their
// fallbacks, and the album art beside it where the source has no front cover.
engine::Mp3Tags ResolveTags(const std::string& sourceFile, const TagChoice& choice);

}  // namespace core
