// A summary of what a source carries into its MP3 beyond the fields the wizard shows, for the
// wizard and the information panel ("More tags: lyrics, rating ★★★★★, 2 composers …"). Keys and
// numbers only: the caller words and translates them. No Qt here; any thread.
#pragma once

#include <vector>

#include "core/tags/source_tags.h"

namespace tags {

enum class MoreTag {
  Artists,         // count: the artists, when there are several
  AlbumArtists,    // count: the album artists, when there are several
  Composers,       // count: the composers, when there are several
  Genres,          // count: the genres, when there are several
  Lyrics,
  Rating,          // count: the stars, 1 … 5
  Publisher,
  Bpm,
  Isrc,
  Grouping,
  Subtitle,
  Conductor,
  Lyricist,
  Remixer,
  OriginalYear,
  Copyright,
  SortOrders,      // count: how many of the album, artist, album artist, title, composer sort orders
  Compilation,
  MusicBrainzIds,  // count: how many MusicBrainz and AcoustID identifiers
  Pictures,        // count: the pictures besides the front cover
  Other,           // count: every other field
};

struct MoreTagCount {
  MoreTag tag;
  int count = 1;  // see MoreTag; 1 where the key says it all
  bool operator==(const MoreTagCount&) const = default;
};

// What `source` carries beyond title, artist, album artist, album, track, disc, date, genre,
// comment, composer and its front cover, in MoreTag's order; empty when nothing.
std::vector<MoreTagCount> SummarizeMoreTags(const SourceTags& source);

}  // namespace tags
