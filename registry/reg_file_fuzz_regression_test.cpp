// Replays the seeds of the .REG fuzz targets and the inputs they once failed on, and loads
// hostile files whose size would show any work that grows faster than the input.
#include <gtest/gtest.h>

#include <chrono>

#include "fuzz/reg_file_fuzz_body.h"
#include "fuzz/reg_value_fuzz_body.h"
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

TEST(RegFuzzRegressionTest, KeptInputsRunCleanly) {
  Replay("reg_value", fuzzing::RunRegValueFuzzInput);
  Replay("reg_file", fuzzing::RunRegFileFuzzInput);
}

// A value of 8 MB over 230,000 continued lines, and one value line of 6 MB: read in time that
// grows with the input.
TEST(RegFuzzRegressionTest, HugeValuesLoadInLinearTime) {
  const auto start = std::chrono::steady_clock::now();
  std::string text = "REGEDIT4\r\n[HKEY_USERS\\x]\r\n\"v\"=hex:00";
  for (int i = 0; i < 230000; ++i) text += ",01,02,03,04,05,06,07,08,09,0a,0b,0c,\\\r\n  0d";
  text += "\r\n\"w\"=\"" + std::string(6 << 20, 'a') + "\"\r\n";
  RegFile file;
  ASSERT_TRUE(file.LoadText("big.reg", text));
  std::vector<RegFile::Line> lines = file.ValueLines();
  ASSERT_EQ(lines.size(), 2u);
  RegValueLine v = ParseRegValue(lines[0].text, false);
  EXPECT_EQ(v.kind, RegValueLine::Kind::kSet);
  EXPECT_EQ(v.data.size(), 1u + 230000u * 13u);
  const std::string name = "v";
  const std::string wrapped = WrapRegValueLine(FormatRegValueLine(&name, 3, &v.data), 1);
  EXPECT_EQ(ParseRegValue(lines[1].text, false).data.size(), (6u << 20) + 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  EXPECT_GT(wrapped.size(), v.data.size() * 3);
}

}  // namespace
}  // namespace tsl
