// The program's own pattern language: a search expression (or a wildcard pattern, or a mask)
// compiled into a chain of nodes, with an optional replace expression and side conditions, and
// the matcher that finds the next match of the chain in a range of bytes.
//
// The language puts repetition operators in front of what they repeat (`*[0-9]x`, `+2-4[a-z]`),
// a parenthesised group holds alternative literal strings (`(cat|dog)`), `^` and `$` consume line
// breaks, and `!(...)` adds a condition the matched text must not meet. The matcher does not
// backtrack: it places the most selective node first, somewhere in a bounded window, fits its
// neighbours around it at most once each, and moves the window on when the chain does not fit.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pattern/pattern_node.h"

namespace tsl {

/// The repetition bound of a pattern made with default options.
inline constexpr int kDefaultRepetitionBound = 32767;
/// A caller's block of this many bytes or more may continue after the text; a smaller one ends
/// where the file ends.
inline constexpr std::int64_t kFullBlockBytes = 102400;
/// The span estimate never exceeds this many bytes.
inline constexpr std::int64_t kSpanEstimateCap = 10240;

enum class PatternSyntax {
  kRegex,     // the expression syntax
  kWildcard,  // `*` and `?` only (wildcard mode and masks)
};

enum class OperatorOrder {
  kPrefix,   // operators in front of the group they repeat: `+[0-9]`
  kPostfix,  // operators behind a bracketed group are accepted too: `[0-9]+`
};

/// How one pattern is compiled and matched. A pattern keeps its options for its whole life, and
/// so do its side conditions and its folder part.
struct PatternOptions {
  /// Off: literals and sets are upper-cased when compiled, and the searched text is upper-cased
  /// byte by byte when matched.
  bool case_sensitive = true;
  /// The maximum of `*`, of `+` without an upper count and of a leading line-break node; caps
  /// every count. Values below 1 count as 1.
  int repetition_bound = kDefaultRepetitionBound;
  /// Where repetition operators may stand in an expression; wildcard patterns ignore it.
  OperatorOrder operator_order = OperatorOrder::kPrefix;
};

/// Counts line breaks (an LF, or a CR not directly followed by LF; in UTF-16 text the LF is
/// looked for two bytes on) in `text[from, to)`. `abs_offset` is the offset of `text[0]` in the
/// file. A break is counted only when its offset is beyond `*last_line_break` (which then moves
/// to it), or when it lies at offset 0 and nothing has been counted yet. A CR that is the last
/// byte of a text that does not end the file is left for the next block, which sees what
/// follows it.
void CountLineBreaks(const char* text, std::int64_t length, std::int64_t from, std::int64_t to,
                     std::int64_t abs_offset, bool utf16, bool text_ends_file,
                     std::int64_t* last_line_break, std::int64_t* line_count);

class Matcher;
namespace pattern_internal {
struct SearchCache;
}

class SearchPattern {
 public:
  /// Compiles `search` (and `replace`, when given, into the replace chain) with `options`.
  /// A faulty expression still makes a pattern; `ok()` tells whether it was sound.
  SearchPattern(std::string_view search, std::optional<std::string_view> replace,
                PatternSyntax syntax, const PatternOptions& options = {});

  SearchPattern(SearchPattern&&) noexcept;
  SearchPattern& operator=(SearchPattern&&) noexcept;
  ~SearchPattern();

  /// False when compiling found a fault in the expression.
  bool ok() const { return error_.empty(); }
  /// The fault found while compiling; empty for a sound expression.
  const std::string& error() const { return error_; }
  const PatternOptions& options() const { return options_; }
  /// The main expression after conversions, for display.
  const std::string& source() const { return source_; }
  const std::vector<PatternNode>& nodes() const { return nodes_; }
  const std::vector<ReplaceNode>& replace_chain() const { return replace_; }
  /// True for every pattern except a side condition written with `!(...)`.
  bool must_match() const { return must_match_; }
  const std::vector<SearchPattern>& side_conditions() const { return side_conditions_; }
  /// The chain's node indices in the order the matcher places them.
  std::vector<int> MatchingOrder() const;

