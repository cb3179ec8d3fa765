// The fast scanning primitives against byte-by-byte loops: every start, every range and every
// case folding must give the same answer.
#include "pattern/skip_search.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace tsl::pattern_internal {
namespace {

Pos PlainFind(const std::string& text, Pos from, Pos last_start, const std::string& literal,
              const FoldTable& fold) {
  const Pos l = static_cast<Pos>(literal.size());
  for (Pos p = std::max<Pos>(from, 0); p <= last_start && p + l <= static_cast<Pos>(text.size());
       ++p) {
    bool all = true;
    for (Pos i = 0; i < l && all; ++i) {
      all = fold[static_cast<unsigned char>(text[static_cast<std::size_t>(p + i)])] ==
            static_cast<unsigned char>(literal[static_cast<std::size_t>(i)]);
    }
    if (all) return p;
  }
  return -1;
}

TEST(SkipSearchTest, LiteralSearchFindsWhatALoopFinds) {
  std::mt19937 rng(5);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const std::string alphabets[] = {"ab", "abcXY\n", "eE\xe9\xc9 z", std::string("a\0b", 3)};
  for (int round = 0; round < 20000; ++round) {
    const std::string& alphabet = alphabets[pick(4)];
    std::string text;
    int length = pick(120);
    for (int i = 0; i < length; ++i)
      text.push_back(alphabet[static_cast<std::size_t>(pick(static_cast<int>(alphabet.size())))]);
    std::string literal;
    int literal_length = 1 + pick(5);
    for (int i = 0; i < literal_length; ++i)
      literal.push_back(
          alphabet[static_cast<std::size_t>(pick(static_cast<int>(alphabet.size())))]);
    const FoldTable& fold = pick(2) == 0 ? IdentityTable() : UpperTable();
    std::string folded = literal;
    for (char& c : folded) c = static_cast<char>(fold[static_cast<unsigned char>(c)]);
    LiteralSearch search(folded, fold);
    Pos from = pick(length + 2) - 1;
    Pos last_start = pick(length + 2);
    ASSERT_EQ(search.Find(reinterpret_cast<const unsigned char*>(text.data()),
                          static_cast<Pos>(text.size()), from, last_start),
              PlainFind(text, from, last_start, folded, fold))
        << "literal " << literal << " in " << text << " from " << from << " to " << last_start;
  }
}

TEST(SkipSearchTest, LiteralsThatNoByteFoldsTo) {
  // A literal compiled case-sensitively but matched with the case switch off: no text byte
  // upper-cases to `a`.
  LiteralSearch search("ab", UpperTable());
  const std::string text = "xxabxxAB";
  EXPECT_EQ(search.Find(reinterpret_cast<const unsigned char*>(text.data()), 8, 0, 8), -1);
}

TEST(SkipSearchTest, LineBreaksCountedAsALoopCounts) {
  std::mt19937 rng(9);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const std::string alphabet = std::string("ab\r\n\0", 5);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    int length = pick(300);
    for (int i = 0; i < length; ++i) text.push_back(alphabet[static_cast<std::size_t>(pick(5))]);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    bool utf16 = pick(4) == 0;
    bool ends_file = pick(2) == 0;
    Pos from = pick(length + 1);
    Pos to = from + pick(length - static_cast<int>(from) + 1);
    BreakScan expected;
    for (Pos p = from; p < to; ++p) {
      if (IsLineBreakAt(bytes, length, p, utf16, ends_file)) {
        ++expected.count;
        expected.last = p;
      }
    }
    BreakScan got = ScanLineBreaks(bytes, length, from, to, utf16, ends_file);
    ASSERT_EQ(got.count, expected.count) << round;
    ASSERT_EQ(got.last, expected.last) << round;
  }
}

TEST(SkipSearchTest, PairSearchFindsEveryStartOfAnAlternative) {
  std::mt19937 rng(17);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const std::string alphabet = "abcAB\n";
  for (int round = 0; round < 20000; ++round) {
    const FoldTable& fold = pick(2) == 0 ? IdentityTable() : UpperTable();
    std::vector<std::string> alternatives;
    for (int i = 0, n = 1 + pick(3); i < n; ++i) {
      std::string alternative;
      for (int j = 0, l = 2 + pick(2); j < l; ++j) {
        alternative.push_back(static_cast<char>(fold[static_cast<unsigned char>(
            alphabet[static_cast<std::size_t>(pick(static_cast<int>(alphabet.size())))])]));
      }
      alternatives.push_back(alternative);
    }
    std::unique_ptr<PairSearch> search = PairSearch::For(alternatives, fold);
    if (!search) continue;
    std::string text;
    for (int i = 0, n = pick(100); i < n; ++i) {
      text.push_back(alphabet[static_cast<std::size_t>(pick(static_cast<int>(alphabet.size())))]);
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const Pos length = static_cast<Pos>(text.size());
    // No start of an alternative may be passed over: what is found is never later than the
    // first true start.
    Pos first_true = -1;
    for (Pos p = 0; p < length && first_true < 0; ++p) {
      for (const std::string& alternative : alternatives) {
        if (PlainFind(text, p, p, alternative, fold) == p) first_true = p;
      }
    }
    Pos found = search->Find(bytes, length, 0, length - 1);
    if (first_true >= 0) {
      ASSERT_GE(found, 0) << text;
      ASSERT_LE(found, first_true) << text;
    }
    if (found >= 0) {  // its first byte begins an alternative, the next is a second byte
      bool first = false;
      bool second = found + 1 >= length;
      for (const std::string& alternative : alternatives) {
        first |= fold[bytes[found]] == static_cast<unsigned char>(alternative[0]);
        second |= found + 1 < length &&
                  fold[bytes[found + 1]] == static_cast<unsigned char>(alternative[1]);
      }
      ASSERT_TRUE(first && second) << text << " at " << found;
    }
  }
}

TEST(SkipSearchTest, TableSearch) {
  ByteTable table{};
  table['x'] = true;
  table['\0'] = true;
  const std::string text("abcdefgx\0", 9);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  EXPECT_EQ(FindTableByte(bytes, 0, 9, table), 7);
  EXPECT_EQ(FindTableByte(bytes, 8, 9, table), 8);
  EXPECT_EQ(FindTableByte(bytes, 0, 7, table), -1);
}

}  // namespace
}  // namespace tsl::pattern_internal
