// Compiling: turns the text of a search expression or a wildcard pattern into a chain of nodes,
// left to right, and a replace expression into a replace chain that refers back to it. Also the
// two text conversions done before compiling: postfix operators to prefix ones, and the cutting
// of side conditions `!(...)` from the main expression.
#include <algorithm>

#include "pattern/pattern_internal.h"
#include "script/escapes.h"

namespace tsl::pattern_internal {
namespace {

constexpr std::string_view kSpecials = "?*+$^[(";

/// Applies the compile-time case folding to literal bytes.
std::string Fold(std::string bytes, const CompileOptions& options) {
  if (!options.case_sensitive) {
    const FoldTable& upper = UpperTable();
    for (char& c : bytes) c = static_cast<char>(upper[static_cast<unsigned char>(c)]);
  }
  return bytes;
}

void AddMember(PatternNode* node, unsigned char b, const CompileOptions& options) {
  node->set.Add(options.case_sensitive ? b : UpperTable()[b]);
}

PatternNode LiteralNode(std::string_view text, const CompileOptions& options) {
  PatternNode node;
  node.mode = NodeMode::kLiteral;
  node.literal = Fold(DecodeEscapes(text), options);
  node.source = std::string(text);
  return node;
}

/// What `*`, `?` and `+` repeat when no bracketed group follows them: any byte except 0 to 8,
/// LF and CR, so that a run stays within a line.
PatternNode AnyCharNode(const CompileOptions& options) {
  PatternNode node;
  node.mode = NodeMode::kSet;
  for (int b = 0; b < 256; ++b) {
    if (b > 8 && b != '\n' && b != '\r') AddMember(&node, static_cast<unsigned char>(b), options);
  }
  return node;
}

PatternNode LineBreakNode(char anchor, bool doubled) {
  PatternNode node;
  node.mode = NodeMode::kSet;
  node.set.Add('\r');
  node.set.Add('\n');
  node.anchor = anchor;
  node.doubled_anchor = doubled;
  node.min = 1;
  node.max = 2;
  node.source = doubled ? std::string(2, anchor) : std::string(1, anchor);
  return node;
}

struct Repeat {
  char op = node_op::kNone;
  std::int64_t min = 1;
  std::int64_t max = 1;
};

/// Reads decimal digits at `at`; returns how many there were. The value saturates.
std::size_t ReadCount(std::string_view text, std::size_t at, std::int64_t* value) {
  std::size_t i = at;
  std::int64_t result = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    result = AppendDigit(result, text[i], 1000000000);
    ++i;
  }
  *value = result;
  return i - at;
}

/// Reads `+` and its optional count (`+N`, `+N+`, `+N-M`, `+-M`); returns the characters used.
std::size_t ReadPlus(std::string_view text, std::int64_t bound, Repeat* repeat) {
  repeat->op = node_op::kSome;
  repeat->min = 1;
  repeat->max = bound;
  std::size_t used = 1;
  std::int64_t first = 0;
  std::int64_t second = 0;
  if (std::size_t n = ReadCount(text, 1, &first); n > 0) {
    std::size_t i = 1 + n;
    std::size_t m = 0;
    if (i < text.size() && text[i] == '+') {
      repeat->min = first;
      used = i + 1;
    } else if (i < text.size() && text[i] == '-' && (m = ReadCount(text, i + 1, &second)) > 0) {
      repeat->min = first;
      repeat->max = second;
      used = i + 1 + m;
    } else {
      repeat->min = repeat->max = first;
      used = i;
    }
  } else if (text.size() > 1 && text[1] == '-' && (n = ReadCount(text, 2, &second)) > 0) {
    repeat->max = second;
    used = 2 + n;
  }
  repeat->min = std::clamp<std::int64_t>(repeat->min, 1, bound);
  repeat->max = std::clamp<std::int64_t>(repeat->max, 1, bound);
  repeat->max = std::max(repeat->max, repeat->min);
  return used;
}

/// Reads the operator at the front of `text` (none when it starts with a bracket).
std::size_t ReadOperator(std::string_view text, std::int64_t bound, Repeat* repeat) {
  switch (text[0]) {
    case '*':
      *repeat = {node_op::kAny, 0, bound};
      return 1;
    case '?':
      *repeat = {node_op::kOne, 1, 1};
      return 1;
    case '+':
      return ReadPlus(text, bound, repeat);
    default:
      *repeat = {};
      return 0;
  }
}

struct ClassUnit {
  unsigned char byte = 0;
  bool dash = false;  // an unescaped `-`
};

std::vector<ClassUnit> ClassUnits(std::string_view content) {
  std::vector<ClassUnit> units;
  std::size_t i = 0;
  while (i < content.size()) {
    if (content[i] == '\\') {
      std::string decoded;
      i = DecodeEscapeAt(content, i, &decoded);
      if (!decoded.empty()) units.push_back({static_cast<unsigned char>(decoded[0]), false});
    } else {
      units.push_back({static_cast<unsigned char>(content[i]), content[i] == '-'});
      ++i;
    }
  }
  return units;
}

void AddRange(PatternNode* node, unsigned char first, unsigned char last,
              const CompileOptions& options, std::string* error) {
  if (first > last) {
    if (error->empty())
      *error = std::string{static_cast<char>(first), '-', static_cast<char>(last)};
    return;
  }
  for (int b = first; b <= last; ++b) AddMember(node, static_cast<unsigned char>(b), options);
}

/// A class `[...]`: the first unescaped `-` with a character on each side makes a range, and
/// the text on both sides is handled the same way; a `-` at either end is a member.
PatternNode ClassNode(std::string_view content, const CompileOptions& options, std::string* error) {
  PatternNode node;
  node.mode = NodeMode::kSet;
  if (content.empty()) {
    for (int b = 0; b < 256; ++b) node.set.Add(static_cast<unsigned char>(b));
    return node;
  }
  std::vector<ClassUnit> units = ClassUnits(content);
  std::size_t i = 0;
  while (i < units.size()) {
    std::size_t dash = i;
    while (dash < units.size() && !units[dash].dash) ++dash;
    if (dash == units.size() || dash + 1 == units.size()) {
      for (std::size_t j = i; j < units.size(); ++j) AddMember(&node, units[j].byte, options);
      break;
    }
    if (dash == i) {  // nothing before the dash: it stands for itself
      AddMember(&node, '-', options);
      ++i;
      continue;
    }
    for (std::size_t j = i; j + 1 < dash; ++j) AddMember(&node, units[j].byte, options);
    AddRange(&node, units[dash - 1].byte, units[dash + 1].byte, options, error);
    i = dash + 2;
  }
  return node;
}

/// A group `(...)`: alternative literal strings separated by unescaped `|`.
PatternNode GroupNode(std::string_view content, const CompileOptions& options) {
  std::vector<std::string> alternatives;
  std::size_t start = 0;
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (content[i] == '\\') {
      ++i;
    } else if (content[i] == '|') {
      alternatives.push_back(Fold(DecodeEscapes(content.substr(start, i - start)), options));
      start = i + 1;
    }
  }
  alternatives.push_back(Fold(DecodeEscapes(content.substr(start)), options));
  PatternNode node;
  node.mode = NodeMode::kLiteral;
  node.literal = std::move(alternatives.front());
  node.alternatives.assign(std::make_move_iterator(alternatives.begin() + 1),
                           std::make_move_iterator(alternatives.end()));
  return node;
}

