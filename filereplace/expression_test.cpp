#include "filereplace/expression.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace tsl {
namespace {

// The tree as a prefix form: "(op left right)", `_` for a missing left operand. Recursive, so
// only for the small trees of the tables.
std::string Shape(const ExpressionTree& tree, std::int32_t index) {
  if (index < 0) return "_";
  const ExpressionNode& node = tree.nodes[static_cast<std::size_t>(index)];
  if (node.op == ExpressionOperator::kLeaf) return node.leaf;
  std::string text = "(" + std::string(ExpressionOperatorText(node.op));
  if (node.op != ExpressionOperator::kParenthesis && node.op != ExpressionOperator::kNot) {
    text += " " + Shape(tree, node.left);
  }
  return text + " " + Shape(tree, node.right) + ")";
}

TEST(ExpressionTest, LoosestRightmostOperatorIsTheRoot) {
  const struct {
    const char* text;
    const char* shape;
  } kCases[] = {
      {"E1 - E2 - E3", "(- (- E1 E2) E3)"},
      {"E1 OR E2 AND E3", "(OR E1 (AND E2 E3))"},
      {"E1 AND E2 OR E3", "(OR (AND E1 E2) E3)"},
      {"E1 * E2 + E3 / 2", "(+ (* E1 E2) (/ E3 2))"},
      {"- E1", "(- _ E1)"},
      {"+E1", "(+ _ E1)"},
      {"NOT E1 AND e2", "(AND (NOT E1) e2)"},
      {"(E1 OR E2) and E3", "(AND (( (OR E1 E2)) E3)"},
      {" ( ( E1 ) ) ", "(( (( E1))"},
      {"E1>=2", "(>= E1 2)"},
      {"E1 != E2 = 0", "(!= E1 (= E2 0))"},  // "!=" is looser than "="
      {"E1 <= 3 < E2", "(<= E1 (< 3 E2))"},
      {"E1\r\nor\r\nE2", "(OR E1 E2)"},
      {"0", "0"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    ParsedExpression parsed = ParseExpression(c.text);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(Shape(parsed.tree, parsed.tree.root), c.shape);
  }
}

TEST(ExpressionTest, ErrorsNameTheOperatorOrLeaf) {
  const struct {
    const char* text;
    const char* error;
  } kCases[] = {
      {"(E1 OR E2", "Missing right parenthesis"},
      {"E1 OR (E2 AND (E3)", "Missing right parenthesis"},
      {"E1 OR", "Missing right argument for operator OR"},
      {"E1 or ", "Missing right argument for operator OR"},
      {"()", "Missing right argument for operator ("},
      {"E1 NOT E2", "Unexpected operator NOT or left parameter not needed"},
      {"NOT NOT E1", "Unexpected operator NOT or left parameter not needed"},
      {"E1 (E2)", "Unexpected operator ( or left parameter not needed"},
      {"AND E1", "Missing argument for operator AND"},
      {"* E1", "Missing argument for operator *"},
      {"X1", "Invalid variable X1"},
      {"E1 AND X1 OR Y2", "Invalid variable X1"},  // the first leaf in the text
      {"", "Invalid variable "},
      // The left operand's error comes before the right one's.
      {"(AND E1) OR (E2 OR)", "Missing argument for operator AND"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    ParsedExpression parsed = ParseExpression(c.text);
    EXPECT_EQ(parsed.error, c.error);
    EXPECT_EQ(parsed.tree.root, -1);
  }
  EXPECT_EQ(ParseExpression("Q" + std::string(5000, '1')).error.size(), 1024u);
}

TEST(ExpressionTest, LargestVariable) {
  EXPECT_EQ(ParseExpression("E1 AND e12 OR E3").largest_variable, 12);
  EXPECT_EQ(ParseExpression("2 > 1").largest_variable, 0);
  EXPECT_EQ(ParseExpression("E5555555515555555555555").largest_variable,
            std::numeric_limits<std::int64_t>::max());
}

TEST(ExpressionTest, EvaluatesOverBoundCounters) {
  std::int64_t counts[] = {3, 0, 5};
  const struct {
    const char* text;
    std::int64_t value;
  } kCases[] = {
      {"E1 - E2 - E3", -2},  {"E3 - (E1 - E2)", 2},    {"- E1", -3},
      {"NOT E2", 1},         {"NOT E1", 0},            {"E1 / E2", 3},  // divides by 1
      {"E3 / E1", 1},        {"E1 * E3 + 1", 16},      {"E1 AND E2", 0},
      {"E1 OR E2", 1},       {"E2 OR E2", 0},          {"E1 AND NOT E2", 1},
      {"E1 > 2 AND E3 = 5", 1}, {"E1 >= 4", 0},        {"E1 != E3", 1},
      {"E1 <= 3", 1},        {"E1 < 3", 0},            {"12", 12},
      {"E4", 0},  // unbound: the leaf's own value
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    ParsedExpression parsed = ParseExpression(c.text);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    for (std::int64_t k = 1; k <= 3; ++k) BindVariable(parsed.tree, k, &counts[k - 1]);
    EXPECT_EQ(Evaluate(parsed.tree), c.value);
  }
  // The binding is to the counter, not to its value at binding time.
  ParsedExpression parsed = ParseExpression("E2");
  BindVariable(parsed.tree, 2, &counts[1]);
  counts[1] = 7;
  EXPECT_EQ(Evaluate(parsed.tree), 7);
  EXPECT_EQ(Evaluate(ExpressionTree()), 0);
}

TEST(ExpressionTest, ArithmeticWrapsInsteadOfOverflowing) {
  std::int64_t counts[] = {std::numeric_limits<std::int64_t>::max(),
                           std::numeric_limits<std::int64_t>::min(), -1};
  auto value = [&counts](const char* text) {
    ParsedExpression parsed = ParseExpression(text);
    for (std::int64_t k = 1; k <= 3; ++k) BindVariable(parsed.tree, k, &counts[k - 1]);
    return Evaluate(parsed.tree);
  };
  EXPECT_EQ(value("E1 + 1"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(value("E1 * E1"), 1);
  EXPECT_EQ(value("E2 / E3"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(value("- E2"), std::numeric_limits<std::int64_t>::min());
}

// A hostile script must neither overflow the stack nor take long.
TEST(ExpressionTest, DeepAndLongExpressions) {
  constexpr int kDepth = 100000;
  std::int64_t one = 1;
  ParsedExpression nested =
      ParseExpression(std::string(kDepth, '(') + "E1" + std::string(kDepth, ')'));
  ASSERT_TRUE(nested.ok()) << nested.error;
  BindVariable(nested.tree, 1, &one);
  EXPECT_EQ(Evaluate(nested.tree), 1);

  std::string chain = "E1";
  for (int i = 0; i < kDepth; ++i) chain += " - 1";
  ParsedExpression left_deep = ParseExpression(chain);
  ASSERT_TRUE(left_deep.ok()) << left_deep.error;
  BindVariable(left_deep.tree, 1, &one);
  EXPECT_EQ(Evaluate(left_deep.tree), 1 - kDepth);

  EXPECT_EQ(ParseExpression(std::string(kDepth, '(') + "E1").error, "Missing right parenthesis");
  EXPECT_EQ(ParseExpression(std::string(kDepth, '(') + std::string(kDepth, ')')).error,
            "Missing right argument for operator (");
}

}  // namespace
}  // namespace tsl
