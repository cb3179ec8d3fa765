// Backslash escapes shared by every part of the program that reads script values: decoding
// escape sequences into bytes, escaping characters for the pattern language, the tab and
// line-break coding of report texts, and the escape-aware scanning the pattern compiler uses.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tsl {

/// Decodes every escape sequence of `text`: `\n`, `\t` and the other C letters, `\` + number
/// (decimal, `0` octal, `0x` hexadecimal; at most four characters, low 8 bits kept) and `\` + any
/// other character for that character. A lone `\` at the end is dropped.
std::string DecodeEscapes(std::string_view text);

/// Decodes the one escape sequence whose backslash is at `text[pos]`, appending its byte (none
/// for a backslash at the very end) to `out`; returns the position after the sequence.
std::size_t DecodeEscapeAt(std::string_view text, std::size_t pos, std::string* out);

/// Puts a `\` in front of every occurrence of `c`; returns how many were escaped.
int EscapeChar(std::string& text, char c);

/// `EscapeChar` for every byte of `set`, in the order of `set`; returns the total.
int EscapeChars(std::string& text, std::string_view set);

/// Tab, line feed and carriage return to `\t`, `\n`, `\r`.
std::string EncodeControls(std::string_view text);
/// `\t`, `\n`, `\r` (either letter case) back to tab, line feed and carriage return.
std::string DecodeControls(std::string_view text);

/// Replaces every occurrence of `find`, left to right, never searching the inserted text again.
/// Without `match_case` both sides are compared upper-cased in the ANSI code page.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement,
                       bool match_case);

/// True when `text[i]` is preceded by an odd number of consecutive backslashes.
bool IsEscaped(std::string_view text, std::ptrdiff_t i);

/// The smallest position holding an unescaped byte of `set`; -1 when there is none.
std::ptrdiff_t FindUnescapedOneOf(std::string_view text, std::string_view set);

/// Where a bracketed stretch lies: the first unescaped opening bracket and the position just
/// after the closing bracket that balances it; both -1 when there is no opening bracket or it is
/// never balanced.
struct BalancedSpan {
  std::ptrdiff_t open = -1;
  std::ptrdiff_t end = -1;
};
BalancedSpan FindBalanced(std::string_view text, char open, char close);

/// For a text whose first or second character opens a group `(` (else a class `[`): the
/// position just after the matching close. 0 when neither opens one; -1 for a text of one
/// character or a group that is never closed.
std::ptrdiff_t FindGroupEnd(std::string_view text);

}  // namespace tsl
