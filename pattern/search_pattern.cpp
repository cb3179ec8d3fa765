// SearchPattern: building a pattern from its texts (the phases live in compile.cpp, order.cpp,
// match.cpp and replace.cpp), widening it for UTF-16 text, the per-file reset, and the entry
// points callers use: Find, MatchedText, BuildReplacement, MatchesWhole. Also the code-page
// tables the phases share.
#include "pattern/search_pattern.h"

#include <algorithm>

#include "pattern/matcher.h"
#include "pattern/pattern_internal.h"
#include "pattern/skip_search.h"
#include "platform/code_page.h"

namespace tsl {

using pattern_internal::CompileOptions;
using pattern_internal::Pos;

namespace pattern_internal {

const FoldTable& UpperTable() {
  static const FoldTable table = [] {
    FoldTable t{};
    for (int b = 0; b < 256; ++b) {
      t[static_cast<std::size_t>(b)] = cp::ToUpper(static_cast<unsigned char>(b));
    }
    return t;
  }();
  return table;
}

const FoldTable& IdentityTable() {
  static const FoldTable table = [] {
    FoldTable t{};
    for (int b = 0; b < 256; ++b) t[static_cast<std::size_t>(b)] = static_cast<unsigned char>(b);
    return t;
  }();
  return table;
}

std::int64_t EffectiveBound(int bound) { return std::max(bound, 1); }

}  // namespace pattern_internal

void ByteSet::Add(unsigned char b) {
  if (Contains(b)) return;
  bits_[b >> 6] |= std::uint64_t{1} << (b & 63);
  members_.push_back(static_cast<char>(b));
}

bool ByteSet::IsNumeric() const {
  if (members_.empty()) return false;
  return std::all_of(members_.begin(), members_.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
}

namespace {

CompileOptions CompileOptionsOf(const PatternOptions& options) {
  return {options.case_sensitive, pattern_internal::EffectiveBound(options.repetition_bound)};
}

}  // namespace

SearchPattern::SearchPattern(std::string_view search, std::optional<std::string_view> replace,
                             PatternSyntax syntax, const PatternOptions& options)
    : options_(options) {
  if (syntax == PatternSyntax::kWildcard) {
    source_ = std::string(search);
    nodes_ = pattern_internal::CompileWildcardChain(search, CompileOptionsOf(options_));
  } else {
    std::string expression = options_.operator_order == OperatorOrder::kPostfix
                                 ? pattern_internal::ConvertFromPostfix(search)
                                 : std::string(search);
    CompileRegex(expression, 0, &error_);
  }
  if (replace) replace_ = pattern_internal::CompileReplace(*replace, nodes_);
  Prepare();
}

SearchPattern::SearchPattern(SideConditionTag, std::string_view expression,
                             const PatternOptions& options, bool must_match, int depth,
                             std::string* error)
    : options_(options), must_match_(must_match) {
  CompileRegex(expression, depth, error);
  Prepare();
}

SearchPattern::SearchPattern(SearchPattern&&) noexcept = default;
SearchPattern& SearchPattern::operator=(SearchPattern&&) noexcept = default;
SearchPattern::~SearchPattern() = default;

void SearchPattern::CompileRegex(std::string_view expression, int depth, std::string* error) {
  const CompileOptions options = CompileOptionsOf(options_);
  if (depth > pattern_internal::kMaxSideConditionDepth) {
    if (error->empty()) *error = "side conditions nested too deeply";
    source_ = std::string(expression);
    nodes_ = pattern_internal::CompileWildcardChain("", options);
    return;
  }
  pattern_internal::SplitExpression split = pattern_internal::SplitSideConditions(expression);
  source_ = split.main;
  nodes_ = pattern_internal::CompileRegexChain(split.main, options, error);
  if (nodes_.front().is_line_break()) nodes_.front().max = options.bound;
  for (const pattern_internal::SideConditionText& side : split.side_conditions) {
    side_conditions_.push_back(
        SearchPattern(SideConditionTag{}, side.text, options_, side.must_match, depth + 1, error));
  }
}

void SearchPattern::Prepare() {
  cache_.reset();
  max_from_ = pattern_internal::MaxLengthsFrom(nodes_);
  order_strict_ = pattern_internal::ComputeMatchingOrder(nodes_, nodes_.front().min);
  order_relaxed_ = nodes_.front().anchor == node_op::kLineStart
                       ? pattern_internal::ComputeMatchingOrder(nodes_, 0)
                       : order_strict_;
}

std::vector<int> SearchPattern::MatchingOrder() const { return order_strict_; }

void SearchPattern::Widen() {
  if (widened_) return;
  widened_ = true;
  const std::int64_t bound = pattern_internal::EffectiveBound(options_.repetition_bound);
  for (PatternNode& node : nodes_) {
    if (node.mode == NodeMode::kLiteral) {
      node.literal = pattern_internal::WidenText(node.literal);
      for (std::string& alternative : node.alternatives) {
        alternative = pattern_internal::WidenText(alternative);
      }
    } else {
      node.set.Add(0);
      node.min *= 2;
      node.max = std::max(node.min, std::min(node.max * 2, bound));
    }
    node.widened = true;
  }
  for (ReplaceNode& piece : replace_) {
    if (!piece.is_reference) piece.literal = pattern_internal::WidenText(piece.literal);
  }
  for (SearchPattern& side : side_conditions_) side.Widen();
  Prepare();
}

void SearchPattern::ResetPerFile(bool force) {
  for (ReplaceNode& piece : replace_) {
    if (piece.counter && (force || piece.reset_per_file)) piece.current.reset();
  }
  ClearMatchState();
}

std::int64_t SearchPattern::MaxLength() const { return max_from_.front(); }

std::int64_t SearchPattern::SpanEstimate() const {
  std::int64_t total = 0;
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    total = std::min(total + max_from_[i], kSpanEstimateCap);
  }
  return total;
}

void SearchPattern::ClearMatchState() {
  for (PatternNode& node : nodes_) {
    node.placed = false;
    node.start = 0;
    node.end = -1;
    node.count = 0;
    node.alternative = 0;
    node.matched.clear();
  }
  match_start_ = -1;
  match_end_ = -1;
  needs_reset_ = false;
}

std::int64_t SearchPattern::Find(const char* text, std::int64_t length, std::int64_t block_bytes,
                                 std::int64_t base_offset, std::int64_t buffer_offset,
                                 std::int64_t* last_line_break, std::int64_t* line_count) {
  if (needs_reset_) ClearMatchState();
  if (text == nullptr || length < 0) length = 0;
  static const char kEmpty = 0;
  if (text == nullptr) text = &kEmpty;
  const Pos abs_offset = base_offset + buffer_offset;
  const bool ends_file = block_bytes < kFullBlockBytes;
  Matcher matcher(*this, text, length, block_bytes, abs_offset, /*plain=*/false);
  needs_reset_ = true;
  if (FindWithSkips(matcher)) {
    matcher.Commit();
    CountLineBreaks(text, length, 0, matcher.match_start(), abs_offset, widened_, ends_file,
                    last_line_break, line_count);
    return matcher.match_end();
  }
  CountLineBreaks(text, length, 0, length, abs_offset, widened_, ends_file, last_line_break,
                  line_count);
  return -1;
}

void CountLineBreaks(const char* text, std::int64_t length, std::int64_t from, std::int64_t to,
                     std::int64_t abs_offset, bool utf16, bool text_ends_file,
                     std::int64_t* last_line_break, std::int64_t* line_count) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  to = std::min(to, length);
  from = std::max<std::int64_t>(from, 0);
  if (from >= to) return;
  // Breaks at or before the last counted one were counted by an earlier call; a break at the
  // very start of the file is counted while nothing has been counted.
  std::int64_t begin = std::max(from, *last_line_break - abs_offset + 1);
  if (abs_offset == 0 && from == 0 && *last_line_break == 0 && *line_count == 0 && begin > 0 &&
      pattern_internal::IsLineBreakAt(bytes, length, 0, utf16, text_ends_file)) {
    *line_count = 1;
  }
  if (begin >= to) return;
  pattern_internal::BreakScan scan =
      pattern_internal::ScanLineBreaks(bytes, length, begin, to, utf16, text_ends_file);
  *line_count += scan.count;
  if (scan.last >= 0) *last_line_break = abs_offset + scan.last;
}

std::string SearchPattern::MatchedText() const {
  std::string text;
  for (const PatternNode& node : nodes_) text += node.matched;
  return text;
}

std::string SearchPattern::BuildReplacement() {
  return pattern_internal::BuildReplacementText(replace_, nodes_, widened_);
}

bool SearchPattern::MatchesWhole(std::string_view text) {
  std::int64_t last_line_break = 0;
  std::int64_t line_count = 0;
  const auto length = static_cast<std::int64_t>(text.size());
  return Find(text.data(), length, 0, 0, 0, &last_line_break, &line_count) == length &&
         static_cast<std::int64_t>(MatchedText().size()) == length;
}

void SearchPattern::SetFolderPart(std::string_view folder_wildcard, bool any_depth_before,
                                  bool any_depth_below) {
  folder_pattern_ = std::make_unique<SearchPattern>(folder_wildcard, std::nullopt,
                                                    PatternSyntax::kWildcard, options_);
  any_depth_before_ = any_depth_before;
  any_depth_below_ = any_depth_below;
}

}  // namespace tsl
