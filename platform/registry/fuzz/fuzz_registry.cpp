// Feeds arbitrary bytes to the .reg parser. Besides crashes and sanitizer reports it checks the
// store's promise: whatever the parser reads, writing it out and reading that back gives the
// same keys and values (so a persist never changes what it did not mean to change).
#include "platform/registry/reg_text.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const platform::RegParseResult first = platform::ParseRegText(bytes);
  if (!first.document) return 0;
  const std::string written = platform::FormatRegText(*first.document);
  const platform::RegParseResult second = platform::ParseRegText(written);
  if (!second.document || !(*second.document == *first.document)) std::abort();
  return 0;
}
