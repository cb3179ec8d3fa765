// libFuzzer target: file replace script expressions, parsed, evaluated and checked against the
// plain parse rule. Build with Clang: -DTSL_BUILD_FUZZ=ON (see fuzz/README.md).
#include <cstddef>
#include <cstdint>

#include "fuzz/expression_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tsl::fuzzing::RunExpressionFuzzInput(data, size);
  return 0;
}