  /// Converts the pattern for UTF-16LE text: literals become UTF-16, sets also admit the zero
  /// byte and count twice as many bytes. Side conditions and the replace chain follow.
  void Widen();
  bool widened() const { return widened_; }

  /// Restarts the counters of the replace chain that restart per file (every counter when
  /// `force` is set). A leading `^` needs no reset: it may match nothing at the start of any
  /// text that Find is told starts at file offset 0.
  void ResetPerFile(bool force);

  /// The greatest number of bytes the chain can match.
  std::int64_t MaxLength() const;
  /// The sum over every node of the greatest length the chain can match from that node to its
  /// end, capped at kSpanEstimateCap: what a caller reading in blocks keeps as overlap.
  std::int64_t SpanEstimate() const;

  /// Finds the next match in `text[0, length)`; returns the end of the match (exclusive,
  /// relative to `text`) or -1. `block_bytes` below kFullBlockBytes means the text ends where
  /// the file ends (a pattern ending in `$` then also matches at the very end: it sees a line
  /// feed after the text, and nothing is written into the caller's buffer).
  /// `base_offset + buffer_offset` is the offset of `text[0]` in the file. The line breaks
  /// before the match (all of them when there is none) are counted into `*line_count` as
  /// CountLineBreaks does.
  std::int64_t Find(const char* text, std::int64_t length, std::int64_t block_bytes,
                    std::int64_t base_offset, std::int64_t buffer_offset,
                    std::int64_t* last_line_break, std::int64_t* line_count);

  /// The last match, exactly as in the text, without line breaks consumed by a leading `^` or a
  /// trailing `$`. It starts at the end Find returned less its length.
  std::string MatchedText() const;
  /// The replacement for the last match, built from the replace chain.
  std::string BuildReplacement();
  /// For masks: the first match covers the whole text.
  bool MatchesWhole(std::string_view text);

  /// The folder part of a mask: a wildcard pattern (with this pattern's options) and its
  /// switches.
  void SetFolderPart(std::string_view folder_wildcard, bool any_depth_before, bool any_depth_below);
  bool has_folder_part() const { return folder_pattern_ != nullptr; }
  SearchPattern* folder_pattern() const { return folder_pattern_.get(); }
  bool any_depth_before() const { return any_depth_before_; }
  bool any_depth_below() const { return any_depth_below_; }

 private:
  friend class Matcher;
  struct SideConditionTag {};
  SearchPattern(SideConditionTag, std::string_view expression, const PatternOptions& options,
                bool must_match, int depth, std::string* error);
  void CompileRegex(std::string_view expression, int depth, std::string* error);
  void Prepare();
  void ClearMatchState();

  PatternOptions options_;
  std::string source_;
  std::vector<PatternNode> nodes_;
  std::vector<ReplaceNode> replace_;
  bool must_match_ = true;
  std::vector<SearchPattern> side_conditions_;
  std::string error_;
  bool widened_ = false;

  // Derived from the chain: the matching order with a leading `^` in its relaxed form (it may
  // match nothing at the very start of a file) and in its strict form, and the greatest length
  // the chain can match from each node on.
  std::vector<int> order_relaxed_;
  std::vector<int> order_strict_;
  std::vector<std::int64_t> max_from_;

  std::unique_ptr<SearchPattern> folder_pattern_;
  bool any_depth_before_ = false;
  bool any_depth_below_ = false;

  // Substring searches and start tables prepared by the matcher for the pattern's case folding.
  std::unique_ptr<pattern_internal::SearchCache> cache_;

  bool needs_reset_ = false;
  std::int64_t match_start_ = -1;
  std::int64_t match_end_ = -1;
};

}  // namespace tsl
