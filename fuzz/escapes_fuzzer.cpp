// libFuzzer target: escape coding, escape-aware scanning and mask lists, on arbitrary text.
// Build with Clang: -DTSL_BUILD_FUZZ=ON (see fuzz/README.md).
#include <cstddef>
#include <cstdint>

#include "fuzz/escapes_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tsl::fuzzing::RunEscapesFuzzInput(data, size);
  return 0;
}
