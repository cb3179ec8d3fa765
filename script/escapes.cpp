// Backslash escapes: decoding, escaping, control-character coding and escape-aware scanning.
#include "script/escapes.h"

#include <cstdint>

#include "platform/code_page.h"

namespace tsl {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// Reads a number the way the C library reads one with base 0 (`0x` hexadecimal, leading `0`
/// octal, else decimal) from at most the first four characters of `digits`; returns how many
/// characters it took. `digits` starts with a decimal digit.
std::size_t ReadEscapedNumber(std::string_view digits, std::uint32_t* value) {
  std::string_view window = digits.substr(0, 4);
  std::size_t i = 0;
  std::uint32_t result = 0;
  if (window.size() >= 3 && window[0] == '0' && (window[1] == 'x' || window[1] == 'X') &&
      HexValue(window[2]) >= 0) {
    for (i = 2; i < window.size() && HexValue(window[i]) >= 0; ++i) {
      result = result * 16 + static_cast<std::uint32_t>(HexValue(window[i]));
    }
  } else if (window[0] == '0') {
    for (i = 1; i < window.size() && IsOctalDigit(window[i]); ++i) {
      result = result * 8 + static_cast<std::uint32_t>(window[i] - '0');
    }
  } else {
    for (i = 0; i < window.size() && IsDigit(window[i]); ++i) {
      result = result * 10 + static_cast<std::uint32_t>(window[i] - '0');
    }
  }
  *value = result;
  return i;
}

char SimpleEscape(char c, bool* known) {
  static constexpr std::string_view kLetters = "abfnrtv?'\"\\";
  static constexpr std::string_view kBytes = "\a\b\f\n\r\t\v?'\"\\";
  std::size_t at = kLetters.find(c);
  *known = at != std::string_view::npos;
  return *known ? kBytes[at] : c;
}

}  // namespace

std::size_t DecodeEscapeAt(std::string_view text, std::size_t pos, std::string* out) {
  if (pos + 1 >= text.size()) return text.size();  // a lone backslash at the end is dropped
  char c = text[pos + 1];
  if (IsDigit(c)) {
    std::uint32_t value = 0;
    std::size_t taken = ReadEscapedNumber(text.substr(pos + 1), &value);
    out->push_back(static_cast<char>(value & 0xFF));
    return pos + 1 + taken;
  }
  bool known = false;
  out->push_back(SimpleEscape(c, &known));
  return pos + 2;
}

std::string DecodeEscapes(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t slash = text.find('\\', pos);
    if (slash == std::string_view::npos) {
      result.append(text.substr(pos));
      break;
    }
    result.append(text.substr(pos, slash - pos));
    pos = DecodeEscapeAt(text, slash, &result);
  }
  return result;
}

int EscapeChar(std::string& text, char c) {
  int count = 0;
  std::string result;
  result.reserve(text.size());
  for (char b : text) {
    if (b == c) {
      result.push_back('\\');
      ++count;
    }
    result.push_back(b);
  }
  if (count > 0) text = std::move(result);
  return count;
}

int EscapeChars(std::string& text, std::string_view set) {
  int total = 0;
  for (char c : set) total += EscapeChar(text, c);
  return total;
}

std::string EncodeControls(std::string_view text) {
  std::string result = ReplaceAll(text, "\t", "\\t", true);
  result = ReplaceAll(result, "\n", "\\n", true);
  return ReplaceAll(result, "\r", "\\r", true);
}

std::string DecodeControls(std::string_view text) {
  std::string result = ReplaceAll(text, "\\t", "\t", false);
  result = ReplaceAll(result, "\\n", "\n", false);
  return ReplaceAll(result, "\\r", "\r", false);
}

std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement,
                       bool match_case) {
  if (find.empty()) return std::string(text);
  std::string folded_text;
  std::string folded_find;
  std::string_view haystack = text;
  std::string_view needle = find;
  if (!match_case) {
    folded_text = cp::ToUpper(text);
    folded_find = cp::ToUpper(find);
    haystack = folded_text;
    needle = folded_find;
  }
  std::string result;
  std::size_t pos = 0;
  while (true) {
    std::size_t at = haystack.find(needle, pos);
    if (at == std::string_view::npos) break;
    result.append(text.substr(pos, at - pos));
    result.append(replacement);
    pos = at + find.size();
  }
  result.append(text.substr(pos));
  return result;
}

bool IsEscaped(std::string_view text, std::ptrdiff_t i) {
  if (i <= 0 || i > static_cast<std::ptrdiff_t>(text.size())) return false;
  std::ptrdiff_t slashes = 0;
  for (std::ptrdiff_t j = i - 1; j >= 0 && text[static_cast<std::size_t>(j)] == '\\'; --j) {
    ++slashes;
  }
  return slashes % 2 == 1;
}

std::ptrdiff_t FindUnescapedOneOf(std::string_view text, std::string_view set) {
  // Walking forwards, a backslash always escapes the byte after it, which is what counting the
  // backslashes before each candidate would give.
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
      continue;
    }
    if (set.find(text[i]) != std::string_view::npos) return static_cast<std::ptrdiff_t>(i);
  }
  return -1;
}

BalancedSpan FindBalanced(std::string_view text, char open, char close) {
  BalancedSpan span;
  std::ptrdiff_t depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
      continue;
    }
    if (text[i] == open) {
      if (span.open < 0) span.open = static_cast<std::ptrdiff_t>(i);
      ++depth;
    } else if (text[i] == close && span.open >= 0) {
      if (--depth == 0) {
        span.end = static_cast<std::ptrdiff_t>(i) + 1;
        return span;
      }
    }
  }
  return BalancedSpan{};
}

std::ptrdiff_t FindGroupEnd(std::string_view text) {
  if (text.size() == 1) return -1;
  auto opens_at_front = [&](char open) {
    return (!text.empty() && text[0] == open) ||
           (text.size() > 1 && text[1] == open && !IsEscaped(text, 1));
  };
  char open = 0;
  char close = 0;
  if (opens_at_front('(')) {
    open = '(';
    close = ')';
  } else if (opens_at_front('[')) {
    open = '[';
    close = ']';
  } else {
    return 0;
  }
  std::size_t from = text[0] == open ? 0 : 1;
  BalancedSpan span = FindBalanced(text.substr(from), open, close);
  return span.end < 0 ? -1 : span.end + static_cast<std::ptrdiff_t>(from);
}

}  // namespace tsl
