// Matching: finds the next match of a compiled chain in a text. A window is laid over the text;
// the first node in matching order is placed at the first start in the window where it fits,
// and every further node in that order is fitted next to what is already placed: backwards
// against a placed right neighbour, else forwards from the left. Nothing already placed is ever
// moved. A chain that ends up placed without gaps, matches at least one byte and passes its side
// conditions is the match; otherwise the window moves on by rules that depend on where the
// first node landed. The skip search jumps over windows in which the first node cannot fit.
#include <algorithm>
#include <bit>

#include "pattern/matcher.h"

namespace tsl {

using pattern_internal::FoldTable;
using pattern_internal::IdentityTable;
using pattern_internal::UpperTable;
using Pos = pattern_internal::Pos;

// Repetitions of at most this many units are counted afresh each time: remembering them costs
// more than reading them again. The plain reference search remembers nothing at all.
constexpr Pos kShortRepeat = 16;

namespace {

/// A pattern's prepared searches, made by its first search. They hold for the pattern's case
/// folding, which is fixed when it is compiled.
pattern_internal::SearchCache& CacheFor(std::unique_ptr<pattern_internal::SearchCache>& cache,
                                        std::size_t nodes) {
  if (!cache) {
    cache = std::make_unique<pattern_internal::SearchCache>();
    cache->literals.resize(nodes);
    cache->start_tables.resize(nodes);
    cache->pairs.resize(nodes);
    cache->pairs_made.assign(nodes, false);
  }
  return *cache;
}

}  // namespace

// --- PlacedIndex ----------------------------------------------------------------------------

void PlacedIndex::Reset(std::size_t size) {
  size_ = size;
  words_.assign(size / 64 + 1, 0);
  summary_.assign(words_.size() / 64 + 1, 0);
}

void PlacedIndex::Insert(int i) {
  std::size_t w = static_cast<std::size_t>(i) / 64;
  words_[w] |= std::uint64_t{1} << (i % 64);
  summary_[w / 64] |= std::uint64_t{1} << (w % 64);
}

void PlacedIndex::Clear(const std::vector<int>& placed) {
  for (int i : placed) {
    std::size_t w = static_cast<std::size_t>(i) / 64;
    words_[w] = 0;
    summary_[w / 64] = 0;
  }
}

int PlacedIndex::Before(int i) const {
  if (i <= 0) return -1;
  std::size_t w = static_cast<std::size_t>(i) / 64;
  std::uint64_t below = words_[w] & ((std::uint64_t{1} << (i % 64)) - 1);
  if (below != 0) return static_cast<int>(w * 64 + 63 - std::countl_zero(below));
  // Earlier words: first within the same summary word, then earlier summary words.
  std::size_t s = w / 64;
  std::uint64_t candidates = summary_[s] & ((std::uint64_t{1} << (w % 64)) - 1);
  while (true) {
    if (candidates != 0) {
      std::size_t word = s * 64 + 63 - static_cast<std::size_t>(std::countl_zero(candidates));
      return static_cast<int>(word * 64 + 63 - std::countl_zero(words_[word]));
    }
    if (s == 0) return -1;
    candidates = summary_[--s];
  }
}

int PlacedIndex::After(int i) const {
  std::size_t next = static_cast<std::size_t>(i) + 1;
  std::size_t w = next / 64;
  if (w >= words_.size()) return -1;
  std::uint64_t above = words_[w] & ~((std::uint64_t{1} << (next % 64)) - 1);
  if (above != 0) return static_cast<int>(w * 64 + std::countr_zero(above));
  std::size_t s = w / 64;
  std::uint64_t candidates =
      (w % 64 == 63) ? 0 : summary_[s] & ~((std::uint64_t{2} << (w % 64)) - 1);
  while (true) {
    if (candidates != 0) {
      std::size_t word = s * 64 + static_cast<std::size_t>(std::countr_zero(candidates));
      return static_cast<int>(word * 64 + std::countr_zero(words_[word]));
    }
    if (++s >= summary_.size()) return -1;
    candidates = summary_[s];
  }
}

// --- Set-up ---------------------------------------------------------------------------------

Matcher::Matcher(SearchPattern& pattern, const char* text, Pos length, Pos block_bytes,
                 Pos abs_offset, bool plain)
    : pattern_(pattern),
      nodes_(pattern.nodes_),
      text_(reinterpret_cast<const unsigned char*>(text)),
      length_(length),
      ends_file_(block_bytes < kFullBlockBytes),
      abs_offset_(abs_offset),
      plain_(plain) {
  const PatternOptions& options = pattern.options_;
  fold_ = options.case_sensitive ? &IdentityTable() : &UpperTable();
  bound_ = pattern_internal::EffectiveBound(options.repetition_bound);
  size_ = length_ + (ends_file_ && nodes_.back().anchor == node_op::kLineEnd ? 1 : 0);
  max_length_ = pattern.max_from_[0];
  leading_caret_ = nodes_.front().anchor == node_op::kLineStart;
  for (const PatternNode& node : nodes_) {
    if (node.doubled_anchor && node.anchor == node_op::kLineStart) double_caret_ = true;
    if (node.doubled_anchor && node.anchor == node_op::kLineEnd) double_dollar_ = true;
  }
  for (PatternNode& node : nodes_) node.placed = false;  // whatever an earlier search left
  cache_ = &CacheFor(pattern.cache_, nodes_.size());
  placed_list_ = &cache_->placed_list;
  placed_index_ = &cache_->placed_index;
  if (placed_index_->size() != nodes_.size()) placed_index_->Reset(nodes_.size());
  placed_index_->Clear(*placed_list_);
  placed_list_->clear();
  if (cache_->run_index.size() != nodes_.size()) {  // one entry per node and alternative
    cache_->run_index.clear();
    std::size_t entries = 0;
    for (const PatternNode& node : nodes_) {
      cache_->run_index.push_back(entries);
      entries += 1 + node.alternatives.size();
    }
    cache_->runs.resize(entries);
    cache_->known.resize(nodes_.size());
    cache_->side_known.resize(pattern.side_conditions_.size());
  }
  ++cache_->search;
  order_ = &pattern.order_strict_;
}

Matcher::Window Matcher::FirstWindow() const {
  Pos span = max_length_ < bound_ ? 2 * max_length_ : max_length_;
  return {0, std::min(span, size_)};
}

Pos Matcher::FirstLineBreak() const {
  if (first_break_ == -2) {
    first_break_ = -1;
    for (Pos p = 0; p < length_; ++p) {
      if (pattern_internal::IsLineBreakAt(text_, length_, p, pattern_.widened_, ends_file_)) {
        first_break_ = p;
        break;
      }
    }
  }
  return first_break_;
}

// A leading `^` may match nothing at the very start of a file, until the window has passed the
// first line break of the text.
bool Matcher::Relaxed(Pos window_start) const {
  if (!leading_caret_ || abs_offset_ != 0) return false;
  Pos first = FirstLineBreak();
  return first < 0 || window_start <= first;
}

bool Matcher::relaxation_pending(const Window& window) const { return Relaxed(window.start); }

void Matcher::UseOrder(Pos window_start) {
  order_relaxed_ = Relaxed(window_start);
  order_ = order_relaxed_ ? &pattern_.order_relaxed_ : &pattern_.order_strict_;
}

void Matcher::ClearPlacements() {
  for (int k : *placed_list_) {
    PatternNode& node = nodes_[static_cast<std::size_t>(k)];
    node.placed = false;
    node.start = 0;
    node.end = -1;
    node.count = 0;
    node.alternative = 0;
  }
  placed_index_->Clear(*placed_list_);
  placed_list_->clear();
}

void Matcher::SetPlaced(int k, const Fit& fit) {
  PatternNode& node = nodes_[static_cast<std::size_t>(k)];
  node.placed = true;
  node.start = fit.start;
  node.end = fit.start + fit.length - 1;
  node.count = fit.count;
  node.alternative = fit.alternative;
  placed_list_->push_back(k);
  placed_index_->Insert(k);
}

int Matcher::NearestPlacedLeft(int k) const { return placed_index_->Before(k); }
int Matcher::NearestPlacedRight(int k) const { return placed_index_->After(k); }

Pos Matcher::NodeLength(int k) const {
  return pattern_.max_from_[static_cast<std::size_t>(k)] -
         pattern_.max_from_[static_cast<std::size_t>(k) + 1];
}

// --- One attempt ----------------------------------------------------------------------------

bool Matcher::Attempt(const Window& window, Pos hint) {
  UseOrder(window.start);
  ClearPlacements();
  window_ = window;
  first_missed_ = false;
  scan_end_ = window.start;
  Pos low = kNoLow;
  Pos high = kNoHigh;
  const std::vector<int>& order = *order_;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (!Place(order[i], low, high, i == 0 ? hint : 0)) return false;
    if (i + 1 < order.size()) NextBounds(order[i], order[i + 1], &low, &high);
  }
  return Accept();
}

