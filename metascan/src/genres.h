// The ID3v1 genre names by genre number.
#pragma once

#include <cstdint>

namespace metascan {

// The name of genre `number`: the ID3v1 list with its common extension for 0-147, fifteen more
// names for 240-254, and "Unknown" for every number without a name (148-239 and 255).
const char* genreName(std::uint8_t number);

}  // namespace metascan
