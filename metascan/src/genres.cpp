#include "genres.h"

#include "platform/id3_genres.h"

namespace metascan {

const char* genreName(std::uint8_t number) { return platform::Id3GenreName(number); }

}  // namespace metascan
