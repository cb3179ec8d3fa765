// Ordering: the order in which the matcher places the nodes of a chain (the most selective
// first: plain literals, then fixed counts next to what is already ordered, then `?`, then `+`,
// then the rest from the left), and the greatest lengths a chain can match, which size the
// matcher's window and the overlap a caller keeps between blocks.
#include <algorithm>
#include <set>

#include "pattern/pattern_internal.h"

namespace tsl::pattern_internal {
namespace {

Pos LiteralMaxLength(std::size_t length, std::int64_t repeats) {
  Pos l = static_cast<Pos>(length);
  if (l == 0) return 0;
  Pos r = std::min<Pos>(repeats, kMaxNodeLength / l);
  Pos total = r * l + (repeats < 3 ? l : 0);
  return std::min(total, kMaxNodeLength);
}

/// A literal without operator or alternatives: found by a plain text search.
bool IsPlainLiteral(const PatternNode& node) {
  return node.mode == NodeMode::kLiteral && node.op == node_op::kNone && node.alternatives.empty();
}

}  // namespace

Pos NodeMaxLength(const PatternNode& node) {
  if (node.mode == NodeMode::kSet) return std::min<Pos>(node.max, kMaxNodeLength);
  Pos longest = LiteralMaxLength(node.literal.size(), node.max);
  for (const std::string& alternative : node.alternatives) {
    longest = std::max(longest, LiteralMaxLength(alternative.size(), node.max));
  }
  return longest;
}

std::vector<Pos> MaxLengthsFrom(const std::vector<PatternNode>& chain) {
  std::vector<Pos> from(chain.size() + 1, 0);
  for (std::size_t i = chain.size(); i-- > 0;) from[i] = from[i + 1] + NodeMaxLength(chain[i]);
  return from;
}

std::vector<int> ComputeMatchingOrder(const std::vector<PatternNode>& chain,
                                      std::int64_t first_min) {
  // Each rule takes the leftmost node it applies to; sets of candidates kept per rule make
  // this O(n log n) instead of a walk over the chain for every pick.
  const int n = static_cast<int>(chain.size());
  auto min_of = [&](int i) { return i == 0 ? first_min : chain[static_cast<std::size_t>(i)].min; };
  auto fixed = [&](int i) { return min_of(i) == chain[static_cast<std::size_t>(i)].max; };
  std::set<int> eligible;  // rule 1: plain literals, and fixed counts next to ordered nodes
  std::set<int> optional_ones;
  std::set<int> some;
  std::set<int> rest;
  for (int i = 0; i < n; ++i) {
    const PatternNode& node = chain[static_cast<std::size_t>(i)];
    if (IsPlainLiteral(node)) eligible.insert(i);
    if (node.op == node_op::kOne) optional_ones.insert(i);
    if (node.op == node_op::kSome) some.insert(i);
    rest.insert(i);
  }
  std::vector<int> order;
  order.reserve(chain.size());
  while (!rest.empty()) {
    int pick = !eligible.empty()        ? *eligible.begin()
               : !optional_ones.empty() ? *optional_ones.begin()
               : !some.empty()          ? *some.begin()
                                        : *rest.begin();
    order.push_back(pick);
    eligible.erase(pick);
    optional_ones.erase(pick);
    some.erase(pick);
    rest.erase(pick);
    for (int neighbour : {pick - 1, pick + 1}) {
      if (neighbour >= 0 && neighbour < n && rest.count(neighbour) && fixed(neighbour)) {
        eligible.insert(neighbour);
      }
    }
  }
  return order;
}

}  // namespace tsl::pattern_internal
