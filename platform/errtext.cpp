#include "platform/errtext.h"

#include <cstring>

namespace platform {

std::string ErrnoText(int errnum) {
  char buffer[256];
  // The GNU variant may return a static text instead of filling the buffer.
  const char* text = strerror_r(errnum, buffer, sizeof buffer);
  return text != nullptr ? std::string(text) : "Error " + std::to_string(errnum);
}

}  // namespace platform
