// libFuzzer target: getid3_id3v1 on arbitrary file bytes.
#include "fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return metascan::fuzz::runReader(getid3_id3v1, metascan::fuzz::TextKind::fileBytes, data, size);
}