void ApplyRepeat(PatternNode* node, const Repeat& repeat) {
  node->op = repeat.op;
  node->anchor = repeat.op;
  node->min = repeat.min;
  node->max = repeat.max;
  node->numeric = node->mode == NodeMode::kSet && node->set.IsNumeric();
}

/// Compiles the operator, line-break node or bracketed group at the front of `text` into one
/// node; returns the characters used.
std::size_t CompileSpecial(std::string_view text, const CompileOptions& options, std::string* error,
                           std::vector<PatternNode>* chain) {
  if (text[0] == '^' || text[0] == '$') {
    bool doubled = text.size() > 1 && text[1] == text[0];
    chain->push_back(LineBreakNode(text[0], doubled));
    return doubled ? 2 : 1;
  }
  Repeat repeat;
  std::size_t used = ReadOperator(text, options.bound, &repeat);
  PatternNode node;
  if (used < text.size() && (text[used] == '[' || text[used] == '(')) {
    bool is_class = text[used] == '[';
    std::string_view group = text.substr(used);
    BalancedSpan span = FindBalanced(group, text[used], is_class ? ']' : ')');
    if (span.end < 0) {  // never closed: the rest is literal text, and the fault
      if (error->empty()) *error = std::string(group);
      node = LiteralNode(group, options);
      used = text.size();
    } else {
      std::string_view content = group.substr(1, static_cast<std::size_t>(span.end) - 2);
      node = is_class ? ClassNode(content, options, error) : GroupNode(content, options);
      used += static_cast<std::size_t>(span.end);
    }
  } else {
    node = AnyCharNode(options);
  }
  ApplyRepeat(&node, repeat);
  node.source = std::string(text.substr(0, used));
  chain->push_back(std::move(node));
  return used;
}

}  // namespace