// The node placed next in matching order is kept near the one just placed: right after it when
// it lies to the right, or no further left than the nodes in between could reach.
void Matcher::NextBounds(int placed, int next, Pos* low, Pos* high) {
  const PatternNode& node = nodes_[static_cast<std::size_t>(placed)];
  const std::vector<Pos>& max_from = pattern_.max_from_;
  if (next > placed) {
    *low = node.end + 1;
  } else {
    *low = node.start -
           (max_from[static_cast<std::size_t>(next)] - max_from[static_cast<std::size_t>(placed)]);
  }
  *high = std::min(size_, node.end + 1 + max_from[static_cast<std::size_t>(placed) + 1]);
  window_.end = std::max(window_.end, *high);
}

bool Matcher::Place(int k, Pos low, Pos high, Pos hint) {
  const std::size_t n = nodes_.size();
  const PatternNode& node = nodes_[static_cast<std::size_t>(k)];
  const int lp = NearestPlacedLeft(k);
  const int rp = NearestPlacedRight(k);
  const PatternNode* left_node = lp >= 0 ? &nodes_[static_cast<std::size_t>(lp)] : nullptr;
  const PatternNode* right_node = rp >= 0 ? &nodes_[static_cast<std::size_t>(rp)] : nullptr;
  const bool prev_placed = k > 0 && lp == k - 1;
  const bool next_placed = static_cast<std::size_t>(k) + 1 < n && rp == k + 1;
  Fit fit;
  bool ok;
  if (k == 0 && node.is_line_break() && right_node != nullptr) {
    ok = PlaceLeadingBreak(right_node->start, low, &fit);
  } else if (next_placed && !prev_placed) {
    Pos floor = left_node ? left_node->end + 1 : right_node->start - NodeLength(k);
    if (low != kNoLow) floor = std::max(floor, low);
    ok = FitBackward(k, right_node->start, std::max<Pos>(floor, 0), &fit);
  } else {
    Pos left = left_node ? left_node->end + 1 : window_.start;
    Pos right = right_node ? right_node->start : window_.end;
    if (low != kNoLow) left = std::max(left, low);
    if (high != kNoHigh) right = std::min(right, high);
    // Right after a placed neighbour, any later start would leave a gap that the contiguity
    // test rejects, so only the first start is tried.
    bool only_left = prev_placed && !left_node->is_empty_placement();
    ok = FitForward(k, std::max(left, hint), right, right_node ? right_node->start : size_,
                    only_left, &fit);
  }
  if (ok && next_placed && fit.start + fit.length != right_node->start) ok = false;
  if (ok) SetPlaced(k, fit);
  return ok;
}

