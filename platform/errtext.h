// The system's own words for an error the program shows to the user.
#pragma once

#include <string>

namespace platform {

// The reason text for a C library errno value ("No space left on device").
std::string ErrnoText(int errnum);

}  // namespace platform
