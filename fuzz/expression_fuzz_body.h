// What the expression fuzz target does with one input, shared with the test that replays the
// kept inputs. The input is an expression text. It is parsed, bound to counters taken from the
// text's own bytes and evaluated; a short text is also parsed by the plain rule, written here
// the slow way (rescanning and recursing as the rule reads), and both must give the same tree or
// the same error.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "filereplace/expression.h"
#include "fuzz/fuzz_support.h"
#include "platform/code_page.h"

namespace tsl::fuzzing {

/// Texts up to this length are checked against the plain rule.
inline constexpr std::size_t kReferenceLength = 96;

inline std::string_view TrimExpressionText(std::string_view text) {
  constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
  const std::size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

/// The plain rule: the loosest operator outside parentheses, the rightmost among equals, every
/// operator tried at every position. Gives the tree as "(op left right)" or false with the
/// error; `leaves` collects the leaf texts in text order.
inline bool ReferenceParse(std::string_view text, std::string* shape, std::string* error,
                           std::vector<std::string>* leaves) {
  static constexpr std::pair<std::string_view, int> kOperators[] = {
      {"(", 0},  {"*", 1},  {"/", 1},  {"+", 3},  {"-", 3},   {"=", 5},   {"!=", 6},
      {">", 7},  {">=", 8}, {"<", 9},  {"<=", 10}, {"NOT", 11}, {"AND", 12}, {"OR", 13}};
  text = TrimExpressionText(text);
  int best = -1;
  std::size_t best_at = 0, best_close = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    for (int k = 0; k < 14; ++k) {
      const std::string_view name = kOperators[k].first;
      if (text.size() - i < name.size() ||
          !cp::EqualsIgnoreCase(text.substr(i, name.size()), name)) {
        continue;
      }
      if (best < 0 || kOperators[k].second >= kOperators[best].second) {
        best = k;
        best_at = i;
      }
      if (k == 0) {
        int depth = 0;
        std::size_t j = i;
        for (; j < text.size(); ++j) {
          depth += text[j] == '(' ? 1 : text[j] == ')' ? -1 : 0;
          if (depth == 0) break;
        }
        if (j == text.size()) {
          *error = "Missing right parenthesis";
          return false;
        }
        if (best == 0 && best_at == i) best_close = j;
        i = j;
        break;
      }
    }
  }
  if (best < 0) {
    leaves->push_back(std::string(text));
    *shape = std::string(text);
    return true;
  }
  const std::string name(kOperators[best].first);
  const std::string upper = cp::ToUpper(name);
  std::string_view right = best == 0 ? text.substr(best_at + 1, best_close - best_at - 1)
                                     : text.substr(best_at + name.size());
  std::string_view left = TrimExpressionText(text.substr(0, best_at));
  if (TrimExpressionText(right).empty()) {
    *error = "Missing right argument for operator " + upper;
    return false;
  }
  if (best == 0 || upper == "NOT") {
    if (!left.empty()) {
      *error = "Unexpected operator " + upper + " or left parameter not needed";
      return false;
    }
  } else if (left.empty() && upper != "+" && upper != "-") {
    *error = "Missing argument for operator " + upper;
    return false;
  }
  std::string left_shape = "_", right_shape;
  if (!left.empty() && !ReferenceParse(left, &left_shape, error, leaves)) return false;
  if (!ReferenceParse(right, &right_shape, error, leaves)) return false;
  *shape = "(" + upper + (best == 0 || upper == "NOT" ? "" : " " + left_shape) + " " +
           right_shape + ")";
  return true;
}

/// The fast tree in the same form (recursive: only for the short texts).
inline std::string ExpressionShape(const ExpressionTree& tree, std::int32_t index) {
  if (index < 0) return "_";
  const ExpressionNode& node = tree.nodes[static_cast<std::size_t>(index)];
  if (node.op == ExpressionOperator::kLeaf) return node.leaf;
  std::string text = "(" + std::string(ExpressionOperatorText(node.op));
  if (node.op != ExpressionOperator::kParenthesis && node.op != ExpressionOperator::kNot) {
    text += " " + ExpressionShape(tree, node.left);
  }
  return text + " " + ExpressionShape(tree, node.right) + ")";
}

inline void CheckAgainstReference(std::string_view text, const ParsedExpression& parsed) {
  std::string shape, error;
  std::vector<std::string> leaves;
  std::int64_t largest = 0;
  if (ReferenceParse(text, &shape, &error, &leaves)) {
    for (const std::string& leaf : leaves) {
      if (!leaf.empty() && (leaf[0] == 'E' || leaf[0] == 'e')) {
        largest = std::max<std::int64_t>(largest, std::strtoll(leaf.c_str() + 1, nullptr, 10));
      } else if (std::strtoll(leaf.c_str(), nullptr, 10) == 0 && (leaf.empty() || leaf[0] != '0')) {
        error = "Invalid variable " + leaf;
        break;
      }
    }
  }
  Check(parsed.error == error.substr(0, 1024));
  if (!error.empty()) return;
  Check(ExpressionShape(parsed.tree, parsed.tree.root) == shape);
  Check(parsed.largest_variable == largest);
}

inline void RunExpressionFuzzInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ParsedExpression parsed = ParseExpression(text);
  Check(parsed.error.size() <= 1024);
  Check(parsed.ok() == (parsed.tree.root >= 0));
  if (size <= kReferenceLength) CheckAgainstReference(text, parsed);
  if (!parsed.ok()) return;
  Check(parsed.tree.nodes.size() <= 2 * size + 1);
  std::vector<std::int64_t> counters;
  for (std::size_t i = 0; i < 8; ++i) {
    counters.push_back(i < size ? static_cast<std::int8_t>(data[i]) : 0);
  }
  for (std::size_t k = 1; k <= counters.size(); ++k) {
    BindVariable(parsed.tree, static_cast<std::int64_t>(k), &counters[k - 1]);
  }
  const std::int64_t value = Evaluate(parsed.tree);
  const ExpressionNode& root = parsed.tree.nodes[static_cast<std::size_t>(parsed.tree.root)];
  switch (root.op) {
    case ExpressionOperator::kNot:
    case ExpressionOperator::kAnd:
    case ExpressionOperator::kOr:
    case ExpressionOperator::kEqual:
    case ExpressionOperator::kNotEqual:
    case ExpressionOperator::kGreater:
    case ExpressionOperator::kGreaterOrEqual:
    case ExpressionOperator::kLess:
    case ExpressionOperator::kLessOrEqual:
      Check(value == 0 || value == 1);
      break;
    default:
      break;
  }
}

}  // namespace tsl::fuzzing
