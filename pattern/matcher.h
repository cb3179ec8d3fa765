// One search of a compiled pattern over one text: the window, the placing of nodes, the checks a
// placed chain must pass, and the window moves after a failed attempt. Internal to pattern/;
// SearchPattern::Find drives it with the skip search, and the tests drive it with a plain loop
// that slides the window exactly as the rules say, to check that both find the same matches.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pattern/pattern_internal.h"
#include "pattern/search_pattern.h"
#include "pattern/skip_search.h"

namespace tsl {

/// The chain positions placed in the current attempt, with the nearest placed one on either
/// side of a position found in a few word operations also for very long chains.
class PlacedIndex {
 public:
  void Reset(std::size_t size);
  std::size_t size() const { return size_; }
  void Insert(int i);
  void Clear(const std::vector<int>& placed);
  /// The greatest placed index below i, or -1.
  int Before(int i) const;
  /// The smallest placed index above i, or -1.
  int After(int i) const;

 private:
  std::size_t size_ = 0;
  std::vector<std::uint64_t> words_;
  std::vector<std::uint64_t> summary_;  // bit w: words_[w] is not zero
};

namespace pattern_internal {
/// What one search already knows about where a node can begin: the first candidate start in
/// [from, to] is `hit` (-1: there is none). Windows overlap and nodes are retried from nearby
/// starts, so without this a node could scan the same stretch again and again.
struct KnownCandidates {
  Pos from = -1;
  Pos to = -1;
  Pos hit = -1;
  std::uint32_t search = 0;  // which search learnt it; what earlier searches learnt is stale
};

/// A stretch [lo, hi) of the text known to be made of whole repetitions of one unit (a member
/// of a set node, or a node's literal), and whether no further repetition is known to end at
/// `lo` or to begin at `hi`.
struct KnownRun {
  Pos lo = 0;
  Pos hi = 0;
  bool starts_run = false;
  bool ends_run = false;
  std::uint32_t search = 0;  // as in KnownCandidates
};

/// What the matcher prepares once per pattern (for the pattern's case folding): each node's
/// substring search and the table of bytes a node can begin with.
struct SearchCache {
  std::vector<std::unique_ptr<LiteralSearch>> literals;
  std::vector<std::unique_ptr<ByteTable>> start_tables;
  std::vector<std::unique_ptr<PairSearch>> pairs;  // groups whose pair filter was made
  std::vector<bool> pairs_made;
  // Scratch space of one search, kept so that a search allocates nothing. Each search has its
  // own number; entries written by earlier searches count as empty.
  std::uint32_t search = 0;
  std::vector<int> placed_list;
  PlacedIndex placed_index;
  std::vector<KnownCandidates> known;       // per node, for the current text
  std::vector<KnownRun> runs;               // per node and alternative, for the current text
  std::vector<std::size_t> run_index;       // where each node's entries begin in `runs`
  std::vector<KnownCandidates> side_known;  // per side condition
};
}  // namespace pattern_internal

class Matcher {
 public:
  using Pos = pattern_internal::Pos;

  struct Window {
    Pos start = 0;
    Pos end = 0;  // exclusive: starts are tried below it
  };

  /// `abs_offset` is the offset of text[0] in the file. With `plain`, nodes are fitted by
  /// trying every start in turn, without the fast substring and set searches, nothing learnt
  /// in one attempt is used in another, and side conditions are always searched in full.
  Matcher(SearchPattern& pattern, const char* text, Pos length, Pos block_bytes, Pos abs_offset,
          bool plain);

  /// The length of the text, plus the line feed seen after it when the pattern ends in `$` and
  /// the text ends the file.
  Pos size() const { return size_; }
  Pos text_length() const { return length_; }
  bool text_ends_file() const { return ends_file_; }

  Window FirstWindow() const;
  /// Places the whole chain in the window and checks it. `hint`: no start of the first node in
  /// matching order below it can match (0 when nothing is known).
  bool Attempt(const Window& window, Pos hint);
  /// The window after a failed attempt.
  Window NextWindow() const;

  /// After a failed attempt: true when the first node in matching order was tried at every
  /// start below scan_end() and fitted at none.
  bool first_node_missed() const { return first_missed_; }
  Pos scan_end() const { return scan_end_; }
  /// The first start at or after `from` where the first node in matching order fits; -1 when
  /// there is none. Only meaningful after first_node_missed().
  Pos NextFirstNodeStart(Pos from) const;
  /// The window the rules reach from `window` (after misses of the first node) once it holds
  /// `target` as a start, or one that starts beyond the text.
  Window SkipTo(Window window, Pos target) const;
  /// True while a leading `^` may still match nothing at the very start of the text: the
  /// matching order can still change.
  bool relaxation_pending(const Window& window) const;

  /// A chain of one node that must match at least one byte and has no anchors or side
  /// conditions matches exactly where that node first fits, which the skip search finds
  /// directly. False when the chain is not of that kind; otherwise `*found` tells the result
  /// (with match_start() and match_end() set).
  bool FindSingleNode(bool* found);

