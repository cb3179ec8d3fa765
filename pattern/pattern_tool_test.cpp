// The pattern test tool: its command line and report lines in-process, and the built TslPattern
// program as users start it (under Wine for the Windows build).
#include "pattern/pattern_tool.h"

#include <gtest/gtest.h>

#include "app/settings.h"
#include "tests/support/registry_support.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

class PatternToolTest : public ::testing::Test {
 protected:
  void TearDown() override { ProcessPatternSettings() = PatternSettings{}; }

  int Run(const std::vector<std::string>& arguments, std::string_view input) {
    out_.clear();
    err_.clear();
    PatternToolOptions options;
    std::string error;
    if (!ParsePatternToolArguments(arguments, &options, &error)) {
      ADD_FAILURE() << error;
      return -1;
    }
    return RunPatternTool(options, OperatorOrder::kPrefix, input, &out_, &err_);
  }

  std::string out_;
  std::string err_;
};

TEST_F(PatternToolTest, ReportLines) {
  EXPECT_EQ(Run({"*[0-9]x"}, "ab12x\n7x"), 0);
  EXPECT_EQ(out_, "1:2:5:12x\n2:6:8:7x\n");
  EXPECT_EQ(Run({"-r", "[%1]", "*[0-9]x"}, "ab12x"), 0);
  EXPECT_EQ(out_, "1:2:5:12x -> [12]\n");
  EXPECT_EQ(Run({"-r", "%1>", "*[0-9]x"}, "ab12x"), 0);  // a counter on a numeric node
  EXPECT_EQ(out_, "1:2:5:12x -> 13\n");
  EXPECT_EQ(Run({"zz"}, "ab12x"), 1);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(err_, "");
}

TEST_F(PatternToolTest, Options) {
  EXPECT_EQ(Run({"abc"}, "ABC abc"), 0);
  EXPECT_EQ(out_, "1:4:7:abc\n");
  EXPECT_EQ(Run({"-i", "abc"}, "ABC abc"), 0);
  EXPECT_EQ(out_, "1:0:3:ABC\n1:4:7:abc\n");
  EXPECT_EQ(Run({"-u", "[0-9]+x"}, "a12x"), 0);
  EXPECT_EQ(out_, "1:1:4:12x\n");
  EXPECT_EQ(Run({"-b", "2", "*x"}, "abcx"), 0);
  EXPECT_EQ(out_, "1:1:4:bcx\n");
  EXPECT_EQ(Run({"-W", "*.txt"}, "a.txt"), 0);
  EXPECT_EQ(out_, "1:0:5:a.txt\n");
  EXPECT_EQ(Run({"-W", "-r", "[%1]", "*.txt"}, "a.txt"), 0);
  EXPECT_EQ(out_, "1:0:5:a.txt -> [a]\n");
  EXPECT_EQ(Run({"--", "-x"}, "a-x"), 0);
  EXPECT_EQ(out_, "1:1:3:-x\n");
}

TEST_F(PatternToolTest, TheRepetitionBoundDefaultsTo300) {
  EXPECT_EQ(Run({"+[a]"}, std::string(400, 'a')), 0);
  EXPECT_EQ(out_,
            "1:0:300:" + std::string(300, 'a') + "\n1:300:400:" + std::string(100, 'a') + "\n");
}

TEST_F(PatternToolTest, FaultyPatterns) {
  EXPECT_EQ(Run({"[z-a]"}, "x"), 2);
  EXPECT_EQ(err_, "Error parsing: z-a\n");
  EXPECT_EQ(out_, "");
}

TEST_F(PatternToolTest, CommandLineFaults) {
  const std::vector<std::vector<std::string>> faulty = {
      {}, {"-i"}, {"-b", "x", "a"}, {"-b", "0", "a"}, {"-q", "a"}, {"a", "b", "c"}, {"-r"}};
  for (const std::vector<std::string>& arguments : faulty) {
    PatternToolOptions options;
    std::string error;
    EXPECT_FALSE(ParsePatternToolArguments(arguments, &options, &error));
    EXPECT_NE(error, "");
  }
  PatternToolOptions options;
  std::string error;
  ASSERT_TRUE(ParsePatternToolArguments({"-i", "-b", "7", "pat", "file.txt"}, &options, &error));
  EXPECT_TRUE(options.case_insensitive);
  EXPECT_EQ(options.repetition_bound, 7);
  EXPECT_EQ(options.pattern, "pat");
  EXPECT_EQ(options.file, "file.txt");
}

TEST_F(PatternToolTest, EscapeForDisplay) {
  EXPECT_EQ(EscapeForDisplay("a\\b"), "a\\\\b");
  EXPECT_EQ(EscapeForDisplay("\n\r\t"), "\\n\\r\\t");
  EXPECT_EQ(EscapeForDisplay(std::string("\0\x1f\x7f\x80\xff", 5)), "\\x00\\x1f\\x7f\\x80\\xff");
  EXPECT_EQ(EscapeForDisplay(" ~"), " ~");
}

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

TEST(TslPatternProgramTest, TheSettingChoosesTheOperatorOrder) {
  testing::ScopedRegistry registry;  // Linux: a store of the test's own, seen by the child too
  const int saved = ReadSettingInt("Flags", "UNIX RegExp", 0);
  testing::ScopedTempDir dir;
  const std::string file = dir / "in.txt";
  testing::WriteFile(file, "a12x");

  ASSERT_TRUE(WriteSettingInt("Flags", "UNIX RegExp", 1));
  EXPECT_EQ(ConfiguredOperatorOrder(), OperatorOrder::kPostfix);
  EXPECT_EQ(
      SearchPattern::WithConfiguredOrder("[0-9]+x", std::nullopt, PatternSyntax::kRegex).source(),
      "+[0-9]x");
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
