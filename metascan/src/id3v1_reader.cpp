// ID3v1: the last 128 bytes of the file.
//
//   0   3  "TAG"
//   3  30  title        33  30  artist      63  30  album       93   4  year
//  97  30  comment (v1.1: 28 bytes of comment, byte 125 zero, byte 126 the track number)
// 127   1  genre number
#include "genres.h"
#include "readers.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace metascan {

namespace {

constexpr std::size_t kTagSize = 128;

struct TextSlot {
  std::size_t offset;
  std::size_t width;
  TagField field;
};

constexpr std::array<TextSlot, 5> kTextSlots = {{
    {3, 30, TagField::title},
    {33, 30, TagField::artist},
    {63, 30, TagField::album},
    {93, 4, TagField::year},
    {97, 30, TagField::comment},
}};

// A fixed-width field ends at its first zero byte or at its full width; trailing blanks stay.
std::string fixedText(const std::array<std::uint8_t, kTagSize>& tag, const TextSlot& slot) {
  auto begin = tag.begin() + static_cast<std::ptrdiff_t>(slot.offset);
  auto end = begin + static_cast<std::ptrdiff_t>(slot.width);
  return std::string(begin, std::find(begin, end, std::uint8_t{0}));
}

}  // namespace

bool readId3v1(const MediaFile& file, FoundTags& found) {
  if (file.size() < kTagSize) return true;
  std::array<std::uint8_t, kTagSize> tag{};
  if (file.readAt(file.size() - kTagSize, tag) != kTagSize) return true;
  if (std::memcmp(tag.data(), "TAG", 3) != 0) return true;

  for (const TextSlot& slot : kTextSlots) found.set(slot.field, fixedText(tag, slot));
  found.set(TagField::genre, genreName(tag[127]));
  if (tag[125] == 0 && tag[126] != 0) found.setTrack(tag[126]);
  return true;
}

}  // namespace metascan