// A first node that is a line-break node, with a placed node to its right, ends at the last
// line break before that node and takes the line breaks before it.
bool Matcher::PlaceLeadingBreak(Pos right_start, Pos low, Fit* fit) const {
  const PatternNode& node = nodes_.front();
  const Pos floor = std::max<Pos>(0, low == kNoLow ? 0 : low);
  Pos p = LastBreakByte(floor, right_start);
  if (p < 0) {
    if (order_relaxed_ && floor == 0) {  // the first line of the file
      *fit = Fit{0, 0, 0, 0};
      return true;
    }
    return false;
  }
  Pos end = p;
  if (node.widened && end + 1 < right_start && Folded(end + 1) == 0) ++end;
  Pos count = RepeatBackward(0, 0, end + 1, floor, node.max);
  if (count == 0) return false;
  *fit = Fit{end - count + 1, count, count, 0};
  return true;
}

Pos Matcher::LastBreakByte(Pos from, Pos to) const {
  auto scan = [&](Pos a, Pos b) {  // the last one in [a, b)
    for (Pos p = b - 1; p >= a; --p) {
      if (Folded(p) == '\n' || Folded(p) == '\r') return p;
    }
    return Pos{-1};
  };
  if (plain_) return scan(from, to);
  // Known: the last CR or LF in [known.from, known.to) is known.hit (-1: none).
  pattern_internal::KnownCandidates& known = last_break_;
  if (known.from >= 0 && known.from <= from && from <= known.to && known.to <= to) {
    Pos newer = scan(known.to, to);  // only what lies after the known stretch is read
    if (newer >= 0) known.hit = newer;
    known.to = to;
    return known.hit >= from ? known.hit : -1;
  }
  known = {from, to, scan(from, to)};
  return known.hit;
}

bool Matcher::LiteralAt(const std::string& literal, Pos s) const {
  for (std::size_t i = 0; i < literal.size(); ++i) {
    if (Folded(s + static_cast<Pos>(i)) != static_cast<unsigned char>(literal[i])) return false;
  }
  return true;
}

// Fitted backwards so that the node ends just before `end`: a set takes bytes backwards
// greedily; a literal (or the first alternative that fits) repeats backwards.
bool Matcher::FitBackward(int k, Pos end, Pos floor, Fit* fit) const {
  const PatternNode& node = nodes_[static_cast<std::size_t>(k)];
  if (node.mode == NodeMode::kSet) {
    Pos count = RepeatBackward(k, 0, end, floor, node.max);
    if (count < node.min) return false;
    *fit = Fit{end - count, count, count, 0};
    return true;
  }
  const int alternatives = static_cast<int>(node.alternatives.size());
  for (int a = 0; a <= alternatives; ++a) {
    const Pos l = static_cast<Pos>(node.AlternativeText(a).size());
    Pos count = l == 0 ? std::min<Pos>(node.max, 1) : RepeatBackward(k, a, end, floor, node.max);
    if (count >= std::max<Pos>(1, node.min)) {
      *fit = Fit{end - count * l, count * l, count, a};
      return true;
    }
  }
  if (node.min > 0) return false;
  *fit = Fit{end, 0, 0, 0};
  return true;
}

