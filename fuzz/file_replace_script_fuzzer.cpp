// libFuzzer target: the file replace script loader, on arbitrary script bytes and window sizes.
// Build with Clang: -DTSL_BUILD_FUZZ=ON (see fuzz/README.md).
#include <cstddef>
#include <cstdint>

#include "fuzz/file_replace_script_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tsl::fuzzing::RunFileReplaceScriptFuzzInput(data, size);
  return 0;
}
