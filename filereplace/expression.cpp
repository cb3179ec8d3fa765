// Expression parsing and evaluation.
//
// The parse rule is: in a text, the loosest operator outside parentheses (the rightmost among
// equals) becomes the node, and the texts left and right of it are parsed the same way; a
// parenthesis group counts as the tightest operator, whose operand is the text inside it. Done
// literally, that rescans each operand and recurses once per level. Here the text is scanned
// once: each parenthesis group becomes a "level" holding the operators directly inside it, and
// the nodes of one level form a Cartesian tree over those operators (the loosest at the top,
// ties to the right), built with one stack. The tree of nodes is then filled top-down from a
// work stack, which checks each node's operands in the order the rule states.
#include "filereplace/expression.h"

#include <cstddef>
#include <limits>
#include <tuple>
#include <utility>

#include "platform/code_page.h"

namespace tsl {
namespace {

constexpr std::size_t kMaxErrorText = 1024;
constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

using Op = ExpressionOperator;

// Precedence classes: a larger class binds more loosely.
int ClassOf(Op op) {
  switch (op) {
    case Op::kLeaf:
    case Op::kParenthesis: return 0;
    case Op::kMultiply:
    case Op::kDivide: return 1;
    case Op::kAdd:
    case Op::kSubtract: return 3;
    case Op::kEqual: return 5;
    case Op::kNotEqual: return 6;
    case Op::kGreater: return 7;
    case Op::kGreaterOrEqual: return 8;
    case Op::kLess: return 9;
    case Op::kLessOrEqual: return 10;
    case Op::kNot: return 11;
    case Op::kAnd: return 12;
    case Op::kOr: return 13;
  }
  return 0;
}

struct Token {
  std::size_t pos = 0;
  std::size_t length = 0;
  Op op = Op::kLeaf;
  std::size_t close = 0;     // "(": position of its matching ")"
  std::int32_t inner = -1;   // "(": the level inside it
  std::int32_t left = -1;    // Cartesian children within the token's level
  std::int32_t right = -1;
};

struct Level {
  std::vector<std::int32_t> tokens;
  std::int32_t root = -1;
};

// The loosest operator that starts at `i` (at one position the loosest match wins), or kLeaf.
// Two operators never overlap in a way that matters: the only match inside another is the "="
// of "!=", ">=" and "<=", which is always tighter than the operator it belongs to.
std::pair<Op, std::size_t> OperatorAt(std::string_view text, std::size_t i) {
  static constexpr std::pair<std::string_view, Op> kLoosestFirst[] = {
      {"OR", Op::kOr},       {"AND", Op::kAnd},          {"NOT", Op::kNot},
      {"<=", Op::kLessOrEqual}, {"<", Op::kLess},        {">=", Op::kGreaterOrEqual},
      {">", Op::kGreater},   {"!=", Op::kNotEqual},      {"=", Op::kEqual},
      {"-", Op::kSubtract},  {"+", Op::kAdd},            {"/", Op::kDivide},
      {"*", Op::kMultiply}};
  for (const auto& [name, op] : kLoosestFirst) {
    if (text.size() - i >= name.size() &&
        cp::EqualsIgnoreCase(text.substr(i, name.size()), name)) {
      return {op, name.size()};
    }
  }
  return {Op::kLeaf, 0};
}

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kWhiteSpace);
  return text.substr(first, last - first + 1);
}

// The C library's atoi rule, saturating instead of overflowing.
std::int64_t LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && kWhiteSpace.find(text[i]) != std::string_view::npos) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint64_t value = 0;
  constexpr std::uint64_t kLimit = std::numeric_limits<std::int64_t>::max();
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const auto digit = static_cast<std::uint64_t>(text[i] - '0');
    value = value > (kLimit - digit) / 10 ? kLimit : value * 10 + digit;
  }
  const auto signed_value = static_cast<std::int64_t>(value);
  return negative ? -signed_value : signed_value;
}

