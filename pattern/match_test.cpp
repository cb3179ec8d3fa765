// The matcher: which matches a scan finds (where they start and end, what they hold, on which
// line), the anchors, case handling, the window and placing rules, side conditions, texts read
// in blocks, UTF-16 text and the mask entry point.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "pattern/pattern_tool.h"
#include "pattern/search_pattern.h"

namespace tsl {
namespace {

using namespace std::string_literals;

class MatchTest : public ::testing::Test {};

/// Every match of a whole-text scan as `LINE:START:END:MATCHED`.
std::vector<std::string> Scan(const std::string& expression, const std::string& text,
                              PatternSyntax syntax = PatternSyntax::kRegex,
                              const PatternOptions& options = {}) {
  SearchPattern pattern(expression, std::nullopt, syntax, options);
  EXPECT_EQ(pattern.error(), "") << expression;
  std::vector<std::string> lines;
  for (const PatternHit& hit : ScanWholeText(pattern, text, false)) {
    lines.push_back(std::to_string(hit.line) + ":" + std::to_string(hit.start) + ":" +
                    std::to_string(hit.end) + ":" + EscapeForDisplay(hit.matched));
  }
  return lines;
}

struct ScanCase {
  std::string expression;
  std::string text;
  std::vector<std::string> hits;
};

void RunCases(const std::vector<ScanCase>& cases, const PatternOptions& options = {}) {
  for (const ScanCase& c : cases) {
    EXPECT_EQ(Scan(c.expression, c.text, PatternSyntax::kRegex, options), c.hits)
        << "pattern " << c.expression << " text " << EscapeForDisplay(c.text);
  }
}

TEST_F(MatchTest, RepetitionsClassesAndGroups) {
  RunCases({
      // The literal is placed first and the digit run is fitted backwards.
      {"*[0-9]x", "ab12x", {"1:2:5:12x"}},
      {"*[0-9]x", "x 9x", {"1:0:1:x", "1:2:4:9x"}},
      // Greedy, at most 4; the last digit alone is too short.
      {"+2-4[0-9]", "a12345b", {"1:1:5:1234"}},
      {"+2-4[0-9]",
       "1 22 333 4444 55555",
       {"1:2:4:22", "1:5:8:333", "1:9:13:4444", "1:14:18:5555"}},
      {"+3", "ab\nabcd", {"2:3:6:abc"}},  // any three characters of one line
      {"?", "a\n\tb", {"1:0:1:a", "2:2:3:\\t", "2:3:4:b"}},
      {"+",
       "ab\x01"
       "cd",
       {"1:0:2:ab", "1:3:5:cd"}},  // bytes 0-8 end a run
      {"(cat|dog)", "hotdog", {"1:3:6:dog"}},
      {"(cat|dog)s", "cats dogs cat", {"1:0:4:cats", "1:5:9:dogs"}},
      {"(a*b)", "xa*by aab", {"1:1:4:a*b"}},
      {"+(ab)c", "abababc abc", {"1:0:7:abababc", "1:8:11:abc"}},
      {"+[]", "ab\ncd", {"1:0:5:ab\\ncd"}},  // the class of all bytes takes line breaks
      {"x+[0-9]y", "x12y x y x3y", {"1:0:4:x12y", "1:9:12:x3y"}},
      {"\\*", "a*b", {"1:1:2:*"}},
      {"\\t\\65", "x\tAy", {"1:1:3:\\tA"}},
      {"a?[bc]d", "abd acd add", {"1:0:3:abd", "1:4:7:acd"}},
      {"*(ab)x", "ababx abx x", {"1:0:5:ababx", "1:6:9:abx", "1:10:11:x"}},
  });
}

TEST_F(MatchTest, Anchors) {
  RunCases({
      // `^` matches at the start of the file and after any line break, without the break.
      {"^abc", "abc\nxabc\r\nabc\rabc", {"1:0:3:abc", "3:10:13:abc", "4:14:17:abc"}},
      {"^abc", "xabc", {}},
      {"^abc", "\n\n\nabc", {"4:3:6:abc"}},  // blank lines before it are taken too
      {"^*x", "ab x\ncd x", {"1:0:4:ab x", "2:5:9:cd x"}},
      // `$` before a CR LF, an LF, a CR, or at the end of the file.
      {"abc$", "abc\r\nabc\nabc\rabc", {"1:0:3:abc", "2:5:8:abc", "3:9:12:abc", "4:13:16:abc"}},
      {"abc$", "abcd", {}},
      {"abc$$", "abc\nabc", {"2:4:7:abc"}},
      {"abc$$", "abc\nabc\n", {"2:4:7:abc"}},
      {"abc$$", "abc\r\nabc\r\n", {"2:5:8:abc"}},  // a last line ending in CR LF
      {"abc$$", "abc\n\n\n", {}},                  // not with blank lines after it
      {"^^abc", "abc\nabc", {"1:0:3:abc"}},
      {"^^abc", "xabc\nabc", {}},
      {"^abc$", "abc\nabc\nxabc\nabc", {"1:0:3:abc", "2:4:7:abc", "4:13:16:abc"}},
      // `$` takes both breaks after `ab` (at most 2), so the empty line is passed over.
      {"^*$", "ab\n\ncd", {"1:0:2:ab", "3:4:6:cd"}},
      {"^*$", "ab\n\n\ncd", {"1:0:2:ab", "4:5:7:cd"}},  // and `^` takes all blank lines
      // Chains of line-break nodes only match empty text; the scan goes on after it.
      {"$", "a\nb", {"1:1:1:", "2:3:3:"}},
      {"^", "a\nb", {"2:2:2:"}},
      {"a$b", "a\nb a\r\nb", {"1:0:3:a\\nb", "2:4:8:a\\r\\nb"}},
  });
}

TEST_F(MatchTest, LineNumbersCountEveryKindOfBreak) {
  RunCases({
      {"x", "x\nx\r\nx\rx\n\rx", {"1:0:1:x", "2:2:3:x", "3:5:6:x", "4:7:8:x", "6:10:11:x"}},
      // Breaks at the very start of the file count like any other.
      {"abc", "\n\nabc", {"3:2:5:abc"}},
      {"abc", "\rabc", {"2:1:4:abc"}},
      {"abc", "\r\nabc", {"2:2:5:abc"}},
      {"^abc", "\n\nabc", {"3:2:5:abc"}},
      // Breaks inside a match count for the matches after it.
      {"+[a\n]", "a\na\nb a", {"1:0:4:a\\na\\n", "3:6:7:a"}},
  });
}

TEST_F(MatchTest, CaseSwitch) {
  EXPECT_EQ(Scan("abc", "ABC aBc abc"), (std::vector<std::string>{"1:8:11:abc"}));
  PatternOptions insensitive;
  insensitive.case_sensitive = false;
  const PatternSyntax regex = PatternSyntax::kRegex;
  EXPECT_EQ(Scan("abc", "ABC aBc abc", regex, insensitive),
            (std::vector<std::string>{"1:0:3:ABC", "1:4:7:aBc", "1:8:11:abc"}));
  EXPECT_EQ(Scan("+2-4[a-z]", "12Ab3", regex, insensitive),
            (std::vector<std::string>{"1:2:4:Ab"}));
  // Accented letters through the code page: the matched text keeps the bytes of the text.
  EXPECT_EQ(Scan("\xe9t\xe9", "\xc9T\xc9 \xe9t\xe9", regex, insensitive),
            (std::vector<std::string>{"1:0:3:\\xc9T\\xc9", "1:4:7:\\xe9t\\xe9"}));
}

TEST_F(MatchTest, SideConditionsFollowTheCaseOfTheirPattern) {
  PatternOptions insensitive;
  insensitive.case_sensitive = false;
  const std::string text = "Error and Warning\nERROR disk";
  EXPECT_EQ(Scan("*error*!(warning)", text, PatternSyntax::kRegex, insensitive),
            (std::vector<std::string>{"2:18:28:ERROR disk"}));
  EXPECT_EQ(Scan("*Error*!(warning)", text), (std::vector<std::string>{"1:0:17:Error and Warning"}));
}

TEST_F(MatchTest, GreedyFittingDoesNotBacktrack) {
  PatternOptions options;
  options.repetition_bound = 3;
  RunCases(
      {
      {"+[a]b", "aaaaab", {"1:2:6:aaab"}},  // at most 3, fitted backwards from `b`
      {"*x", "abcdex", {"1:2:6:cdex"}},
      {"x+[a]", "xaaaaa", {"1:0:4:xaaa"}},  // forwards: at most 3 after `x`
      },
      options);
  options.repetition_bound = 300;
  RunCases(
      {
      // The first run takes all it can and gives nothing back to the second.
      {"+[ab]+[bc]", "abb abbc", {"1:4:8:abbc"}},
      // The literal is placed first, so the run is fitted around it.
      {"+[0-9]5x", "12345x", {"1:0:6:12345x"}},
      // The letters are fitted backwards greedily and are not given back to the side
      // condition, so the shorter `bx` is never tried.
      {"*[a-z]x!(ab)", "aabx", {}},
      // A gap between placed nodes rejects the attempt, and the window moves on.
      {"a*[0-9]b", "axb a1b ab", {"1:4:7:a1b", "1:8:10:ab"}},
      },
      options);
}

TEST_F(MatchTest, SideConditions) {
  const std::string text = "an error here\nerror and warning\nerror disk\nwarning";
  RunCases({
      {"*error*!(warning)", text, {"1:0:13:an error here", "3:32:42:error disk"}},
      {"*error*!(warning)disk", text, {"3:32:42:error disk"}},
      {"*error*!(here)!(disk)", text, {"2:14:31:error and warning"}},
      {"*error*!(^an)", text, {"2:14:31:error and warning", "3:32:42:error disk"}},
      {"*!(a)", "abc\nxyz", {"2:4:7:xyz"}},
  });
}

TEST_F(MatchTest, WildcardsAndMasks) {
  RunCases({});
  EXPECT_EQ(Scan("*.txt", "a.txt b.txt", PatternSyntax::kWildcard),
            (std::vector<std::string>{"1:0:5:a.txt", "1:5:11: b.txt"}));
  EXPECT_EQ(Scan("a?c", "abc a\nc", PatternSyntax::kWildcard),
            (std::vector<std::string>{"1:0:3:abc"}));

  struct MaskCase {
    std::string mask;
    std::string name;
    bool matches;
  } cases[] = {
      {"*.TXT", "README.TXT", true},
      {"*.TXT", "README.TXTX", false},
      {"*.TXT", ".TXT", true},
      {"*.", "MAKEFILE.", true},
      {"*.", "MAKEFILE.AM", false},
      {"?.?", "A.B", true},
      {"?.?", "AB.C", false},
      {"*.*", "A", false},
      {"A*B*C", "AXXBYYC", true},
      {"A*B*C", "AXXBYYCD", false},
      {"\\*.TXT", "*.TXT", true},
      {"\\*.TXT", "A.TXT", false},
      {"*", "", false},  // nothing matched
  };
  for (const MaskCase& c : cases) {
    SearchPattern mask(c.mask, std::nullopt, PatternSyntax::kWildcard);
    EXPECT_EQ(mask.MatchesWhole(c.name), c.matches) << c.mask << " " << c.name;
  }
}

TEST_F(MatchTest, LeadingCaretMatchesNothingOnlyAtTheStartOfTheFile) {
  SearchPattern pattern("^abc", std::nullopt, PatternSyntax::kRegex);
  std::int64_t last = 0;
  std::int64_t lines = 0;
  const std::string text = "abc";
  EXPECT_EQ(pattern.Find(text.data(), 3, 0, 0, 0, &last, &lines), 3);
  EXPECT_EQ(pattern.Find(text.data(), 3, 0, 100, 5, &last, &lines), -1);
  SearchPattern start_of_file("^^abc", std::nullopt, PatternSyntax::kRegex);
  EXPECT_EQ(start_of_file.Find("\nabc", 4, 0, 0, 7, &last, &lines), -1);
  EXPECT_EQ(start_of_file.Find("abc", 3, 0, 0, 0, &last, &lines), 3);
}

TEST_F(MatchTest, TrailingDollarSeesTheEndOnlyWhenTheTextEndsTheFile) {
  SearchPattern pattern("abc$", std::nullopt, PatternSyntax::kRegex);
  std::int64_t last = 0;
  std::int64_t lines = 0;
  // An exact-size buffer: the matcher must not write a line feed after the text.
  const std::vector<char> text = {'x', 'a', 'b', 'c'};
  EXPECT_EQ(pattern.Find(text.data(), 4, kFullBlockBytes, 0, 0, &last, &lines), -1);
  EXPECT_EQ(pattern.Find(text.data(), 4, 4, 0, 0, &last, &lines), 4);
  EXPECT_EQ(pattern.MatchedText(), "abc");
  EXPECT_EQ(text, (std::vector<char>{'x', 'a', 'b', 'c'}));
  SearchPattern end_of_file("abc$$", std::nullopt, PatternSyntax::kRegex);
  EXPECT_EQ(end_of_file.Find(text.data(), 4, kFullBlockBytes, 0, 0, &last, &lines), -1);
}

TEST_F(MatchTest, OverlappingCallsNeverCountABreakTwice) {
  SearchPattern pattern("zz", std::nullopt, PatternSyntax::kRegex);
  const std::string text = "a\nb\nc\nzz";
  std::int64_t last = 0;
  std::int64_t lines = 0;
  EXPECT_EQ(pattern.Find(text.data(), 5, kFullBlockBytes, 0, 0, &last, &lines), -1);
  EXPECT_EQ(lines, 2);
  EXPECT_EQ(last, 3);
  // The next block starts two bytes back, inside what was already counted.
  EXPECT_EQ(pattern.Find(text.data() + 3, 5, 5, 3, 0, &last, &lines), 5);
  EXPECT_EQ(lines, 3);
  EXPECT_EQ(last, 5);
}

TEST_F(MatchTest, ACrSplitFromItsLfByABlockEndIsCountedOnce) {
  SearchPattern pattern("q", std::nullopt, PatternSyntax::kRegex);
  const std::string text = "ab\r\nq";
  std::int64_t last = 0;
  std::int64_t lines = 0;
  // The first block ends after the CR; what follows it is not known yet.
  EXPECT_EQ(pattern.Find(text.data(), 3, kFullBlockBytes, 0, 0, &last, &lines), -1);
  EXPECT_EQ(lines, 0);
  EXPECT_EQ(pattern.Find(text.data() + 2, 3, 3, 2, 0, &last, &lines), 3);
  EXPECT_EQ(lines, 1);
}

/// Scans a text in blocks the way the file engine reads a file: full blocks that do not end
/// the file, each next block starting early enough to hold a match across the block end.
std::vector<PatternHit> ScanInBlocks(SearchPattern& pattern, const std::string& text,
                                     std::int64_t block) {
  std::vector<PatternHit> hits;
  const auto length = static_cast<std::int64_t>(text.size());
  const std::int64_t overlap = pattern.SpanEstimate() + 1;
  std::int64_t last = 0;
  std::int64_t lines = 0;
  std::int64_t block_start = 0;
  std::int64_t pos = 0;
  while (true) {
    std::int64_t block_end = std::min(length, block_start + block);
    bool final_block = block_end == length;
    std::int64_t block_bytes = final_block ? block_end - block_start : kFullBlockBytes;
    while (pos <= block_end) {
      std::int64_t end = pattern.Find(text.data() + pos, block_end - pos, block_bytes, block_start,
                                      pos - block_start, &last, &lines);
      if (end < 0) break;
      PatternHit hit;
      hit.matched = pattern.MatchedText();
      hit.end = pos + end;
      hit.start = hit.end - static_cast<std::int64_t>(hit.matched.size());
      hit.line = lines + 1;
      pos = hit.matched.empty() ? hit.end + 1 : hit.end;
      CountLineBreaks(text.data(), length, hit.start, pos, 0, false, true, &last, &lines);
      hits.push_back(hit);
    }
    if (final_block) break;
    block_start = std::max(pos, block_end - overlap);
    pos = block_start;
  }
  return hits;
}

TEST_F(MatchTest, BlocksGiveTheSameMatchesAndLinesAsOneText) {
  std::string text;
  for (int i = 0; i < 200; ++i) {
    text += (i % 3 == 0) ? "line with cat and 42x\r\n" : (i % 3 == 1) ? "dog\n" : "\r";
  }
  for (const char* expression :
       {"cat", "*[0-9]x", "(cat|dog)", "^dog", "dog$", "+2[0-9]", "x\r\n", "*with*!(dog)"}) {
    SearchPattern whole(expression, std::nullopt, PatternSyntax::kRegex);
    std::vector<PatternHit> expected = ScanWholeText(whole, text, false);
    ASSERT_FALSE(expected.empty()) << expression;
    for (std::int64_t extra : {7, 23, 64, 1000}) {
      SearchPattern blocks(expression, std::nullopt, PatternSyntax::kRegex);
      std::int64_t block = blocks.SpanEstimate() + 1 + extra;
      std::vector<PatternHit> got = ScanInBlocks(blocks, text, block);
      ASSERT_EQ(got.size(), expected.size()) << expression << " in blocks of " << block;
      for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].start, expected[i].start) << expression << " #" << i;
        EXPECT_EQ(got[i].line, expected[i].line) << expression << " #" << i;
        EXPECT_EQ(got[i].matched, expected[i].matched) << expression << " #" << i;
      }
    }
  }
}

