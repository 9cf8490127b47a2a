#include "platform/errtext.h"

#include <cstring>

namespace platform {

std::string SystemErrorText(int code) {
  switch (code) {
    case ERROR_FILE_EXISTS:
      return "The file exists.";
    case ERROR_OPEN_FAILED:
      return "The system cannot open the device or file specified.";
    default:
      return "System error " + std::to_string(code) + ".";
  }
}

std::string ErrnoText(int errnum) {
  char buffer[256];
  // The GNU variant may return a static text instead of filling the buffer.
  const char* text = strerror_r(errnum, buffer, sizeof buffer);
  return text != nullptr ? std::string(text) : "Error " + std::to_string(errnum);
}

}  // namespace platform
