#include "core/genres.h"

#include "platform/id3_genres.h"

namespace {

constexpr std::array<const char*, 164> AllNames() {
  std::array<const char*, 164> names{};
  std::size_t at = 0;
  for (const char* name : platform::kId3v1Genres) names[at++] = name;
  for (const char* name : platform::kId3ExtendedGenres) names[at++] = name;
  names[at] = platform::kUnknownGenre;
  return names;
}

}  // namespace

const std::array<const char*, 164> GenreNames = AllNames();