std::string Utf16(const std::string& ansi) {
  std::string bytes;
  for (char c : ansi) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  return bytes;
}

TEST_F(MatchTest, WidenedPatternsSearchUtf16Text) {
  SearchPattern pattern("b(c|d)", "[%1]", PatternSyntax::kRegex);
  pattern.Widen();
  const std::string text = Utf16("ab\r\nbd");
  std::int64_t last = 0;
  std::int64_t lines = 0;
  std::int64_t end =
      pattern.Find(text.data(), static_cast<std::int64_t>(text.size()), 0, 0, 0, &last, &lines);
  EXPECT_EQ(end, 12);
  EXPECT_EQ(pattern.MatchedText(), Utf16("bd"));
  EXPECT_EQ(pattern.BuildReplacement(), Utf16("[d]"));
  EXPECT_EQ(lines, 1);  // CR, zero byte, LF is one break

  SearchPattern digits("+[0-9]", std::nullopt, PatternSyntax::kRegex);
  digits.Widen();
  const std::string numbers = Utf16("x12y");
  end = digits.Find(numbers.data(), 8, 0, 0, 0, &last, &lines);
  EXPECT_EQ(digits.MatchedText(), "\0"s +
                                      "1\0"
                                      "2\0"s);  // a set also takes the zero bytes
  EXPECT_EQ(end, 6);
}

