// libFuzzer target: parse_mov on arbitrary file bytes.
#include "fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return metascan::fuzz::runReader(parse_mov, metascan::fuzz::TextKind::fileBytes, data, size);
}