bool Matcher::MatchAt(int k, Pos s, Pos extent, Fit* fit) const {
  const PatternNode& node = nodes_[static_cast<std::size_t>(k)];
  if (node.mode == NodeMode::kSet) {
    const Pos count = RepeatForward(k, 0, s, extent, node.max);
    *fit = Fit{s, count, count, 0};
    return count >= node.min;
  }
  const int alternatives = static_cast<int>(node.alternatives.size());
  for (int a = 0; a <= alternatives; ++a) {
    const Pos l = static_cast<Pos>(node.AlternativeText(a).size());
    Pos count = l == 0 ? std::min<Pos>(node.max, 1) : RepeatForward(k, a, s, extent, node.max);
    if (count >= std::max<Pos>(1, node.min)) {
      *fit = Fit{s, count * l, count, a};
      return true;
    }
  }
  *fit = Fit{s, 0, 0, 0};
  return node.min == 0;
}

bool Matcher::FitRelaxedCaret(Pos left, Pos extent, Fit* fit) const {
  if (MatchAt(0, left, extent, fit) && fit->count > 0) return true;
  if (left != 0) return false;
  *fit = Fit{0, 0, 0, 0};  // nothing at the very start of the file
  return true;
}

// Fitted forwards: the first start from `left` (below `right`) at which the node matches
// between its minimum and maximum number of times. A node that may match nothing always fits at
// `left`.
bool Matcher::FitForward(int k, Pos left, Pos right, Pos extent, bool only_left, Fit* fit) {
  const PatternNode& node = nodes_[static_cast<std::size_t>(k)];
  if (k == 0 && order_relaxed_) return FitRelaxedCaret(left, extent, fit);
  if (node.min == 0) return MatchAt(k, left, extent, fit);
  if (only_left) right = std::min(right, left + 1);
  Pos scanned_to = right;
  Pos s = plain_ ? FindStartPlain(k, left, right, extent, &scanned_to)
                 : FindStartFast(k, left, right, extent, &scanned_to);
  if (s < 0) {
    if (!only_left && k == order_->front()) {
      first_missed_ = true;
      scan_end_ = scanned_to;
    }
    return false;
  }
  return MatchAt(k, s, extent, fit);
}

Pos Matcher::FindStartPlain(int k, Pos from, Pos right, Pos extent, Pos* scanned_to) const {
  const PatternNode& node = nodes_[static_cast<std::size_t>(k)];
  // A last set node that fails at a start extends its right limit by one byte.
  const bool extends =
      node.mode == NodeMode::kSet && static_cast<std::size_t>(k) + 1 == nodes_.size();
  Fit fit;
  for (Pos s = from; s < right; ++s) {
    if (MatchAt(k, s, extent, &fit)) return s;
    if (extends) right = std::min(right + 1, size_);
  }
  *scanned_to = std::max(right, from);
  return -1;
}

Pos Matcher::FindStartFast(int k, Pos from, Pos right, Pos extent, Pos* scanned_to) const {
  const PatternNode& node = nodes_[static_cast<std::size_t>(k)];
  if (node.mode == NodeMode::kSet && static_cast<std::size_t>(k) + 1 == nodes_.size() &&
      from < right) {
    right = size_;  // where extending the right limit byte by byte ends up
  }
  *scanned_to = std::max(right, from);
  if (from >= right) return -1;
  if (node.mode == NodeMode::kLiteral && node.alternatives.empty() && !node.literal.empty()) {
    return FindLiteralStart(k, from, right, extent);
  }
  return FindByTable(k, from, right, extent);
}

// A literal: candidate starts come from the substring search; a repeated literal must also
// reach its minimum count there.
Pos Matcher::FindLiteralStart(int k, Pos from, Pos right, Pos extent) const {
  const PatternNode& node = nodes_[static_cast<std::size_t>(k)];
  const Pos l = static_cast<Pos>(node.literal.size());
  const Pos last_start = std::min(right - 1, extent - l);
  Fit fit;
  Pos p = from;
  while (p <= last_start) {
    Pos c = Candidate(KnownOf(cache_->known, static_cast<std::size_t>(k)), p, last_start,
                      [&](Pos a, Pos b) { return LiteralSearchOf(k).Find(text_, length_, a, b); });
    if (c < 0) {
      // The line feed seen after a text that ends the file is not in the text itself.
      Pos tail = length_ + 1 - l;
      if (size_ > length_ && tail >= p && tail <= last_start && MatchAt(k, tail, extent, &fit)) {
        return tail;
      }
      return -1;
    }
    if (MatchAt(k, c, extent, &fit)) return c;
    p = c + 1;
  }
  return -1;
}

