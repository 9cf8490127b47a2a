// The genre names that the wizard's genre box offers, in its order. A task stores its genre as
// a name; the box also takes any other text.
#pragma once

#include <array>

// 164 names: the ID3v1 genres 0-147 in number order, the fifteen further names of numbers
// 240-254, and "Unknown".
extern const std::array<const char*, 164> GenreNames;
