// libFuzzer target: parse_wmv on arbitrary file bytes.
#include "fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return metascan::fuzz::runReader(parse_wmv, metascan::fuzz::TextKind::utf8, data, size);
}