namespace {

/// Adds what a walk found to what was known, when both are repetitions of the same unit that
/// meet; otherwise the newer knowledge replaces the older.
void Remember(pattern_internal::KnownRun& run, pattern_internal::KnownRun found, Pos unit) {
  if (found.lo >= found.hi) return;
  if (run.lo < run.hi && found.lo <= run.hi && run.lo <= found.hi &&
      (unit == 1 || (found.lo - run.lo) % unit == 0)) {
    found.starts_run = found.lo < run.lo    ? found.starts_run
                       : found.lo == run.lo ? found.starts_run || run.starts_run
                                            : run.starts_run;
    found.ends_run = found.hi > run.hi    ? found.ends_run
                     : found.hi == run.hi ? found.ends_run || run.ends_run
                                          : run.ends_run;
    found.lo = std::min(found.lo, run.lo);
    found.hi = std::max(found.hi, run.hi);
  }
  found.search = run.search;
  run = found;
}

}  // namespace

pattern_internal::KnownRun& Matcher::RunOf(int k, int a) const {
  pattern_internal::KnownRun& run =
      cache_->runs[cache_->run_index[static_cast<std::size_t>(k)] + static_cast<std::size_t>(a)];
  if (run.search != cache_->search) run = {0, 0, false, false, cache_->search};
  return run;
}

pattern_internal::KnownCandidates& Matcher::KnownOf(
    std::vector<pattern_internal::KnownCandidates>& all, std::size_t i) const {
  pattern_internal::KnownCandidates& known = all[i];
  if (known.search != cache_->search) known = {-1, -1, -1, cache_->search};
  return known;
}

bool Matcher::UnitAt(int k, int a, Pos p) const {
  const PatternNode& node = nodes_[static_cast<std::size_t>(k)];
  if (node.mode == NodeMode::kSet) return node.set.Contains(Folded(p));
  return LiteralAt(node.AlternativeText(a), p);
}

Pos Matcher::RepeatBackward(int k, int a, Pos end, Pos floor, Pos cap) const {
  const PatternNode& node = nodes_[static_cast<std::size_t>(k)];
  const bool remember = !plain_ && cap > kShortRepeat;  // see kShortRepeat
  floor = std::max<Pos>(floor, 0);
  if (!remember && node.mode == NodeMode::kSet) {
    const pattern_internal::ByteTable& members = StartTableOf(k);  // by the bytes of the text
    const Pos begin = std::max(floor, end - cap);
    Pos p = end;
    if (p > begin && p - 1 == length_ && node.set.Contains(Folded(p - 1))) --p;
    while (p > begin && p - 1 < length_ && members[text_[p - 1]]) --p;
    return end - p;
  }
  const Pos unit =
      node.mode == NodeMode::kSet ? 1 : static_cast<Pos>(node.AlternativeText(a).size());
  pattern_internal::KnownRun nothing_known;
  pattern_internal::KnownRun& run = remember ? RunOf(k, a) : nothing_known;
  Pos p = end;
  Pos count = 0;
  bool stopped = false;
  while (count < cap && p - unit >= floor) {
    if (run.lo < p && p <= run.hi && (unit == 1 || (run.hi - p) % unit == 0)) {  // [run.lo, p)
      const Pos known = (p - run.lo) / unit;
      const Pos take = std::min({known, cap - count, (p - floor) / unit});
      p -= take * unit;
      count += take;
      stopped = take == known && run.starts_run;
      if (take < known || stopped) break;
      continue;
    }
    if (!UnitAt(k, a, p - unit)) {
      stopped = true;
      break;
    }
    p -= unit;
    ++count;
  }
  if (&run != &nothing_known) Remember(run, {p, end, stopped || p - unit < 0, false}, unit);
  return count;
}

Pos Matcher::RepeatForward(int k, int a, Pos start, Pos limit, Pos cap) const {
  const PatternNode& node = nodes_[static_cast<std::size_t>(k)];
  const bool remember = !plain_ && cap > kShortRepeat;  // see kShortRepeat
  if (!remember && node.mode == NodeMode::kSet) {
    const pattern_internal::ByteTable& members = StartTableOf(k);  // by the bytes of the text
    const Pos end = std::min(limit, start + cap);
    const Pos real_end = std::min(end, length_);
    Pos p = start;
    while (p < real_end && members[text_[p]]) ++p;
    if (p == length_ && p < end && node.set.Contains(Folded(p))) ++p;
    return p - start;
  }
  const Pos unit =
      node.mode == NodeMode::kSet ? 1 : static_cast<Pos>(node.AlternativeText(a).size());
  pattern_internal::KnownRun nothing_known;
  pattern_internal::KnownRun& run = remember ? RunOf(k, a) : nothing_known;
  Pos p = start;
  Pos count = 0;
  bool stopped = false;
  while (count < cap && p + unit <= limit) {
    if (run.lo <= p && p < run.hi && (unit == 1 || (p - run.lo) % unit == 0)) {  // [p, run.hi)
      const Pos known = (run.hi - p) / unit;
      const Pos take = std::min({known, cap - count, (limit - p) / unit});
      p += take * unit;
      count += take;
      stopped = take == known && run.ends_run;
      if (take < known || stopped) break;
      continue;
    }
    if (!UnitAt(k, a, p)) {
      stopped = true;
      break;
    }
    p += unit;
    ++count;
  }
  if (&run != &nothing_known) Remember(run, {start, p, false, stopped || p + unit > size_}, unit);
  return count;
}

