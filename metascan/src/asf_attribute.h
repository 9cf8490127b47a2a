// The named attributes of an ASF extended content description and the fields they fill.
#pragma once

#include "byte_cursor.h"
#include "found_tags.h"

#include <cstdint>
#include <string_view>

namespace metascan {

struct AsfAttribute {
  Bytes name;                        // UTF-16LE, with its terminator
  std::uint16_t type = 0;            // 0 text, 1 bytes, 2 boolean, 3, 4, 5: 32-, 64-, 16-bit number
  Bytes value;                       // cut at the end of its object
  std::uint16_t declaredLength = 0;  // the value length the file states
};

// Fills the field the attribute's name (any letter case) stands for: "wm/albumartist" and
// "artist" the artist, "wm/albumtitle" and "album" the album, "genre" and "wm/genre" the genre,
// "wm/year" and "year" the year, "wm/tracknumber" the track. Other names are ignored.
void applyAsfAttribute(const AsfAttribute& attribute, FoundTags& found);

// The number a text starts with: optional blanks and sign, then decimal digits ("07" and "7/12"
// give 7); 0 when the text does not start with a number; held to the 32-bit range.
std::int32_t leadingNumber(std::string_view text);

}  // namespace metascan
