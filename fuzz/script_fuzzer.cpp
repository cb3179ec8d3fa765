// libFuzzer target: the script reader in both modes, on arbitrary script text.
// Build with Clang: -DTSL_BUILD_FUZZ=ON (see fuzz/README.md).
#include <cstddef>
#include <cstdint>

#include "fuzz/script_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tsl::fuzzing::RunScriptFuzzInput(data, size);
  return 0;
}