template <typename Search>
Pos Matcher::Candidate(pattern_internal::KnownCandidates& known, Pos from, Pos to, Search search) {
  if (from > to) return -1;
  if (known.from >= 0 && from >= known.from) {
    if (known.hit >= from) return known.hit <= to ? known.hit : -1;  // none before the hit
    if (known.hit < 0 && from <= known.to + 1) {                     // none up to known.to
      if (to <= known.to) return -1;
      known.hit = search(known.to + 1, to);
      known.to = to;
      return known.hit;
    }
  }
  known.from = from;
  known.to = to;
  known.hit = search(from, to);
  return known.hit;
}

// Sets and groups: candidate starts are the bytes that can begin the node; a set's run that is
// too short rules out every start inside it.
Pos Matcher::FindByTable(int k, Pos from, Pos right, Pos extent) const {
  const PatternNode& node = nodes_[static_cast<std::size_t>(k)];
  const pattern_internal::ByteTable& table = StartTableOf(k);
  const pattern_internal::PairSearch* pairs = PairSearchOf(k);
  Fit fit;
  Pos p = from;
  while (p < right) {
    Pos c = Candidate(KnownOf(cache_->known, static_cast<std::size_t>(k)), p,
                      std::min(right, length_) - 1, [&](Pos a, Pos b) {
                        return pairs ? pairs->Find(text_, length_, a, b)
                                     : pattern_internal::FindTableByte(text_, a, b + 1, table);
                      });
    if (c < 0) {
      if (length_ >= p && length_ < right && MatchAt(k, length_, extent, &fit)) return length_;
      return -1;
    }
    if (MatchAt(k, c, extent, &fit)) return c;
    if (node.mode == NodeMode::kSet) {
      if (c + fit.count >= extent) return -1;  // every later run is cut shorter still
      p = c + fit.count + 1;
    } else {
      p = c + 1;
    }
  }
  return -1;
}

const pattern_internal::LiteralSearch& Matcher::LiteralSearchOf(int k) const {
  std::unique_ptr<pattern_internal::LiteralSearch>& search =
      cache_->literals[static_cast<std::size_t>(k)];
  if (!search) {
    search = std::make_unique<pattern_internal::LiteralSearch>(
        nodes_[static_cast<std::size_t>(k)].literal, *fold_);
  }
  return *search;
}

namespace {

/// The bytes of the text (before folding) with which a node can begin.
pattern_internal::ByteTable StartTable(const PatternNode& node,
                                       const pattern_internal::FoldTable& fold) {
  pattern_internal::ByteTable table{};
  for (int b = 0; b < 256; ++b) {
    unsigned char folded = fold[static_cast<std::size_t>(b)];
    bool can_begin = false;
    if (node.mode == NodeMode::kSet) {
      can_begin = node.set.Contains(folded);
    } else {
      for (int a = 0; a <= static_cast<int>(node.alternatives.size()) && !can_begin; ++a) {
        const std::string& literal = node.AlternativeText(a);
        can_begin = literal.empty() || static_cast<unsigned char>(literal[0]) == folded;
      }
    }
    table[static_cast<std::size_t>(b)] = can_begin;
  }
  return table;
}

}  // namespace

const pattern_internal::ByteTable& Matcher::StartTableOf(int k) const {
  std::unique_ptr<pattern_internal::ByteTable>& table =
      cache_->start_tables[static_cast<std::size_t>(k)];
  if (!table) {
    table = std::make_unique<pattern_internal::ByteTable>(
        StartTable(nodes_[static_cast<std::size_t>(k)], *fold_));
  }
  return *table;
}

const pattern_internal::PairSearch* Matcher::PairSearchOf(int k) const {
  const auto i = static_cast<std::size_t>(k);
  const PatternNode& node = nodes_[i];
  if (node.mode != NodeMode::kLiteral) return nullptr;
  if (!cache_->pairs_made[i]) {
    std::vector<std::string> alternatives = node.alternatives;
    alternatives.push_back(node.literal);
    cache_->pairs[i] = pattern_internal::PairSearch::For(alternatives, *fold_);
    cache_->pairs_made[i] = true;
  }
  return cache_->pairs[i].get();
}

