// Replacements: references, case changes, counters with their start values, zero padding and
// per-file restarts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pattern/pattern_tool.h"
#include "pattern/search_pattern.h"

namespace tsl {
namespace {

class ReplaceTest : public ::testing::Test {};

/// The replacement of every match of a whole-text scan.
std::vector<std::string> Replacements(SearchPattern& pattern, const std::string& text) {
  std::vector<std::string> result;
  for (const PatternHit& hit : ScanWholeText(pattern, text, true)) {
    result.push_back(hit.replacement);
  }
  return result;
}

struct ReplaceCase {
  std::string search;
  std::string replace;
  std::string text;
  std::vector<std::string> replacements;
};

TEST_F(ReplaceTest, Table) {
  const ReplaceCase cases[] = {
      {"Chapter *[0-9]", "Chapter %1>", "Chapter 7\nChapter 7", {"Chapter 8", "Chapter 9"}},
      {"*[0-9]", "%1>001>", "a5 b6 c7", {"002", "003", "004"}},
      {"*[0-9]", "%1>10>", "a5 b6", {"11", "12"}},
      {"*[0-9]", "%1<10<", "a5 b6", {"9", "8"}},
      {"*[0-9]", "%1<", "a5 b6", {"4", "3"}},
      // Padding from the first matched number when it was written with a leading zero.
      {"*[0-9]", "%1>", "007 x", {"008"}},
      {"*[0-9]", "%1>", "099 x", {"100"}},
      {"*[0-9]", "%1>", "07 1 5", {"08", "09", "10"}},
      {"*[0-9]", "%1>", "0 1", {"1", "2"}},  // one digit: no padding
      // An empty first match starts the counter from 1.
      {"x*[0-9]", "%1>", "x x", {"2", "3"}},
      {"*[0-9-]", "%1>", "-5 -5", {"-4", "-3"}},
      // Numbers of any length saturate instead of overflowing.
      {"*[0-9]", "%1>99999999999999999999999>", "5", {"1152921504606846977"}},
      {"*[0-9]", "%1>", "99999999999999999999999 x", {"1152921504606846977"}},
      {"*[a-z]x", "%1>+%1<", "abx", {"AB+ab"}},
      {"*[a-z]x", "%1>", "aBx", {""}},  // case-sensitive: `B` is not in the class
      {"*[a-z]x", "[%1]", "abx cx", {"[ab]", "[c]"}},
      {"*[a-z]x*[0-9]", "%2%1", "abx12", {"12ab"}},
      {"*[a-z]x*[0-9]", "%9", "abx12", {""}},  // no such node: nothing
      {"x", "50%", "axbx", {"50%", "50%"}},
      {"*[a-z]x", "50\\%%1", "abx", {"50%ab"}},
      {"x", "%%FMFOUND%%", "x", {"%%FMFOUND%%"}},
      {"x", "a\\tb", "x", {"a\tb"}},
      {"(cat|dog)s", "%1!", "cats dogs", {"cat!", "dog!"}},
      // A leading `^` is a set, so it is `%1`; its line breaks are not part of the match.
      {"^a(b|c)", "[%1%2]", "ab\nac", {"[b]", "[c]"}},
  };
  for (const ReplaceCase& c : cases) {
    SearchPattern pattern(c.search, c.replace, PatternSyntax::kRegex);
    EXPECT_EQ(Replacements(pattern, c.text), c.replacements)
        << c.search << " / " << c.replace << " in " << EscapeForDisplay(c.text);
  }
}

TEST_F(ReplaceTest, CountersRestartPerFileUnlessTheyRunOn) {
  SearchPattern per_file("*[0-9]", "%1>", PatternSyntax::kRegex);
  SearchPattern run_on("*[0-9]", "%1>>", PatternSyntax::kRegex);
  SearchPattern with_start("*[0-9]", "%1>10>", PatternSyntax::kRegex);
  EXPECT_EQ(Replacements(per_file, "5 5"), (std::vector<std::string>{"6", "7"}));
  EXPECT_EQ(Replacements(run_on, "5 5"), (std::vector<std::string>{"6", "7"}));
  EXPECT_EQ(Replacements(with_start, "5 5"), (std::vector<std::string>{"11", "12"}));
  for (SearchPattern* pattern : {&per_file, &run_on, &with_start}) pattern->ResetPerFile(false);
  // The next file: restarts from its own first number, or from the start value.
  EXPECT_EQ(Replacements(per_file, "20 20"), (std::vector<std::string>{"21", "22"}));
  EXPECT_EQ(Replacements(run_on, "20 20"), (std::vector<std::string>{"8", "9"}));
  EXPECT_EQ(Replacements(with_start, "20"), (std::vector<std::string>{"11"}));
  run_on.ResetPerFile(true);  // a forced reset restarts every counter
  EXPECT_EQ(Replacements(run_on, "20"), (std::vector<std::string>{"21"}));
}

TEST_F(ReplaceTest, WithoutAReplaceTextTheReplacementIsEmpty) {
  SearchPattern pattern("*[0-9]", std::nullopt, PatternSyntax::kRegex);
  EXPECT_EQ(Replacements(pattern, "12"), (std::vector<std::string>{""}));
}

TEST_F(ReplaceTest, WideningCoversCountersAndCaseChanges) {
  SearchPattern pattern("x*[0-9]", "%1>", PatternSyntax::kRegex);
  pattern.Widen();
  const std::string text(
      "x\0"
      "4\0"
      "1\0",
      6);
  std::int64_t last = 0;
  std::int64_t lines = 0;
  ASSERT_EQ(pattern.Find(text.data(), 6, 0, 0, 0, &last, &lines), 6);
  EXPECT_EQ(pattern.BuildReplacement(), std::string("4\0"
                                                    "2\0",
                                                    4));
}

}  // namespace
}  // namespace tsl
