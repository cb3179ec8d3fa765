// libFuzzer target: arbitrary bytes as search and replace expressions in both syntaxes, searched
// over arbitrary text. Build with Clang: -DTSL_BUILD_FUZZ=ON (see fuzz/README.md).
#include <cstddef>
#include <cstdint>

#include "fuzz/pattern_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tsl::fuzzing::RunPatternFuzzInput(data, size);
  return 0;
}
