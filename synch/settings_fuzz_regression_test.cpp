// Replays the seeds of the synchronization settings fuzz target, and the inputs it once failed
// on, through the target's own code, so that what it found stays fixed on every platform.
#include <gtest/gtest.h>

#include "fuzz/synch_settings_fuzz_body.h"
#include "tests/support/fuzz_inputs.h"

namespace tsl {
namespace {

TEST(SettingsFuzzRegressionTest, KeptInputsRunCleanly) {
#ifndef TSL_FUZZ_DIR
  FAIL() << "the folder of kept fuzz inputs is not known to this test program";
#else
  std::vector<testing::KeptFuzzInput> inputs =
      testing::KeptFuzzInputs(TSL_FUZZ_DIR, "synch_settings");
  EXPECT_FALSE(inputs.empty());
  for (const testing::KeptFuzzInput& input : inputs) {
    SCOPED_TRACE(input.name);
    fuzzing::RunSynchSettingsFuzzInput(reinterpret_cast<const std::uint8_t*>(input.bytes.data()),
                                       input.bytes.size());
  }
#endif
}

// The date reader of the target accepts what the job's reader accepts, in the conventions it
// chose, and only real dates.
TEST(SettingsFuzzRegressionTest, DateReaderTakesRealDatesOnly) {
  const DateConventions conventions = fuzzing::FuzzDateConventions(0);  // M/d/yyyy
  EXPECT_TRUE(fuzzing::ReadFuzzDate(conventions, "2/29/2024", false).has_value());
  EXPECT_FALSE(fuzzing::ReadFuzzDate(conventions, "2/29/2023", false).has_value());
  std::optional<FileTime> start = fuzzing::ReadFuzzDate(conventions, "12/31/1999", false);
  std::optional<FileTime> end = fuzzing::ReadFuzzDate(conventions, "12/31/1999", true);
  ASSERT_TRUE(start && end);
  EXPECT_EQ(*end - *start, (23 * 3600 + 59 * 60 + 59) * FileTime{10000000});
}

}  // namespace
}  // namespace tsl