TEST_F(MatchTest, VeryLongTextsWithoutAMatch) {
  // A text of 8 MB with no occurrence: the skip search jumps; the line count is exact.
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "the quick brown fox jumps\n";
  text.resize(8 << 20, 'q');
  for (const char* expression : {"zebra", "*[0-9]z", "^zz", "+3[0-9]", "(dog|cat)"}) {
    SearchPattern pattern(expression, std::nullopt, PatternSyntax::kRegex);
    std::int64_t last = 0;
    std::int64_t lines = 0;
    EXPECT_EQ(
        pattern.Find(text.data(), static_cast<std::int64_t>(text.size()), 0, 0, 0, &last, &lines),
        -1)
        << expression;
    EXPECT_EQ(lines, 200000) << expression;
  }
}

/// The best of three times of a whole-text scan, in seconds.
double ScanSeconds(const std::string& expression, const std::string& text) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    SearchPattern pattern(expression, std::nullopt, PatternSyntax::kRegex);
    auto start = std::chrono::steady_clock::now();
    ScanWholeText(pattern, text, false);
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    best = std::min(best, elapsed.count());
  }
  return best;
}

TEST_F(MatchTest, HostileInputsScaleLinearly) {
  // Each case once made the matcher read the same stretch again for every attempt. Four times
  // the text must take about four times as long, not sixteen.
  struct Case {
    std::string expression;
    std::string unit;
  } cases[] = {
      {"x*[a]+[b]", "x"},         // a last set node scans to the end of the text
      {"a*[ab]c", "a"},           // a literal right of the first one, never found
      {"+[a]?[a]*[a]+[b]", "a"},  // a long run fitted backwards at every start
      {"*[ab]b!(x)c", "b"},       // a must-match side condition that is never there
      {"*[ab]b!(x)+[c]", "b"},   {"a?a?a?a?a?a?a?a?b", "a"}, {"^*z", std::string(999, 'a') + "\n"},
  };
  for (const Case& c : cases) {
    std::string small;
    while (small.size() < 40000) small += c.unit;
    std::string large;
    for (int i = 0; i < 4; ++i) large += small;
    double t_small = ScanSeconds(c.expression, small);
    double t_large = ScanSeconds(c.expression, large);
    if (t_large < 0.05) continue;  // too fast to tell
    EXPECT_LT(t_large, 8 * t_small + 0.01)
        << c.expression << ": " << t_small << " s, then " << t_large << " s";
  }
}

}  // namespace
}  // namespace tsl
