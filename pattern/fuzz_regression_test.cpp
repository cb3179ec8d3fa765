// Replays every input kept in fuzz/regressions/ (inputs on which the fuzz target once failed)
// through the fuzz target's own code, so that the faults it found stay fixed on every platform.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz/pattern_fuzz_body.h"
#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

TEST(FuzzRegressionTest, KeptInputsRunCleanly) {
#ifndef TSL_FUZZ_REGRESSIONS_DIR
  FAIL() << "the folder of kept fuzz inputs is not known to this test program";
#else
  const std::string folder =
      testing::BuiltProgram(TSL_FUZZ_REGRESSIONS_DIR);  // Wine sees Linux paths as Z:
  std::vector<DirEntry> entries;
  ASSERT_TRUE(RealFileSystem().ListFolder(folder, &entries).ok()) << folder;
  int replayed = 0;
  for (const DirEntry& entry : entries) {
    if (entry.is_folder()) continue;
    std::string input;
    const std::string path = folder + testing::Separator() + entry.name;
    ASSERT_TRUE(RealFileSystem().ReadWholeFile(path, &input).ok()) << path;
    SCOPED_TRACE(entry.name);
    fuzzing::RunPatternFuzzInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    ++replayed;
  }
  ProcessPatternSettings() = PatternSettings{};
  EXPECT_GT(replayed, 0);
#endif
}

}  // namespace
}  // namespace tsl
