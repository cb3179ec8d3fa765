// Replays the pattern fuzz target's seeds and the inputs it once failed on through the target's
// own code, so that the faults it found stay fixed on every platform.
#include <gtest/gtest.h>

#include "fuzz/pattern_fuzz_body.h"
#include "tests/support/fuzz_inputs.h"

namespace tsl {
namespace {

TEST(FuzzRegressionTest, KeptInputsRunCleanly) {
#ifndef TSL_FUZZ_DIR
  FAIL() << "the folder of kept fuzz inputs is not known to this test program";
#else
  int regressions = 0;
  for (const testing::KeptFuzzInput& input : testing::KeptFuzzInputs(TSL_FUZZ_DIR, "pattern")) {
    SCOPED_TRACE(input.name);
    fuzzing::RunPatternFuzzInput(reinterpret_cast<const std::uint8_t*>(input.bytes.data()),
                                 input.bytes.size());
    regressions += input.name.rfind("regressions/", 0) == 0;
  }
  EXPECT_GE(regressions, 2);
#endif
}

}  // namespace
}  // namespace tsl