std::string Message(std::string_view format, std::string_view fill) {
  std::string text(format);
  const std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, fill);
  if (text.size() > kMaxErrorText) text.resize(kMaxErrorText);
  return text;
}

// Splits the text into levels of operator tokens; false when a "(" has no matching ")".
bool Tokenize(std::string_view text, std::vector<Token>* tokens, std::vector<Level>* levels) {
  std::vector<std::size_t> close(text.size(), std::string_view::npos);
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '(') {
      open.push_back(i);
    } else if (text[i] == ')' && !open.empty()) {
      close[open.back()] = i;
      open.pop_back();
    }
  }
  if (!open.empty()) return false;

  levels->emplace_back();
  std::vector<std::pair<std::int32_t, std::size_t>> nesting{{0, text.size()}};  // level, its end
  for (std::size_t i = 0; i < text.size();) {
    const auto current = nesting.back().first;
    if (i == nesting.back().second) {  // the ")" that closes the current level
      nesting.pop_back();
      ++i;
      continue;
    }
    Token token;
    token.pos = i;
    if (text[i] == '(') {
      token.op = Op::kParenthesis;
      token.length = 1;
      token.close = close[i];
      token.inner = static_cast<std::int32_t>(levels->size());
      levels->emplace_back();
      nesting.emplace_back(token.inner, token.close);
    } else {
      std::tie(token.op, token.length) = OperatorAt(text, i);
      if (token.op == Op::kLeaf) {
        ++i;
        continue;
      }
    }
    (*levels)[static_cast<std::size_t>(current)].tokens.push_back(
        static_cast<std::int32_t>(tokens->size()));
    tokens->push_back(token);
    i += token.length;
  }
  return true;
}

// Gives each level's tokens their Cartesian tree: the loosest on top, the rightmost of equals.
void BuildLevelTrees(std::vector<Token>& tokens, std::vector<Level>& levels) {
  std::vector<std::int32_t> stack;
  for (Level& level : levels) {
    stack.clear();
    for (std::int32_t t : level.tokens) {
      Token& token = tokens[static_cast<std::size_t>(t)];
      std::int32_t last = -1;
      while (!stack.empty() &&
             ClassOf(tokens[static_cast<std::size_t>(stack.back())].op) <= ClassOf(token.op)) {
        last = stack.back();
        stack.pop_back();
      }
      token.left = last;
      if (!stack.empty()) tokens[static_cast<std::size_t>(stack.back())].right = t;
      stack.push_back(t);
    }
    level.root = stack.empty() ? -1 : stack.front();
  }
}

void FillLeaf(std::string_view text, ExpressionNode* node) {
  node->op = Op::kLeaf;
  node->leaf = std::string(text);
  node->is_variable = !text.empty() && (text[0] == 'E' || text[0] == 'e');
  if (node->is_variable) node->variable = LeadingNumber(text.substr(1));
  node->value = LeadingNumber(text);
}

class TreeBuilder {
 public:
  TreeBuilder(std::string_view text, const std::vector<Token>& tokens,
              const std::vector<Level>& levels)
      : text_(text), tokens_(tokens), levels_(levels) {}

  // Fills the tree top-down; the leaves are listed in text order. False with the first error.
  bool Build(ExpressionTree* tree, std::vector<std::int32_t>* leaves, std::string* error) {
    tree->nodes.emplace_back();
    tree->root = 0;
    work_.push_back({levels_[0].root, 0, text_.size(), 0});
    while (!work_.empty()) {
      const Work item = work_.back();
      work_.pop_back();
      if (item.token < 0) {
        FillLeaf(Trim(text_.substr(item.begin, item.end - item.begin)),
                 &tree->nodes[static_cast<std::size_t>(item.node)]);
        leaves->push_back(item.node);
      } else if (!Expand(item, tree, error)) {
        return false;
      }
    }
    return true;
  }

