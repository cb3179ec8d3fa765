// Replacing: builds the replacement for the last match by walking the replace chain: literal
// pieces are copied, references contribute the text their search node matched (upper- or
// lower-cased on request), and counters renumber successive matches.
#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "pattern/pattern_internal.h"
#include "platform/code_page.h"

namespace tsl::pattern_internal {
namespace {

/// The text of a match in a widened pattern without its zero bytes, for reading numbers.
std::string Narrow(std::string_view text) {
  std::string result;
  for (char c : text) {
    if (c != '\0') result.push_back(c);
  }
  return result;
}

struct MatchedNumber {
  std::int64_t value = 0;
  int digits = 0;
  bool leading_zero = false;
};

/// Reads the number at the front of a matched text the way the C library's atol does: an
/// optional sign, then digits up to the first other byte.
MatchedNumber ReadNumber(std::string_view text) {
  MatchedNumber number;
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  number.leading_zero = i < text.size() && text[i] == '0';
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    number.value = AppendDigit(number.value, text[i], std::int64_t{1} << 60);
    ++number.digits;
  }
  if (negative) number.value = -number.value;
  return number;
}

std::string FormatCounter(std::int64_t value, int pad_width) {
  char buffer[48];
  if (pad_width > 0) {
    std::snprintf(buffer, sizeof buffer, "%0*" PRId64, std::min(pad_width, 40), value);
  } else {
    std::snprintf(buffer, sizeof buffer, "%" PRId64, value);
  }
  return buffer;
}

/// The next value of a counter: it starts from its start value, or else from the number the
/// first match of the file held (1 for an empty match), and steps once per replacement.
std::string NextCounterValue(ReplaceNode& node, const std::string& matched, bool widened) {
  if (!node.current) {
    if (node.start_value) {
      node.current = *node.start_value;
      node.pad_width = node.start_value_leading_zero && node.start_value_digits >= 2
                           ? node.start_value_digits
                           : 0;
    } else {
      std::string text = widened ? Narrow(matched) : matched;
      MatchedNumber number = ReadNumber(text);
      node.current = text.empty() ? 1 : number.value;
      node.pad_width = number.leading_zero && number.digits >= 2 ? number.digits : 0;
    }
  }
  std::int64_t limit = std::int64_t{1} << 62;
  node.current = std::clamp<std::int64_t>(*node.current + node.step, -limit, limit);
  std::string formatted = FormatCounter(*node.current, node.pad_width);
  return widened ? WidenText(formatted) : formatted;
}

}  // namespace

std::string WidenText(std::string_view ansi) {
  std::u16string wide = cp::ToUtf16(ansi);
  std::string bytes;
  bytes.reserve(wide.size() * 2);
  for (char16_t unit : wide) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::string BuildReplacementText(std::vector<ReplaceNode>& replace,
                                 const std::vector<PatternNode>& chain, bool widened) {
  std::string result;
  for (ReplaceNode& node : replace) {
    if (!node.is_reference) {
      result += node.literal;
      continue;
    }
    if (node.search_node < 0) continue;  // the chain has no such node
    const std::string& matched = chain[static_cast<std::size_t>(node.search_node)].matched;
    if (node.counter) {
      result += NextCounterValue(node, matched, widened);
    } else if (node.case_change == '>') {
      result += cp::ToUpper(matched);
    } else if (node.case_change == '<') {
      result += cp::ToLower(matched);
    } else {
      result += matched;
    }
  }
  return result;
}

}  // namespace tsl::pattern_internal
