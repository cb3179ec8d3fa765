// The pattern test tool as users start it (under Wine for the Windows build), with the operator
// order of the program's settings.
#include <gtest/gtest.h>

#include "pattern/search_pattern.h"
#include "platform/file_error.h"
#include "platform/file_system.h"
#include "services/settings.h"
#include "tessaline_version.h"
#include "tests/support/registry_support.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

// --- The built program ---------------------------------------------------------------------

ProcessResult RunTslPattern(const std::vector<std::string>& arguments,
                            const std::string& stdin_file = "") {
  ProcessOptions options;
  options.stdin_file = stdin_file;
#ifdef TSL_TSLPATTERN_PATH
  return RunProcess(testing::BuiltProgram(TSL_TSLPATTERN_PATH), arguments, options);
#else
  ADD_FAILURE() << "TslPattern is not known to this test program";
  return {};
#endif
}

TEST(TslPatternProgramTest, SearchesAFileAndStandardInput) {
  testing::ScopedTempDir dir;
  const std::string file = dir / "in.txt";
  testing::WriteFile(file, "Chapter 7\r\nChapter 7\r\n\xe9t\xe9\r\n");

  ProcessResult result = RunTslPattern({"-r", "Chapter %1>", "Chapter *[0-9]", file});
  ASSERT_TRUE(result.error.ok());
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "1:0:9:Chapter 7 -> Chapter 8\n2:11:20:Chapter 7 -> Chapter 9\n");

  result = RunTslPattern({"-i", "\xc9T\xc9$", "-"}, file);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "3:22:25:\\xe9t\\xe9\n");

  result = RunTslPattern({"^C*$"}, file);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "1:0:9:Chapter 7\n2:11:20:Chapter 7\n");

  result = RunTslPattern({"nothing"}, file);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.output, "");
}

// A file gives what the same bytes give on standard input: across the pages of the file, up to
// its last byte, when it is empty, and with the file's errors in the tool's standard form.
TEST(TslPatternProgramTest, AFileGivesWhatStandardInputGives) {
  testing::ScopedTempDir dir;
  const std::string file = dir / "in.txt";
  std::string text;
  for (int i = 0; text.size() < 3 * 4096; ++i) {
    text += (i % 97 == 0 ? "Chapter " + std::to_string(i % 10) : "line " + std::to_string(i));
    text += i % 3 == 0 ? "\r\n" : "\n";
  }
  text += "Chapter 9";  // no line break after the last line
  testing::WriteFile(file, text);
  const std::string end = std::to_string(text.size());
  const std::vector<std::pair<std::string, std::string>> last_matches = {
      {"Chapter *[0-9]", std::to_string(text.size() - 9) + ":" + end + ":Chapter 9"},
      {"[0-9]$", std::to_string(text.size() - 1) + ":" + end + ":9"},
      {"^C*$", std::to_string(text.size() - 9) + ":" + end + ":Chapter 9"}};
  for (const auto& [pattern, last_match] : last_matches) {
    ProcessResult from_file = RunTslPattern({pattern, file});
    ProcessResult from_input = RunTslPattern({pattern, "-"}, file);
    ASSERT_TRUE(from_file.error.ok());
    EXPECT_EQ(from_file.exit_code, 0) << pattern;
    EXPECT_EQ(from_file.output, from_input.output) << pattern;
    EXPECT_TRUE(from_file.output.ends_with(":" + last_match + "\n")) << pattern;
  }

  testing::WriteFile(dir / "empty.txt", "");
  ProcessResult result = RunTslPattern({"^", dir / "empty.txt"});
  ProcessResult from_input = RunTslPattern({"^", "-"}, dir / "empty.txt");
  EXPECT_EQ(result.exit_code, from_input.exit_code);
  EXPECT_EQ(result.output, from_input.output);

  result = RunTslPattern({"abc", dir / "missing.txt"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.errors, "TslPattern: " + (dir / "missing.txt") + " was not found.\n");
  std::string ignored;
  SysError folder = RealFileSystem().ReadWholeFile(dir.path(), &ignored);
  result = RunTslPattern({"abc", dir.path()});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.errors, "TslPattern: " + StandardFileErrorText(folder, dir.path()) + "\n");
}

