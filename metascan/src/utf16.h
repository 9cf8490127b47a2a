// UTF-16LE texts (as ASF stores them) to UTF-8 (the texts this library hands back).
#pragma once

#include "byte_cursor.h"

#include <string>

namespace metascan {

// Converts the code units in `bytes` up to the first zero unit (the terminator) or the end of
// the span, whichever comes first; an odd last byte is no code unit and is dropped. The result
// is always valid UTF-8: a surrogate without its partner becomes U+FFFD.
std::string utf16leToUtf8(Bytes bytes);

}  // namespace metascan