// --- Acceptance -----------------------------------------------------------------------------

bool Matcher::Accept() {
  Pos raw_start = -1;
  Pos raw_end = -1;
  for (const PatternNode& node : nodes_) {
    if (!node.placed) return false;
    if (node.is_empty_placement()) continue;
    if (raw_start < 0) {
      raw_start = node.start;
    } else if (node.start != raw_end) {
      return false;
    }
    raw_end = node.end + 1;
  }
  if (raw_start < 0) return false;  // nothing matched
  if (double_caret_ && (abs_offset_ != 0 || raw_start != 0)) return false;
  // `$$`: the match must reach the end of the text, and the text must end the file. Line breaks
  // taken by `$$` count as reaching it, so that a last line ending in CR LF is found too.
  if (double_dollar_ && (!ends_file_ || raw_end < length_)) return false;
  Pos start = raw_start;
  Pos end = raw_end;
  const PatternNode& head = nodes_.front();
  const PatternNode& tail = nodes_.back();
  if (head.anchor == node_op::kLineStart && !head.is_empty_placement()) start = head.end + 1;
  if (tail.anchor == node_op::kLineEnd && !tail.is_empty_placement()) end = tail.start;
  start = std::min(start, end);
  if (!SideConditionsHold(start, end)) return false;
  match_start_ = start;
  match_end_ = end;
  return true;
}

bool Matcher::SideConditionsHold(Pos start, Pos end) const {
  for (std::size_t i = 0; i < pattern_.side_conditions_.size(); ++i) {
    SearchPattern& side = pattern_.side_conditions_[i];
    if (SideConditionFound(i, side, start, end) != side.must_match()) return false;
  }
  return true;
}

// A side condition is searched in the matched text. Before that, its first node in matching
// order (when it must match something) is looked for in the whole text with a search that is
// remembered across attempts: where it cannot begin, the condition cannot be found, and a
// condition that is one plain literal is found exactly where the literal occurs.
bool Matcher::SideConditionFound(std::size_t i, SearchPattern& side, Pos start, Pos end) const {
  const std::vector<PatternNode>& nodes = side.nodes_;
  if (!plain_ && !nodes.front().is_line_break() && !nodes.back().is_line_break()) {
    const int k = side.order_strict_.front();
    const PatternNode& node = nodes[static_cast<std::size_t>(k)];
    if (node.min > 0) {
      pattern_internal::SearchCache& cache = CacheFor(side.cache_, nodes.size());
      pattern_internal::KnownCandidates& known = KnownOf(cache_->side_known, i);
      const bool literal =
          node.mode == NodeMode::kLiteral && node.alternatives.empty() && !node.literal.empty();
      Pos first;
      if (literal) {
        std::unique_ptr<pattern_internal::LiteralSearch>& search =
            cache.literals[static_cast<std::size_t>(k)];
        if (!search) {
          search = std::make_unique<pattern_internal::LiteralSearch>(node.literal, *fold_);
        }
        first = Candidate(known, start, end - static_cast<Pos>(node.literal.size()),
                          [&](Pos a, Pos b) { return search->Find(text_, length_, a, b); });
      } else {
        std::unique_ptr<pattern_internal::ByteTable>& table =
            cache.start_tables[static_cast<std::size_t>(k)];
        if (!table) table = std::make_unique<pattern_internal::ByteTable>(StartTable(node, *fold_));
        first = Candidate(known, start, end - 1, [&](Pos a, Pos b) {
          return pattern_internal::FindTableByte(text_, a, b + 1, *table);
        });
      }
      if (first < 0) return false;
      if (literal && nodes.size() == 1 && node.op == node_op::kNone &&
          side.side_conditions_.empty()) {
        return true;
      }
    }
  }
  Pos last_line_break = 0;
  Pos line_count = 0;
  return side.Find(reinterpret_cast<const char*>(text_) + start, end - start, 0, 0, 0,
                   &last_line_break, &line_count) >= 0;
}

std::string Matcher::Bytes(Pos start, Pos length) const {
  std::string bytes;
  if (length <= 0) return bytes;
  Pos real = std::max<Pos>(0, std::min(start + length, length_) - start);
  bytes.assign(reinterpret_cast<const char*>(text_) + start, static_cast<std::size_t>(real));
  bytes.append(static_cast<std::size_t>(length - real), '\n');
  return bytes;
}

void Matcher::Commit() {
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    PatternNode& node = nodes_[i];
    bool stripped = (i == 0 && node.anchor == node_op::kLineStart) ||
                    (i + 1 == nodes_.size() && node.anchor == node_op::kLineEnd);
    const Pos length = stripped ? 0 : node.end + 1 - node.start;
    if (length > 0 && node.end < length_) {
      node.matched.assign(reinterpret_cast<const char*>(text_) + node.start,
                          static_cast<std::size_t>(length));
    } else {
      node.matched = Bytes(node.start, length);
    }
  }
  pattern_.match_start_ = match_start_;
  pattern_.match_end_ = match_end_;
}

