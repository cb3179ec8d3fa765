// Checks the skip search against a slow plain reference. The reference drives the same matcher
// without any fast path: every window in turn exactly as the window rules move it, nodes
// fitted by trying every start, and line breaks counted byte by byte. On many generated
// patterns and texts both must give the same match ends, matched texts and line counts.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pattern/matcher.h"
#include "pattern/pattern_tool.h"
#include "pattern/search_pattern.h"

namespace tsl {
namespace {

using Pos = std::int64_t;
constexpr int kStress = 1;  // raise to search harder when changing the matcher
constexpr unsigned kSeed = 0;

void PlainCountBreaks(const std::string& text, Pos to, Pos abs_offset, bool ends_file,
                      Pos* last_line_break, Pos* line_count) {
  for (Pos p = 0; p < to && p < static_cast<Pos>(text.size()); ++p) {
    bool is_break = text[p] == '\n';
    if (text[p] == '\r') {
      is_break = p + 1 < static_cast<Pos>(text.size()) ? text[p + 1] != '\n' : ends_file;
    }
    if (!is_break) continue;
    Pos at = abs_offset + p;
    if (at > *last_line_break) {
      ++*line_count;
      *last_line_break = at;
    } else if (at == 0 && *line_count == 0 && *last_line_break == 0) {
      *line_count = 1;
    }
  }
}

struct Outcome {
  Pos end = -1;
  std::string matched;
  Pos last_line_break = 0;
  Pos line_count = 0;

  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "{end " << o.end << ", matched \"" << EscapeForDisplay(o.matched)
             << "\", last break " << o.last_line_break << ", lines " << o.line_count << "}";
}

Outcome PlainFind(SearchPattern& pattern, const std::string& text, Pos block_bytes, Pos abs_offset,
                  Outcome counts) {
  Matcher matcher(pattern, text.data(), static_cast<Pos>(text.size()), block_bytes, abs_offset,
                  /*plain=*/true);
  Matcher::Window window = matcher.FirstWindow();
  bool found = false;
  while (window.start < matcher.size()) {
    if (matcher.Attempt(window, 0)) {
      found = true;
      break;
    }
    window = matcher.NextWindow();
  }
  Outcome outcome{-1, "", counts.last_line_break, counts.line_count};
  bool ends_file = block_bytes < kFullBlockBytes;
  if (found) {
    matcher.Commit();
    outcome.end = matcher.match_end();
    outcome.matched = pattern.MatchedText();
    PlainCountBreaks(text, matcher.match_start(), abs_offset, ends_file, &outcome.last_line_break,
                     &outcome.line_count);
  } else {
    PlainCountBreaks(text, static_cast<Pos>(text.size()), abs_offset, ends_file,
                     &outcome.last_line_break, &outcome.line_count);
  }
  return outcome;
}

Outcome FastFind(SearchPattern& pattern, const std::string& text, Pos block_bytes, Pos abs_offset,
                 Outcome counts) {
  Outcome outcome{-1, "", counts.last_line_break, counts.line_count};
  outcome.end = pattern.Find(text.data(), static_cast<Pos>(text.size()), block_bytes, 0, abs_offset,
                             &outcome.last_line_break, &outcome.line_count);
  outcome.matched = outcome.end >= 0 ? pattern.MatchedText() : "";
  return outcome;
}

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  std::string Text(const std::string& alphabet, int max_length) {
    std::string text;
    int length = Pick(max_length + 1);
    for (int i = 0; i < length; ++i)
      text.push_back(alphabet[static_cast<std::size_t>(Pick(static_cast<int>(alphabet.size())))]);
    return text;
  }

  std::string Piece() {
    static const char* const kPieces[] = {
        "a",      "b",           "ab",      "ba",          "abc",       "aa",
        "c",      "*",           "?",       "+",           "+2",        "+1-3",
        "+2+",    "+-2",         "*[ab]",   "+[a-b]",      "?[b]",      "[ac]",
        "[]",     "(a|bc)",      "(ab)",    "+(ab)",       "*(b|a)",    "+2[a-c]",
        "[\\n]",  "*[a-c\\n]",   "\\n",     " ",           "+[ ]",      "?(c|)",
        "*[0-9]", "+[ab\\r\\n]", "(ab|ca)", "+(bc|cb|ab)", "(a\\n|ba)", "(ab|AB|cA)",
    };
    return kPieces[Pick(static_cast<int>(std::size(kPieces)))];
  }

  std::string Pattern() {
    std::string pattern;
    if (Pick(4) == 0) pattern += Pick(3) == 0 ? "^^" : "^";
    int pieces = 1 + Pick(4);
    for (int i = 0; i < pieces; ++i) pattern += Piece();
    if (Pick(4) == 0) pattern += Pick(3) == 0 ? "$$" : "$";
    if (Pick(5) == 0) pattern += std::string("!(") + Piece() + (Pick(2) ? Piece() : "") + ")";
    if (Pick(10) == 0) pattern += Piece();
    if (Pick(10) == 0) pattern += std::string("!(") + Piece() + ")";
    return pattern;
  }

