// libFuzzer target: the shell link reader and writer, and the icon counters, on arbitrary bytes.
// Build with Clang: -DTSL_BUILD_FUZZ=ON (see fuzz/README.md).
#include <cstddef>
#include <cstdint>

#include "fuzz/shell_link_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tsl::fuzzing::RunShellLinkFuzzInput(data, size);
  return 0;
}