// --- Moving the window ----------------------------------------------------------------------

int Matcher::NodeBeforeFirstGap() const {
  int last = 0;
  Pos expected = nodes_.front().is_empty_placement() ? -1 : nodes_.front().end + 1;
  for (std::size_t i = 1; i < nodes_.size(); ++i) {
    const PatternNode& node = nodes_[i];
    if (!node.placed) break;
    if (node.is_empty_placement()) continue;
    if (expected >= 0 && node.start != expected) break;
    last = static_cast<int>(i);
    expected = node.end + 1;
  }
  return last;
}

Matcher::Window Matcher::NextWindow() const {
  const PatternNode& first = nodes_[static_cast<std::size_t>(order_->front())];
  if (!first.placed) return MoveAfterMiss(window_);
  const PatternNode* basis = &first;
  if (nodes_.front().placed && !nodes_.front().is_line_break()) {
    basis = &nodes_[static_cast<std::size_t>(NodeBeforeFirstGap())];
  }
  Pos next = basis->mode == NodeMode::kLiteral ? basis->start + 1 : basis->end + 1;
  next = std::max(next, window_.start + 1);
  return {next, std::min(size_, next + 2 * max_length_)};
}

// After the first node in matching order found no place: a set moves the window by one byte; a
// literal moves it to where an occurrence across the window's end would begin.
Matcher::Window Matcher::MoveAfterMiss(const Window& window) const {
  const int k = order_->front();
  Pos next = window.start + 1;
  if (nodes_[static_cast<std::size_t>(k)].mode == NodeMode::kLiteral) {
    const Pos length = NodeLength(k);
    next = window.end - length;
    if (next <= window.start) next += length;
    next = std::max(next, window.start + 1);
  }
  return {next, std::min(size_, next + 2 * max_length_)};
}

Pos Matcher::NextFirstNodeStart(Pos from) const {
  Pos scanned_to = 0;
  return FindStartFast(order_->front(), from, size_, size_, &scanned_to);
}

Matcher::Window Matcher::SkipTo(Window window, Pos target) const {
  const int k = order_->front();
  const bool literal = nodes_[static_cast<std::size_t>(k)].mode == NodeMode::kLiteral;
  const Pos span = 2 * max_length_;
  if (target >= size_) return {size_, size_};  // no start is left to try
  while (window.start < size_ && window.end <= target) {
    // While windows keep their full span, the moves are regular: jump over all but the last.
    if (span > 0 && window.end == window.start + span) {
      if (!literal) {
        Pos start = std::max(window.start + 1, target - span + 1);
        window = {start, std::min(size_, start + span)};
        continue;
      }
      Pos stride = span - NodeLength(k);
      if (stride >= 1 && target - window.end > 2 * stride) {
        Pos steps = (target - window.end) / stride - 1;
        window.start += steps * stride;
        window.end += steps * stride;
        continue;
      }
    }
    window = MoveAfterMiss(window);
  }
  return window;
}

bool Matcher::FindSingleNode(bool* found) {
  if (nodes_.size() != 1 || !pattern_.side_conditions_.empty()) return false;
  PatternNode& node = nodes_.front();
  if (node.min < 1 || node.is_line_break()) return false;
  if (node.mode == NodeMode::kLiteral) {
    for (int a = 0; a <= static_cast<int>(node.alternatives.size()); ++a) {
      if (node.AlternativeText(a).empty()) return false;
    }
  }
  Pos scanned_to = 0;
  Pos start = FindStartFast(0, 0, size_, size_, &scanned_to);
  Fit fit;
  *found = start >= 0 && MatchAt(0, start, size_, &fit);
  if (*found) {
    SetPlaced(0, fit);
    match_start_ = fit.start;
    match_end_ = fit.start + fit.length;
  }
  return true;
}

bool FindWithSkips(Matcher& matcher) {
  bool found = false;
  if (matcher.FindSingleNode(&found)) return found;
  Matcher::Window window = matcher.FirstWindow();
  Matcher::Pos hint = 0;
  while (window.start < matcher.size()) {
    const bool pending = matcher.relaxation_pending(window);
    if (matcher.Attempt(window, pending ? 0 : hint)) return true;
    if (matcher.first_node_missed() && !pending) {
      Matcher::Pos next = matcher.NextFirstNodeStart(matcher.scan_end());
      hint = next < 0 ? matcher.size() : next;
      window = matcher.SkipTo(window, hint);
    } else {
      window = matcher.NextWindow();
    }
  }
  return false;
}

}  // namespace tsl