std::vector<PatternNode> CompileRegexChain(std::string_view expression,
                                           const CompileOptions& options, std::string* error) {
  std::vector<PatternNode> chain;
  std::size_t pos = 0;
  while (pos < expression.size()) {
    std::string_view rest = expression.substr(pos);
    std::ptrdiff_t special = FindUnescapedOneOf(rest, kSpecials);
    if (special < 0) {
      chain.push_back(LiteralNode(rest, options));
      break;
    }
    if (special > 0) {
      chain.push_back(LiteralNode(rest.substr(0, static_cast<std::size_t>(special)), options));
      pos += static_cast<std::size_t>(special);
      continue;
    }
    pos += CompileSpecial(rest, options, error, &chain);
  }
  if (chain.empty()) chain.push_back(LiteralNode("", options));
  return chain;
}

std::vector<PatternNode> CompileWildcardChain(std::string_view pattern,
                                              const CompileOptions& options) {
  std::vector<PatternNode> chain;
  std::size_t pos = 0;
  while (pos < pattern.size()) {
    std::string_view rest = pattern.substr(pos);
    std::ptrdiff_t special = FindUnescapedOneOf(rest, "*?");
    if (special != 0) {
      std::size_t length = special < 0 ? rest.size() : static_cast<std::size_t>(special);
      chain.push_back(LiteralNode(rest.substr(0, length), options));
      pos += length;
      continue;
    }
    PatternNode node = AnyCharNode(options);
    if (rest[0] == '*') {
      ApplyRepeat(&node, {node_op::kAny, 0, options.bound});
    } else {
      ApplyRepeat(&node, {node_op::kOne, 1, 1});
    }
    node.source = std::string(1, rest[0]);
    chain.push_back(std::move(node));
    ++pos;
  }
  if (chain.empty()) chain.push_back(LiteralNode("", options));
  return chain;
}

std::string ConvertFromPostfix(std::string_view expression) {
  std::string result;
  std::size_t pos = 0;
  while (pos < expression.size()) {
    std::string_view rest = expression.substr(pos);
    std::ptrdiff_t open = FindUnescapedOneOf(rest, "[(");
    if (open < 0) {
      result.append(rest);
      break;
    }
    std::size_t at = static_cast<std::size_t>(open);
    result.append(rest.substr(0, at));
    char close = rest[at] == '[' ? ']' : ')';
    BalancedSpan span = FindBalanced(rest.substr(at), rest[at], close);
    if (span.end < 0) {
      result.append(rest.substr(at));
      break;
    }
    std::string_view group = rest.substr(at, static_cast<std::size_t>(span.end));
    std::size_t after = at + group.size();
    if (after < rest.size() && std::string_view("+*?!").find(rest[after]) != std::string::npos) {
      result.push_back(rest[after]);
      ++after;
    }
    result.append(group);
    pos += after;
  }
  return result;
}

namespace {

/// The next unescaped `!(` at or after `from`; npos when there is none.
std::size_t FindSideConditionStart(std::string_view text, std::size_t from) {
  for (std::size_t i = from; i + 1 < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == '!' && text[i + 1] == '(') {
      return i;
    }
  }
  return std::string_view::npos;
}

}  // namespace

