// libFuzzer target: the synchronization settings readers, on arbitrary script text.
// Build with Clang: -DTSL_BUILD_FUZZ=ON (see fuzz/README.md).
#include <cstddef>
#include <cstdint>

#include "fuzz/synch_settings_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tsl::fuzzing::RunSynchSettingsFuzzInput(data, size);
  return 0;
}