 private:
  std::mt19937 rng_;
};

PatternOptions Options(bool case_sensitive, int repetition_bound) {
  PatternOptions options;
  options.case_sensitive = case_sensitive;
  options.repetition_bound = repetition_bound;
  return options;
}

class ReferenceTest : public ::testing::Test {
 protected:
  // Scans the text match by match with both, as one text or as a block that does not end the
  // file, starting at a random offset in the file.
  void Compare(const std::string& source, const PatternOptions& options, const std::string& text,
               Generator& gen) {
    SearchPattern fast(source, std::nullopt, PatternSyntax::kRegex, options);
    SearchPattern plain(source, std::nullopt, PatternSyntax::kRegex, options);
    if (!fast.error().empty()) return;
    const Pos block_bytes = gen.Pick(4) == 0 ? kFullBlockBytes : 0;
    const Pos base = gen.Pick(3) == 0 ? gen.Pick(50) : 0;
    Outcome fast_counts;
    Outcome plain_counts;
    Pos pos = 0;
    while (pos <= static_cast<Pos>(text.size())) {
      std::string rest = text.substr(static_cast<std::size_t>(pos));
      Outcome f = FastFind(fast, rest, block_bytes, base + pos, fast_counts);
      Outcome p = PlainFind(plain, rest, block_bytes, base + pos, plain_counts);
      ASSERT_EQ(f, p) << "pattern \"" << source << "\" text \"" << EscapeForDisplay(text)
                      << "\" from " << pos << " block " << block_bytes << " base " << base;
      ++compared_;
      if (f.end < 0) break;
      fast_counts = f;
      plain_counts = p;
      pos += f.end > 0 ? f.end : 1;
    }
  }

  int compared_ = 0;
};

TEST_F(ReferenceTest, SkipSearchFindsWhatThePlainWindowFinds) {
  Generator gen(20240601 + kSeed);
  for (int round = 0; round < 6000 * kStress; ++round) {
    const bool case_sensitive = gen.Pick(3) != 0;
    const int bounds[] = {1, 2, 3, 5, 300};
    const PatternOptions options = Options(case_sensitive, bounds[gen.Pick(5)]);
    std::string pattern = gen.Pattern();
    std::string text = gen.Text(case_sensitive ? "aabbc \n\r" : "aAbBc \n\r", 60);
    Compare(pattern, options, text, gen);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(compared_, 10000);
}

TEST_F(ReferenceTest, RepetitiveTexts) {
  // Long runs and repeated chunks: what one attempt learns about a run is used by the next.
  Generator gen(4242 + kSeed);
  for (int round = 0; round < 1500 * kStress; ++round) {
    const bool case_sensitive = gen.Pick(4) != 0;
    const int bounds[] = {2, 7, 40, 300};
    const PatternOptions options = Options(case_sensitive, bounds[gen.Pick(4)]);
    std::string text;
    while (static_cast<int>(text.size()) < 200 + gen.Pick(200)) {
      std::string chunk = gen.Text("aabc\n", 3);
      int repeats = 1 + gen.Pick(60);
      for (int i = 0; i < repeats; ++i) text += chunk;
    }
    Compare(gen.Pattern(), options, text, gen);
    if (HasFatalFailure()) return;
  }
}

TEST_F(ReferenceTest, LongTextsWithRareLiterals) {
  // Long stretches without the literal make the skip search jump over many windows at once.
  Generator gen(77);
  const char* const kPatterns[] = {"abc",        "*[0-9]x", "^abc",     "abc$",  "+2-4[0-9]",
                                   "(cat|dog)s", "x*y",     "*x*!(yz)", "^*x",   "+3[0-9]x",
                                   "^^abc",      "abc$$",   "?x?",      "+(ab)c"};
  for (int round = 0; round < 300; ++round) {
    std::string text = gen.Text("abcdefg hij\n", 3000);
    for (int i = 0; i < 4; ++i) {
      std::size_t at = static_cast<std::size_t>(gen.Pick(static_cast<int>(text.size()) + 1));
      const char* const kInserts[] = {"abc", "12x", "cat", "dogs", "x y", "\r\n", "123", "abab"};
      text.insert(at, kInserts[gen.Pick(8)]);
    }
    const int bound = gen.Pick(2) == 0 ? 300 : 7;
    const PatternOptions options = Options(gen.Pick(2) == 0, bound);
    Compare(kPatterns[round % std::size(kPatterns)], options, text, gen);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace tsl