TEST(TslPatternProgramTest, FaultsAndHelp) {
  testing::ScopedTempDir dir;
  const std::string file = dir / "in.txt";
  testing::WriteFile(file, "x");

  ProcessResult result = RunTslPattern({"ab(cd", file});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(testing::SplitLines(result.errors), (std::vector<std::string>{"Error parsing: (cd"}));

  result = RunTslPattern({"abc", dir / "missing.txt"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.errors, "");

  result = RunTslPattern({"--help"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_NE(result.output.find("TslPattern [-i] [-u] [-b N] [-r REPLACE] PATTERN [FILE]"),
            std::string::npos);

  result = RunTslPattern({});
  EXPECT_EQ(result.exit_code, 2);
}

TEST(TslPatternProgramTest, VersionShowsTheProjectVersion) {
  ProcessResult result = RunTslPattern({"--version"});
  ASSERT_TRUE(result.error.ok());
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "TslPattern " TSL_VERSION_STRING "\n");
  EXPECT_EQ(result.errors, "");
}

TEST(TslPatternProgramTest, TheSettingChoosesTheOperatorOrder) {
  testing::ScopedRegistry registry;  // Linux: a store of the test's own, seen by the child too
  const int saved = ReadSettingInt("Flags", "UNIX RegExp", 0);
  testing::ScopedTempDir dir;
  const std::string file = dir / "in.txt";
  testing::WriteFile(file, "a12x");

  ASSERT_TRUE(WriteSettingInt("Flags", "UNIX RegExp", 1));
  EXPECT_EQ(ConfiguredOperatorOrder(), OperatorOrder::kPostfix);
  ProcessResult result = RunTslPattern({"[0-9]+x", file});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "1:1:4:12x\n");

  ASSERT_TRUE(WriteSettingInt("Flags", "UNIX RegExp", 0));
  EXPECT_EQ(ConfiguredOperatorOrder(), OperatorOrder::kPrefix);
  result = RunTslPattern({"[0-9]+x", file});
  EXPECT_EQ(result.exit_code, 1);  // `[0-9]` once, then `+` over any characters, then `x`
  result = RunTslPattern({"-u", "[0-9]+x", file});
  EXPECT_EQ(result.output, "1:1:4:12x\n");

  WriteSettingInt("Flags", "UNIX RegExp", saved);
}

}  // namespace
}  // namespace tsl

namespace tsl {
namespace {

TEST(TslPatternProgramTest, MaskModeTellsWhichPathsAListSelects) {
  testing::ScopedTempDir dir;
  std::string root = dir.path();
  ProcessResult result = RunTslPattern(
      {"--mask", testing::Native("*.txt;~a*;sub/*.doc;*/old/*.bak"), "--root", root, "a.txt",
       "b.TXT", testing::Native("sub/x.doc"), "x.doc", testing::Native("deep/old/y.bak"),
       testing::Native("old/y.bak"), dir / "sub/abs.doc", "README"});
  ASSERT_TRUE(result.error.ok());
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output,
            "0 a.txt\n1 b.TXT\n1 " + testing::Native("sub/x.doc") + "\n0 x.doc\n1 " +
                testing::Native("deep/old/y.bak") + "\n1 " + testing::Native("old/y.bak") +
                "\n1 " + (dir / "sub/abs.doc") + "\n0 README\n");

  result = RunTslPattern({"--mask", "readme", "README", "README.TXT"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "1 README\n0 README.TXT\n");

  result = RunTslPattern({"--mask", "*.doc", "a.txt"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.output, "0 a.txt\n");

  result = RunTslPattern({"--mask", "*.doc"});
  EXPECT_EQ(result.exit_code, 2);
}

}  // namespace
}  // namespace tsl