 private:
  struct Work {
    std::int32_t token;  // the operator at the top of the range; -1: the range is a leaf
    std::size_t begin, end;
    std::int32_t node;
  };

  bool IsBlank(std::int32_t token, std::size_t begin, std::size_t end) const {
    return token < 0 && Trim(text_.substr(begin, end - begin)).empty();
  }

  bool Expand(const Work& item, ExpressionTree* tree, std::string* error) {
    const Token& token = tokens_[static_cast<std::size_t>(item.token)];
    const std::string_view name = ExpressionOperatorText(token.op);
    Work right{token.right, token.pos + token.length, item.end, -1};
    if (token.op == Op::kParenthesis) {  // what follows its ")" is not read
      right = {levels_[static_cast<std::size_t>(token.inner)].root, token.pos + 1, token.close,
               -1};
    }
    Work left{token.left, item.begin, token.pos, -1};
    if (IsBlank(right.token, right.begin, right.end)) {
      *error = Message("Missing right argument for operator %s", name);
      return false;
    }
    const bool no_left = IsBlank(left.token, left.begin, left.end);
    if (token.op == Op::kParenthesis || token.op == Op::kNot) {
      if (!no_left) {
        *error = Message("Unexpected operator %s or left parameter not needed", name);
        return false;
      }
    } else if (no_left && token.op != Op::kAdd && token.op != Op::kSubtract) {
      *error = Message("Missing argument for operator %s", name);
      return false;
    }
    tree->nodes[static_cast<std::size_t>(item.node)].op = token.op;
    right.node = AddNode(tree);
    tree->nodes[static_cast<std::size_t>(item.node)].right = right.node;
    work_.push_back(right);
    if (!no_left) {
      left.node = AddNode(tree);
      tree->nodes[static_cast<std::size_t>(item.node)].left = left.node;
      work_.push_back(left);  // taken first: the left operand's errors come first
    }
    return true;
  }

  static std::int32_t AddNode(ExpressionTree* tree) {
    tree->nodes.emplace_back();
    return static_cast<std::int32_t>(tree->nodes.size() - 1);
  }

  std::string_view text_;
  const std::vector<Token>& tokens_;
  const std::vector<Level>& levels_;
  std::vector<Work> work_;
};

std::int64_t Wrap(std::uint64_t value) { return static_cast<std::int64_t>(value); }

std::int64_t Apply(Op op, std::int64_t a, std::int64_t b) {
  const auto ua = static_cast<std::uint64_t>(a);
  const auto ub = static_cast<std::uint64_t>(b);
  switch (op) {
    case Op::kMultiply: return Wrap(ua * ub);
    case Op::kDivide:
      if (b == 0) return a;
      if (b == -1) return Wrap(0 - ua);  // the one quotient that does not fit wraps
      return a / b;
    case Op::kAdd: return Wrap(ua + ub);
    case Op::kSubtract: return Wrap(ua - ub);
    case Op::kEqual: return a == b;
    case Op::kNotEqual: return a != b;
    case Op::kGreater: return a > b;
    case Op::kGreaterOrEqual: return a >= b;
    case Op::kLess: return a < b;
    case Op::kLessOrEqual: return a <= b;
    case Op::kAnd: return a != 0 && b != 0;
    case Op::kOr: return a != 0 || b != 0;
    case Op::kNot: return b == 0;
    case Op::kParenthesis: return b;
    case Op::kLeaf: break;
  }
  return 0;
}

bool IsUnary(Op op) { return op == Op::kParenthesis || op == Op::kNot; }

}  // namespace

