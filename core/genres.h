// The genre names that the wizard's genre box offers, in its order. A task stores its genre as
// a name; the box also takes any other text.
#pragma once

#include <array>
#include <cstddef>

#include "platform/id3_genres.h"

namespace core {

namespace detail {

constexpr std::array<const char*, 164> AllGenreNames() {
  std::array<const char*, 164> names{};
  std::size_t at = 0;
  for (const char* name : platform::kId3v1Genres) names[at++] = name;
  for (const char* name : platform::kId3ExtendedGenres) names[at++] = name;
  names[at] = platform::kUnknownGenre;
  return names;
}

}  // namespace detail

// 164 names: the ID3v1 genres 0-147 in number order, the fifteen further names of numbers
// 240-254, and "Unknown".
inline constexpr std::array<const char*, 164> kGenreNames = detail::AllGenreNames();

}  // namespace core