  /// After a successful attempt: the match without a leading `^`'s or trailing `$`'s line
  /// breaks. Commit() copies the matched texts into the pattern's nodes.
  Pos match_start() const { return match_start_; }
  Pos match_end() const { return match_end_; }
  void Commit();

 private:
  static constexpr Pos kNoLow = INT64_MIN;
  static constexpr Pos kNoHigh = INT64_MAX;

  unsigned char Folded(Pos p) const {
    return (*fold_)[p < length_ ? text_[p] : static_cast<unsigned char>('\n')];
  }
  /// Where a node would go: its first byte, its length in bytes, its repetitions and which
  /// alternative of a group matched.
  struct Fit {
    Pos start = 0;
    Pos length = 0;
    Pos count = 0;
    int alternative = 0;
  };

  bool Relaxed(Pos window_start) const;
  void UseOrder(Pos window_start);
  void ClearPlacements();
  bool Place(int k, Pos low, Pos high, Pos hint);
  bool PlaceLeadingBreak(Pos right_start, Pos low, Fit* fit) const;
  /// The last CR or LF in text[from, to), -1 when there is none; remembered across attempts.
  Pos LastBreakByte(Pos from, Pos to) const;
  bool FitBackward(int k, Pos end, Pos floor, Fit* fit) const;
  bool FitForward(int k, Pos left, Pos right, Pos extent, bool only_left, Fit* fit);
  bool FitRelaxedCaret(Pos left, Pos extent, Fit* fit) const;
  Pos FindStartPlain(int k, Pos from, Pos right, Pos extent, Pos* scanned_to) const;
  Pos FindStartFast(int k, Pos from, Pos right, Pos extent, Pos* scanned_to) const;
  Pos FindLiteralStart(int k, Pos from, Pos right, Pos extent) const;
  Pos FindByTable(int k, Pos from, Pos right, Pos extent) const;
  /// Fits node k forwards at start s, not beyond `extent`.
  bool MatchAt(int k, Pos s, Pos extent, Fit* fit) const;
  bool LiteralAt(const std::string& literal, Pos s) const;
  void SetPlaced(int k, const Fit& fit);
  int NearestPlacedLeft(int k) const;
  int NearestPlacedRight(int k) const;
  Pos NodeLength(int k) const;
  void NextBounds(int placed, int next, Pos* low, Pos* high);
  bool Accept();
  bool SideConditionsHold(Pos start, Pos end) const;
  int NodeBeforeFirstGap() const;
  Window MoveAfterMiss(const Window& window) const;
  Pos FirstLineBreak() const;
  std::string Bytes(Pos start, Pos length) const;
  const pattern_internal::LiteralSearch& LiteralSearchOf(int k) const;
  /// How many times node k's unit (a member of its set, or alternative a of its literal)
  /// repeats from `start` on, up to `limit`, or before `end` going back, down to `floor`; at
  /// most `cap` times. What is learnt is kept, so that overlapping attempts do not read the
  /// same run again.
  Pos RepeatForward(int k, int a, Pos start, Pos limit, Pos cap) const;
  Pos RepeatBackward(int k, int a, Pos end, Pos floor, Pos cap) const;
  bool UnitAt(int k, int a, Pos p) const;
  pattern_internal::KnownRun& RunOf(int k, int a) const;
  pattern_internal::KnownCandidates& KnownOf(std::vector<pattern_internal::KnownCandidates>& all,
                                             std::size_t i) const;
  /// The first candidate start in [from, to], from what is known or from `search`.
  template <typename Search>
  static Pos Candidate(pattern_internal::KnownCandidates& known, Pos from, Pos to, Search search);
  /// Whether side condition i is found in text[start, end).
  bool SideConditionFound(std::size_t i, SearchPattern& side, Pos start, Pos end) const;
  const pattern_internal::ByteTable& StartTableOf(int k) const;
  /// The pair filter of a group node, or null when its alternatives do not allow one.
  const pattern_internal::PairSearch* PairSearchOf(int k) const;

  SearchPattern& pattern_;
  std::vector<PatternNode>& nodes_;
  const unsigned char* text_;
  Pos length_;
  Pos size_;
  bool ends_file_;
  Pos abs_offset_;
  bool plain_;
  const pattern_internal::FoldTable* fold_;
  pattern_internal::SearchCache* cache_;
  Pos bound_;
  Pos max_length_;
  bool leading_caret_;
  bool double_caret_ = false;
  bool double_dollar_ = false;
  mutable Pos first_break_ = -2;  // -2: not looked for yet; -1: none
  // What LastBreakByte learnt: the last CR or LF in [from, to) is `at` (-1: none).
  mutable pattern_internal::KnownCandidates last_break_;

  const std::vector<int>* order_ = nullptr;
  bool order_relaxed_ = false;
  Window window_;
  std::vector<int>* placed_list_;
  PlacedIndex* placed_index_;
  bool first_missed_ = false;
  Pos scan_end_ = 0;
  Pos match_start_ = -1;
  Pos match_end_ = -1;
};

/// Runs the search with the skip search: when the first node in matching order misses a
/// window, the window jumps to the next place it can fit instead of sliding. True on a match.
bool FindWithSkips(Matcher& matcher);

}  // namespace tsl
