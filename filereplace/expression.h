// The expressions of a file replace script: E1, E2 ... stand for the per-file counts of the
// script's search entries, combined with arithmetic, comparisons, NOT, AND and OR into one
// yes/no decision per file. Parsed once when the script is loaded; bound to the entries'
// counters and evaluated after each file.
//
// The parser, the variable walk and the evaluation use explicit work stacks and run in time
// linear in the text, so a script of a hundred thousand nested parentheses or operators neither
// overflows the stack nor takes long.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tsl {

/// The operators from the tightest to the loosest, with kLeaf for a variable or a number.
enum class ExpressionOperator : std::uint8_t {
  kLeaf,
  kParenthesis,
  kMultiply,
  kDivide,
  kAdd,
  kSubtract,
  kEqual,
  kNotEqual,
  kGreater,
  kGreaterOrEqual,
  kLess,
  kLessOrEqual,
  kNot,
  kAnd,
  kOr,
};

/// The operator's text as scripts write it ("(", "*", ..., "NOT", "AND", "OR"); empty for kLeaf.
std::string_view ExpressionOperatorText(ExpressionOperator op);

struct ExpressionNode {
  ExpressionOperator op = ExpressionOperator::kLeaf;
  /// Children as indices into the tree's nodes; -1: none (the left operand of "(" and "NOT",
  /// and a missing left operand of "+" and "-", which counts as 0).
  std::int32_t left = -1;
  std::int32_t right = -1;
  std::string leaf;  // a leaf's text, trimmed
  /// A leaf that starts with `E` or `e` names variable `variable`; any leaf's decimal value.
  bool is_variable = false;
  std::int64_t variable = 0;
  std::int64_t value = 0;
  /// The bound entry counter of a variable leaf; null: the leaf gives `value`.
  const std::int64_t* counter = nullptr;
};

struct ExpressionTree {
  std::vector<ExpressionNode> nodes;
  std::int32_t root = -1;  // -1: empty tree, which evaluates to 0
};

struct ParsedExpression {
  ExpressionTree tree;  // empty when the parse failed
  /// The largest N of the variables E<N> used (0 when there is none).
  std::int64_t largest_variable = 0;
  /// The first error's message; empty when the text parsed.
  std::string error;
  bool ok() const { return error.empty(); }
};

/// Parses an expression text. Among the operators outside parentheses the loosest becomes the
/// root, the rightmost among equals, so that E1 - E2 - E3 is (E1 - E2) - E3.
ParsedExpression ParseExpression(std::string_view text);

/// Binds every leaf E`k` to `counter` (the count of entry k in the current file).
void BindVariable(ExpressionTree& tree, std::int64_t k, const std::int64_t* counter);

/// The expression's value over the bound counters; 0 rejects the file. Arithmetic wraps at 64
/// bits, and a division by 0 divides by 1.
std::int64_t Evaluate(const ExpressionTree& tree);

}  // namespace tsl