std::string_view ExpressionOperatorText(ExpressionOperator op) {
  switch (op) {
    case Op::kLeaf: return "";
    case Op::kParenthesis: return "(";
    case Op::kMultiply: return "*";
    case Op::kDivide: return "/";
    case Op::kAdd: return "+";
    case Op::kSubtract: return "-";
    case Op::kEqual: return "=";
    case Op::kNotEqual: return "!=";
    case Op::kGreater: return ">";
    case Op::kGreaterOrEqual: return ">=";
    case Op::kLess: return "<";
    case Op::kLessOrEqual: return "<=";
    case Op::kNot: return "NOT";
    case Op::kAnd: return "AND";
    case Op::kOr: return "OR";
  }
  return "";
}

ParsedExpression ParseExpression(std::string_view text) {
  ParsedExpression result;
  std::vector<Token> tokens;
  std::vector<Level> levels;
  if (!Tokenize(text, &tokens, &levels)) {
    result.error = "Missing right parenthesis";
    return result;
  }
  BuildLevelTrees(tokens, levels);
  std::vector<std::int32_t> leaves;
  TreeBuilder builder(text, tokens, levels);
  if (builder.Build(&result.tree, &leaves, &result.error)) {
    for (std::int32_t index : leaves) {
      const ExpressionNode& leaf = result.tree.nodes[static_cast<std::size_t>(index)];
      if (leaf.is_variable) {
        if (leaf.variable > result.largest_variable) result.largest_variable = leaf.variable;
      } else if (leaf.value == 0 && (leaf.leaf.empty() || leaf.leaf[0] != '0')) {
        result.error = Message("Invalid variable %s", leaf.leaf);
        break;
      }
    }
  }
  if (!result.ok()) {
    result.tree = ExpressionTree();
    result.largest_variable = 0;
  }
  return result;
}

void BindVariable(ExpressionTree& tree, std::int64_t k, const std::int64_t* counter) {
  for (ExpressionNode& node : tree.nodes) {
    if (node.op == Op::kLeaf && node.is_variable && node.variable == k) node.counter = counter;
  }
}

std::int64_t Evaluate(const ExpressionTree& tree) {
  if (tree.root < 0) return 0;
  // Post-order walk: a frame's stage says which operands are on the value stack.
  struct Frame {
    std::int32_t node;
    int stage;
  };
  std::vector<Frame> frames{{tree.root, 0}};
  std::vector<std::int64_t> values;
  auto node_at = [&tree](std::int32_t i) -> const ExpressionNode& {
    return tree.nodes[static_cast<std::size_t>(i)];
  };
  while (!frames.empty()) {
    Frame& frame = frames.back();
    const ExpressionNode& node = node_at(frame.node);
    if (node.op == Op::kLeaf) {
      values.push_back(node.counter ? *node.counter : node.value);
      frames.pop_back();
      continue;
    }
    if (node.right < 0 || (node.left < 0 && !IsUnary(node.op) && node.op != Op::kAdd &&
                           node.op != Op::kSubtract)) {
      values.push_back(0);  // an operand is missing
      frames.pop_back();
      continue;
    }
    if (frame.stage == 0) {
      frame.stage = 1;
      if (IsUnary(node.op)) continue;
      if (node.left < 0) {
        values.push_back(0);
      } else {
        frames.push_back({node.left, 0});
      }
      continue;
    }
    if (frame.stage == 1) {
      if (!IsUnary(node.op)) {
        const std::int64_t left = values.back();
        if ((node.op == Op::kAnd && left == 0) || (node.op == Op::kOr && left != 0)) {
          values.back() = node.op == Op::kOr ? 1 : 0;  // the right operand is not evaluated
          frames.pop_back();
          continue;
        }
      }
      frame.stage = 2;
      frames.push_back({node.right, 0});
      continue;
    }
    const std::int64_t right = values.back();
    values.pop_back();
    std::int64_t left = 0;
    if (!IsUnary(node.op)) {
      left = values.back();
      values.pop_back();
    }
    values.push_back(Apply(node.op, left, right));
    frames.pop_back();
  }
  return values.empty() ? 0 : values.back();
}

}  // namespace tsl
