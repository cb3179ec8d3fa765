// libFuzzer target: .REG files loaded (REGEDIT4 and UTF-16), their value lines listed and read.
// Build with Clang: -DTSL_BUILD_FUZZ=ON (see fuzz/README.md).
#include <cstddef>
#include <cstdint>

#include "fuzz/reg_file_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tsl::fuzzing::RunRegFileFuzzInput(data, size);
  return 0;
}
