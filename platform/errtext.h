// The system's message texts for the few error codes the program shows to the user.
#pragma once

#include <string>

namespace platform {

constexpr int ERROR_FILE_EXISTS = 80;
constexpr int ERROR_OPEN_FAILED = 110;

// The text for a Windows system error code ("The file exists." for 80); unknown codes give a
// generic text that names the number.
std::string SystemErrorText(int code);

// The reason text for a C library errno value ("No space left on device").
std::string ErrnoText(int errnum);

}  // namespace platform
