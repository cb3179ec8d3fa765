// Replays the seeds of the script reader and escapes fuzz targets, and the inputs they once
// failed on, through the targets' own code, so that what they found stays fixed on every
// platform.
#include <gtest/gtest.h>

#include "fuzz/escapes_fuzz_body.h"
#include "fuzz/script_fuzz_body.h"
#include "registry/reg_file.h"
#include "tests/support/fuzz_inputs.h"

namespace tsl {
namespace {

template <typename Body>
void Replay(const char* target, Body body) {
#ifndef TSL_FUZZ_DIR
  FAIL() << "the folder of kept fuzz inputs is not known to this test program";
#else
  testing::ReplayKeptFuzzInputs(TSL_FUZZ_DIR, target, body);
#endif
}

TEST(ScriptFuzzRegressionTest, KeptInputsRunCleanly) {
  Replay("script", fuzzing::RunScriptFuzzInput);
}

TEST(EscapesFuzzRegressionTest, KeptInputsRunCleanly) {
  Replay("escapes", fuzzing::RunEscapesFuzzInput);
}

// The body's own checks must be able to fail: a registry file loaded from disk gives the
// sections its text gives when parsed directly.
TEST(ScriptFuzzRegressionTest, RegistryFileLoadsAsItsTextParses) {
  const std::string text = "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"Name\"=\"one \\\r\n  two\"\r\n";
  ASSERT_TRUE(fuzzing::ScratchFile::Write(text));
  RegFile reg_file;
  std::string error;
  ASSERT_EQ(reg_file.Load(fuzzing::ScratchFile::Path(), &error), RegFileRead::kLoaded);
  const ScriptFile& loaded = reg_file.document();
  ScriptFile parsed(/*registry_mode=*/true);
  parsed.Parse(text);
  EXPECT_TRUE(fuzzing::SameSections(loaded, parsed));
  ScriptFile plain;
  plain.Parse(text);
  EXPECT_FALSE(fuzzing::SameSections(loaded, plain));  // the continued line is joined only once
}

}  // namespace
}  // namespace tsl
