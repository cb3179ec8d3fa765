// Declarations shared by the phases of the pattern engine (compile, order, match, replace).
// Nothing outside pattern/ includes this header.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pattern/pattern_node.h"

namespace tsl::pattern_internal {

using Pos = std::int64_t;
using FoldTable = std::array<unsigned char, 256>;

/// Side conditions inside side conditions are compiled up to this depth; deeper nesting is an
/// error, so that hostile expressions cannot exhaust the stack.
inline constexpr int kMaxSideConditionDepth = 16;
/// Every node's greatest length is capped here, so that sums over long chains cannot overflow.
inline constexpr Pos kMaxNodeLength = Pos{1} << 36;

/// The code page's upper-casing, and the identity, as 256-entry tables.
const FoldTable& UpperTable();
const FoldTable& IdentityTable();

struct CompileOptions {
  bool case_sensitive = true;
  std::int64_t bound = 32767;
};

/// The repetition bound in force, raised to at least 1.
std::int64_t EffectiveBound(int bound);

/// value * 10 + digit, saturating at `cap` (numbers in expressions and matched texts can have
/// any number of digits).
inline std::int64_t AppendDigit(std::int64_t value, char digit, std::int64_t cap) {
  const int d = digit - '0';
  return value > (cap - d) / 10 ? cap : value * 10 + d;
}

// --- compile.cpp ---------------------------------------------------------------------------

/// Compiles an expression (without side conditions) into a chain. The first fault found is put
/// into `*error` when that is still empty.
std::vector<PatternNode> CompileRegexChain(std::string_view expression,
                                           const CompileOptions& options, std::string* error);
std::vector<PatternNode> CompileWildcardChain(std::string_view pattern,
                                              const CompileOptions& options);

/// Moves an operator that follows a bracketed group in front of it: `[0-9]+` -> `+[0-9]`.
std::string ConvertFromPostfix(std::string_view expression);

struct SideConditionText {
  std::string text;
  bool must_match = true;
};
struct SplitExpression {
  std::string main;
  std::vector<SideConditionText> side_conditions;
};
/// Cuts `main!(not)also` into the main expression and its side conditions.
SplitExpression SplitSideConditions(std::string_view expression);

/// Compiles a replace expression against an already compiled search chain.
std::vector<ReplaceNode> CompileReplace(std::string_view replace,
                                        const std::vector<PatternNode>& chain);

// --- order.cpp -----------------------------------------------------------------------------

/// The greatest number of bytes one node can match.
Pos NodeMaxLength(const PatternNode& node);
/// max_from[i]: the greatest length the chain can match from node i to its end; one entry more
/// than the chain, holding 0.
std::vector<Pos> MaxLengthsFrom(const std::vector<PatternNode>& chain);
/// The order in which the matcher places the nodes; `first_min` stands for the minimum of the
/// first node (a leading `^` is relaxed to 0 at the start of a file).
std::vector<int> ComputeMatchingOrder(const std::vector<PatternNode>& chain,
                                      std::int64_t first_min);

// --- replace.cpp ---------------------------------------------------------------------------

/// Builds the replacement for the chain's last match.
std::string BuildReplacementText(std::vector<ReplaceNode>& replace,
                                 const std::vector<PatternNode>& chain, bool widened);
/// Turns ANSI bytes into UTF-16LE bytes.
std::string WidenText(std::string_view ansi);

}  // namespace tsl::pattern_internal
