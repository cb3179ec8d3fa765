// The pattern test tool: its command line and report lines, in-process.
#include "pattern/pattern_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "tests/support/test_support.h"

namespace tsl {
namespace {

class PatternToolTest : public ::testing::Test {
 protected:
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

TEST_F(PatternToolTest, VersionNeedsNoPattern) {
  PatternToolOptions options;
  std::string error;
  ASSERT_TRUE(ParsePatternToolArguments({"--version"}, &options, &error));
  EXPECT_TRUE(options.version);
  EXPECT_FALSE(options.help);
  // After a pattern it is the file's name, as every argument there is.
  options = PatternToolOptions();
  ASSERT_TRUE(ParsePatternToolArguments({"abc", "--version"}, &options, &error));
  EXPECT_FALSE(options.version);
  EXPECT_EQ(options.file, "--version");
}

// A mapped file's text ends where its memory ends, with no terminator after it: the scan reads
// nothing beyond the text (AddressSanitizer sees to that) and finds what it finds in a string.
TEST_F(PatternToolTest, TheTextMayEndWhereItsMemoryEnds) {
  for (const std::string text : {"ab 12x\r\nline\rlast x", "x\nlast 7x\r", "\r\n"}) {
    auto exact = std::make_unique<char[]>(text.size());
    std::copy(text.begin(), text.end(), exact.get());
    for (const char* pattern : {"x$", "$", "^", "^$", "*[0-9]x", "+[a-z]", "[a-z]$", "^l*$"}) {
      int status = Run({pattern}, text);
      const std::string in_string = out_;
      EXPECT_EQ(Run({pattern}, std::string_view(exact.get(), text.size())), status) << pattern;
      EXPECT_EQ(out_, in_string) << pattern;
    }
  }
  EXPECT_EQ(Run({"x$"}, "ab 12x\r\nline\rlast x"), 0);
  EXPECT_EQ(out_, "1:5:6:x\n3:18:19:x\n");  // the last one at the very end
}

TEST_F(PatternToolTest, EscapeForDisplay) {
  EXPECT_EQ(EscapeForDisplay("a\\b"), "a\\\\b");
  EXPECT_EQ(EscapeForDisplay("\n\r\t"), "\\n\\r\\t");
  EXPECT_EQ(EscapeForDisplay(std::string("\0\x1f\x7f\x80\xff", 5)), "\\x00\\x1f\\x7f\\x80\\xff");
  EXPECT_EQ(EscapeForDisplay(" ~"), " ~");
}

}  // namespace
}  // namespace tsl
