// Fast scanning used by the matcher to skip stretches of text that cannot hold a match: a
// substring search that folds letter case through a table, a search for the first byte of a
// set, and a line-break counter. Each gives exactly what a byte-by-byte loop gives.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pattern/pattern_internal.h"

namespace tsl::pattern_internal {

/// A substring search prepared for one literal and one case folding. Candidate starts are
/// filtered 32 at a time by the two bytes of the literal that are rarest in ordinary text (in
/// every spelling that folds to them) and the survivors are compared in full.
class LiteralSearch {
 public:
  /// `literal` (not empty) is compared with the text's bytes folded through `fold`.
  LiteralSearch(std::string literal, const FoldTable& fold);

  /// The first p in [from, last_start] with fold[text[p + i]] == literal[i] for every i,
  /// reading only text[0, length); -1 when there is none.
  Pos Find(const unsigned char* text, Pos length, Pos from, Pos last_start) const;

 private:
  /// The byte values that fold to one byte of the literal, at most four.
  struct Spellings {
    unsigned char bytes[4] = {};
    int count = 0;
  };
  bool MatchesAt(const unsigned char* text, Pos p) const;
  Pos FindBytewise(const unsigned char* text, Pos from, Pos last_start) const;
  template <int kFirst, int kSecond>
  Pos FindFiltered(const unsigned char* text, Pos length, Pos from, Pos last_start) const;

  std::string literal_;
  const FoldTable* fold_;
  bool identity_;
  Pos first_offset_ = 0;  // where the two filter bytes lie in the literal
  Pos second_offset_ = 0;
  Spellings first_;
  Spellings second_;
};

/// A 256-entry membership table.
using ByteTable = std::array<bool, 256>;

/// Candidate starts of a group of alternative literals, filtered 32 at a time by their first
/// two bytes: a candidate's first byte can begin an alternative and the byte after it can be
/// an alternative's second byte (or lies beyond the text).
class PairSearch {
 public:
  /// Null unless every alternative has two bytes or more and at most four byte values fold to
  /// the alternatives' first bytes, and four to their second bytes.
  static std::unique_ptr<PairSearch> For(const std::vector<std::string>& alternatives,
                                         const FoldTable& fold);

  /// The first candidate in [from, last]; -1 when there is none.
  Pos Find(const unsigned char* text, Pos length, Pos from, Pos last) const;

 private:
  unsigned char first_[4] = {};
  unsigned char second_[4] = {};
  std::array<bool, 256> first_table_{};
  std::array<bool, 256> second_table_{};
};

/// The first p in [from, to) whose byte is in `table`; -1 when there is none.
Pos FindTableByte(const unsigned char* text, Pos from, Pos to, const ByteTable& table);

/// The line breaks in text[from, to): an LF, or a CR not followed by LF (looked for two bytes on
/// in UTF-16 text). A CR in the last byte of the text is a break only when `text_ends_file`.
struct BreakScan {
  Pos count = 0;
  Pos last = -1;  // position of the last break found
};
BreakScan ScanLineBreaks(const unsigned char* text, Pos length, Pos from, Pos to, bool utf16,
                         bool text_ends_file);

/// True when text[p] is a line break by the rule above.
bool IsLineBreakAt(const unsigned char* text, Pos length, Pos p, bool utf16, bool text_ends_file);

}  // namespace tsl::pattern_internal