SplitExpression SplitSideConditions(std::string_view expression) {
  SplitExpression split;
  bool have_main = false;
  std::size_t pos = 0;
  while (true) {
    std::size_t mark = FindSideConditionStart(expression, pos);
    if (mark == std::string_view::npos) break;
    BalancedSpan span = FindBalanced(expression.substr(mark + 1), '(', ')');
    if (span.end < 0) break;  // an unclosed group stays in the text that follows
    std::string_view before = expression.substr(pos, mark - pos);
    if (!before.empty()) {
      if (!have_main) {
        split.main = std::string(before);
        have_main = true;
      } else {
        split.side_conditions.push_back({std::string(before), true});
      }
    }
    std::size_t group_end = mark + 1 + static_cast<std::size_t>(span.end);
    if (have_main) {
      std::string_view inner = expression.substr(mark + 2, group_end - mark - 3);
      split.side_conditions.push_back({std::string(inner), false});
    }
    pos = group_end;
  }
  if (!have_main) return SplitExpression{std::string(expression), {}};
  if (pos < expression.size()) {
    split.side_conditions.push_back({std::string(expression.substr(pos)), true});
  }
  return split;
}

namespace {

/// The search node that `%number` refers to: counting only nodes with an operator,
/// alternatives or a set.
int ReferencedNode(const std::vector<PatternNode>& chain, int number) {
  int seen = 0;
  for (std::size_t i = 0; i < chain.size(); ++i) {
    if (chain[i].is_variable() && ++seen == number) return static_cast<int>(i);
  }
  return -1;
}

/// Reads what follows `%N>` or `%N<` for a counter: a second sign (run on across files) or a
/// start value closed by the same sign. Returns the position after it.
std::size_t ReadCounter(std::string_view text, std::size_t at, char sign, ReplaceNode* node) {
  node->counter = true;
  node->step = sign == '>' ? 1 : -1;
  if (at < text.size() && text[at] == sign) {
    node->reset_per_file = false;
    return at + 1;
  }
  std::size_t digits = at;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == at || digits >= text.size() || text[digits] != sign) return at;
  std::int64_t value = 0;
  for (std::size_t i = at; i < digits; ++i) {
    value = AppendDigit(value, text[i], std::int64_t{1} << 60);
  }
  node->start_value = value;
  node->start_value_digits = static_cast<int>(digits - at);
  node->start_value_leading_zero = text[at] == '0';
  return digits + 1;
}

}  // namespace

std::vector<ReplaceNode> CompileReplace(std::string_view replace,
                                        const std::vector<PatternNode>& chain) {
  std::vector<ReplaceNode> result;
  auto add_literal = [&](std::string_view text) {
    ReplaceNode node;
    node.literal = DecodeEscapes(text);
    result.push_back(std::move(node));
  };
  std::size_t pos = 0;
  while (pos < replace.size()) {
    std::ptrdiff_t found = FindUnescapedOneOf(replace.substr(pos), "%");
    if (found < 0) {
      add_literal(replace.substr(pos));
      break;
    }
    std::size_t percent = pos + static_cast<std::size_t>(found);
    if (percent > pos) add_literal(replace.substr(pos, percent - pos));
    if (percent + 1 >= replace.size() || replace[percent + 1] < '1' || replace[percent + 1] > 'q') {
      add_literal(replace.substr(percent));  // not a reference: the rest is literal
      break;
    }
    ReplaceNode node;
    node.is_reference = true;
    node.reference = replace[percent + 1] - '0';
    node.search_node = ReferencedNode(chain, node.reference);
    pos = percent + 2;
    if (pos < replace.size() && (replace[pos] == '>' || replace[pos] == '<')) {
      char sign = replace[pos];
      if (node.search_node >= 0 && chain[static_cast<std::size_t>(node.search_node)].numeric) {
        pos = ReadCounter(replace, pos + 1, sign, &node);
      } else {
        node.case_change = sign;
        ++pos;
      }
    }
    result.push_back(std::move(node));
  }
  return result;
}

}  // namespace tsl::pattern_internal
