// What the pattern fuzz target does with one input, shared with the regression test that
// replays the inputs the fuzzer once crashed on. The input is cut into flags, a search
// expression, a replace expression and a text; both syntaxes are compiled from it, the text is
// searched whole and in a block, replacements are built, and the results are checked against
// the text they came from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "pattern/pattern_tool.h"
#include "pattern/search_pattern.h"

namespace tsl::fuzzing {

/// No line count can exceed the number of CR and LF bytes (in UTF-16 text a CR LF pair counts
/// twice when its bytes are not two apart).
inline std::int64_t MostBreaks(std::string_view text) {
  std::int64_t count = 0;
  for (char c : text) count += c == '\n' || c == '\r';
  return count;
}

inline void SearchWith(SearchPattern& pattern, std::string_view text) {
  const auto length = static_cast<std::int64_t>(text.size());
  const std::int64_t breaks = MostBreaks(text);
  for (const PatternHit& hit : ScanWholeText(pattern, text, true)) {
    Check(hit.start >= 0 && hit.start <= hit.end && hit.end <= length);
    if (!pattern.widened()) {
      Check(hit.matched == text.substr(static_cast<std::size_t>(hit.start),
                                       static_cast<std::size_t>(hit.end - hit.start)));
    }
    Check(hit.line >= 1 && hit.line <= breaks + 1);
  }
  // As a block that does not end the file, somewhere inside a file.
  std::int64_t last_line_break = 0;
  std::int64_t line_count = 0;
  std::int64_t end =
      pattern.Find(text.data(), length, kFullBlockBytes, 100, 3, &last_line_break, &line_count);
  Check(end >= -1 && end <= length);
  Check(line_count <= breaks);
  if (end >= 0) {
    Check(static_cast<std::int64_t>(pattern.MatchedText().size()) <= end);
    pattern.BuildReplacement();
  }
  pattern.MatchesWhole(text);
  pattern.ResetPerFile(text.size() % 2 == 0);
  Check(pattern.SpanEstimate() >= 0 && pattern.SpanEstimate() <= kSpanEstimateCap);
}

inline void RunPatternFuzzInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return;
  const std::uint8_t flags = data[0];
  std::size_t rest = size - 3;
  const std::size_t search_length = std::min<std::size_t>(data[1], rest);
  const std::size_t replace_length = std::min<std::size_t>(data[2], rest - search_length);
  const char* bytes = reinterpret_cast<const char*>(data + 3);
  std::string_view search(bytes, search_length);
  std::string_view replace(bytes + search_length, replace_length);
  std::string_view text(bytes + search_length + replace_length,
                        rest - search_length - replace_length);

  PatternOptions options;
  options.case_sensitive = (flags & 1) != 0;
  const int bounds[] = {32767, 300, 3, 1};
  options.repetition_bound = bounds[(flags >> 1) & 3];
  options.operator_order = (flags & 8) ? OperatorOrder::kPostfix : OperatorOrder::kPrefix;
  PatternOptions other_case = options;
  other_case.case_sensitive = !options.case_sensitive;
  for (PatternSyntax syntax : {PatternSyntax::kRegex, PatternSyntax::kWildcard}) {
    SearchPattern pattern(search, replace, syntax, options);
    Check(syntax == PatternSyntax::kRegex || pattern.ok());
    if (flags & 16) pattern.Widen();
    if (flags & 32) {  // a pattern of the other case folding, searched in between
      SearchPattern twin(search, replace, syntax, other_case);
      Check(twin.error() == pattern.error());
      if (flags & 16) twin.Widen();
      SearchWith(twin, text);
    }
    SearchWith(pattern, text);
  }
}

}  // namespace tsl::fuzzing
