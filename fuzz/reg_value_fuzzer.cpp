// libFuzzer target: .REG value lines read, written back and wrapped.
// Build with Clang: -DTSL_BUILD_FUZZ=ON (see fuzz/README.md).
#include <cstddef>
#include <cstdint>

#include "fuzz/reg_value_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tsl::fuzzing::RunRegValueFuzzInput(data, size);
  return 0;
}
