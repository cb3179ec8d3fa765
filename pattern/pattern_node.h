// The elements of a compiled pattern: the nodes of a search chain and the pieces of a replace
// chain. A search node is a literal byte string (with alternatives, for a group) or a set of byte
// values, repeated between a minimum and a maximum number of times; it also keeps where the last
// search placed it and what it matched there.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tsl {

enum class NodeMode : std::uint8_t { kLiteral, kSet };

/// Operator characters as written in front of what they repeat; `kNone` for a plain node.
namespace node_op {
inline constexpr char kNone = 0;
inline constexpr char kOne = '?';
inline constexpr char kAny = '*';
inline constexpr char kSome = '+';
inline constexpr char kLineStart = '^';  // anchor marks of line-break nodes
inline constexpr char kLineEnd = '$';
}  // namespace node_op

/// A set of byte values: membership table plus the members in the order they were added.
class ByteSet {
 public:
  void Add(unsigned char b);
  bool Contains(unsigned char b) const { return (bits_[b >> 6] >> (b & 63)) & 1; }
  const std::string& members() const { return members_; }
  /// True when every member is a digit or `-`.
  bool IsNumeric() const;

 private:
  std::array<std::uint64_t, 4> bits_{};
  std::string members_;
};

struct PatternNode {
  NodeMode mode = NodeMode::kLiteral;
  std::string literal;                    // kLiteral: the bytes to match (folded when compiled
                                          // case-insensitive; UTF-16LE once widened)
  std::vector<std::string> alternatives;  // further alternatives of a group, in order
  ByteSet set;                            // kSet: the members
  char op = node_op::kNone;               // kNone, kOne, kAny or kSome
  char anchor = node_op::kNone;           // `^` or `$` for line-break nodes, else `op`
  bool doubled_anchor = false;            // `^^` (start of file) or `$$` (end of file)
  std::int64_t min = 1;
  std::int64_t max = 1;
  std::string source;  // the operator characters and text the node came from
  bool numeric = false;
  bool widened = false;

  // Where the last search placed the node. `end` is inclusive; a node placed empty at `start`
  // has end == start - 1.
  bool placed = false;
  std::int64_t start = 0;
  std::int64_t end = -1;
  std::int64_t count = 0;
  int alternative = 0;  // 0: the node's own literal, k: alternatives[k - 1]
  std::string matched;  // the bytes of the searched text the node matched, once accepted

  bool is_line_break() const {
    return anchor == node_op::kLineStart || anchor == node_op::kLineEnd;
  }
  bool is_empty_placement() const { return placed && end < start; }
  /// Counted for `%1`, `%2`...: nodes with an operator, alternatives or a set.
  bool is_variable() const {
    return op != node_op::kNone || !alternatives.empty() || mode == NodeMode::kSet;
  }
  /// The literal of an alternative index (0 for the node's own).
  const std::string& AlternativeText(int index) const {
    return index == 0 ? literal : alternatives[static_cast<std::size_t>(index - 1)];
  }
};

/// One piece of a replace chain: literal text, or a reference to a search node with an optional
/// case change or counter.
struct ReplaceNode {
  bool is_reference = false;
  std::string literal;   // literal pieces (UTF-16LE once widened)
  int reference = 0;     // 1 for `%1`...
  int search_node = -1;  // index in the search chain; -1 when the chain has no such node
  char case_change = 0;  // `>` upper, `<` lower, 0 none (not for counters)
  bool counter = false;
  int step = 1;  // +1 for `>`, -1 for `<`
  std::optional<std::int64_t> start_value;
  int start_value_digits = 0;  // digits written for the start value
  bool start_value_leading_zero = false;
  bool reset_per_file = true;
  // Counter state.
  std::optional<std::int64_t> current;
  int pad_width = 0;
};

}  // namespace tsl
