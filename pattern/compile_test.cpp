// The compiler: what chain an expression becomes, its faults, the conversions done before
// compiling (postfix operators, side conditions), replace chains, matching order and lengths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pattern/search_pattern.h"

namespace tsl {
namespace {

using namespace std::string_literals;

class CompileTest : public ::testing::Test {};

PatternOptions WithBound(int repetition_bound) {
  PatternOptions options;
  options.repetition_bound = repetition_bound;
  return options;
}

std::string Escaped(const std::string& bytes) {
  std::string result;
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F) {
      result.push_back(c);
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      result += "\\x";
      result.push_back(kHex[b >> 4]);
      result.push_back(kHex[b & 15]);
    }
  }
  return result;
}

/// One node as text: `lit"abc"|"dog"` or `set"0123"`, then the operator (or anchor) and the
/// counts. The set of every byte but 0-8, LF and CR is written `any`, all bytes `all`.
std::string Describe(const PatternNode& node) {
  std::string text;
  if (node.mode == NodeMode::kLiteral) {
    text = "lit\"" + Escaped(node.literal) + "\"";
    for (const std::string& alternative : node.alternatives) {
      text += "|\"" + Escaped(alternative) + "\"";
    }
  } else if (node.set.members().size() == 256) {
    text = "all";
  } else if (node.set.members().size() == 256 - 11 && !node.set.Contains('\n') &&
             !node.set.Contains(0) && node.set.Contains('\t')) {
    text = "any";
  } else {
    text = "set\"" + Escaped(node.set.members()) + "\"";
  }
  char mark = node.is_line_break() ? node.anchor : node.op;
  if (mark != 0) text += std::string(node.doubled_anchor ? 2 : 1, mark);
  text += "{" + std::to_string(node.min) + "," + std::to_string(node.max) + "}";
  return text;
}

std::string Describe(const SearchPattern& pattern) {
  std::string text;
  for (const PatternNode& node : pattern.nodes()) {
    if (!text.empty()) text += " ";
    text += Describe(node);
  }
  return text;
}

struct ChainCase {
  std::string expression;
  std::string chain;
};

TEST_F(CompileTest, RegexChains) {
  const ChainCase cases[] = {
      {"abc", "lit\"abc\"{1,1}"},
      {"*[0-9]x", "set\"0123456789\"*{0,300} lit\"x\"{1,1}"},
      {"+2-4[a-c]", "set\"abc\"+{2,4}"},
      {"+3", "any+{3,3}"},
      {"+", "any+{1,300}"},
      {"+5+[a]", "set\"a\"+{5,300}"},
      {"+-3[a]", "set\"a\"+{1,3}"},
      {"+0[a]", "set\"a\"+{1,1}"},          // counts are raised to at least 1
      {"+4-2[a]", "set\"a\"+{4,4}"},        // a maximum below the minimum is raised to it
      {"+99999[a]", "set\"a\"+{300,300}"},  // and lowered to the repetition bound
      {"+x", "any+{1,300} lit\"x\"{1,1}"},  // not a count: the plain `+`
      {"+3-x", "any+{3,3} lit\"-x\"{1,1}"},
      {"+-x", "any+{1,300} lit\"-x\"{1,1}"},
      {"?", "any?{1,1}"},
      {"*", "any*{0,300}"},
      {"**", "any*{0,300} any*{0,300}"},
      {"(cat|dog)s", "lit\"cat\"|\"dog\"{1,1} lit\"s\"{1,1}"},
      {"(a*b)", "lit\"a*b\"{1,1}"},  // specials inside a group are literal
      {"*(a|)", "lit\"a\"|\"\"*{0,300}"},
      {"()", "lit\"\"{1,1}"},
      {"(a\\|b|c)", "lit\"a|b\"|\"c\"{1,1}"},
      {"((a))", "lit\"(a)\"{1,1}"},
      {"^abc", "set\"\\x0d\\x0a\"^{1,300} lit\"abc\"{1,1}"},  // a leading break node repeats
      {"abc$", "lit\"abc\"{1,1} set\"\\x0d\\x0a\"${1,2}"},
      {"^^a$$", "set\"\\x0d\\x0a\"^^{1,300} lit\"a\"{1,1} set\"\\x0d\\x0a\"$${1,2}"},
      {"a^b", "lit\"a\"{1,1} set\"\\x0d\\x0a\"^{1,2} lit\"b\"{1,1}"},
      {"[]", "all{1,1}"},
      {"[a-c-e]", "set\"abc-e\"{1,1}"},
      {"[-a]", "set\"-a\"{1,1}"},
      {"[a-]", "set\"a-\"{1,1}"},
      {"[a\\-c]", "set\"a-c\"{1,1}"},
      {"[\\t-\\r]", "set\"\\x09\\x0a\\x0b\\x0c\\x0d\"{1,1}"},
      {"[\\0x41-\\0x43]", "set\"ABC\"{1,1}"},
      {"[!--]", "set\"!\"#$%&'()*+,-\"{1,1}"},  // a range may end in `-`
      {"[aa]", "set\"a\"{1,1}"},                // members are kept once
      {"[\\]]", "set\"]\"{1,1}"},
      {"\\*\\[\\(", "lit\"*[(\"{1,1}"},
      {"\\t\\65", "lit\"\\x09A\"{1,1}"},
      {"", "lit\"\"{1,1}"},
  };
  for (const ChainCase& c : cases) {
    SearchPattern pattern(c.expression, std::nullopt, PatternSyntax::kRegex, WithBound(300));
    EXPECT_EQ(Describe(pattern), c.chain) << c.expression;
    EXPECT_EQ(pattern.error(), "") << c.expression;
  }
}

TEST_F(CompileTest, CaseInsensitiveCompilingUpperCasesLiteralsAndSets) {
  PatternOptions options;
  options.case_sensitive = false;
  SearchPattern pattern("ab(cd|\xe9)[x-z\xff]", std::nullopt, PatternSyntax::kRegex, options);
  EXPECT_EQ(Describe(pattern), "lit\"AB\"{1,1} lit\"CD\"|\"\\xc9\"{1,1} set\"XYZ\\x9f\"{1,1}");
}

TEST_F(CompileTest, WildcardChains) {
  const ChainCase cases[] = {
      {"*.txt", "any*{0,300} lit\".txt\"{1,1}"},
      {"a?c", "lit\"a\"{1,1} any?{1,1} lit\"c\"{1,1}"},
      {"+[a](b)^$", "lit\"+[a](b)^$\"{1,1}"},  // nothing else is special
      {"a\\*b", "lit\"a*b\"{1,1}"},
      {"", "lit\"\"{1,1}"},
  };
  for (const ChainCase& c : cases) {
    SearchPattern pattern(c.expression, std::nullopt, PatternSyntax::kWildcard, WithBound(300));
    EXPECT_EQ(Describe(pattern), c.chain) << c.expression;
  }
}

TEST_F(CompileTest, NodeDetails) {
  SearchPattern pattern("+2-4[0-9]x[0-9-](a|b)*[0-9a]", std::nullopt, PatternSyntax::kRegex);
  const std::vector<PatternNode>& nodes = pattern.nodes();
  ASSERT_EQ(nodes.size(), 5u);
  EXPECT_EQ(nodes[0].source, "+2-4[0-9]");
  EXPECT_TRUE(nodes[0].numeric);
  EXPECT_EQ(nodes[1].source, "x");
  EXPECT_TRUE(nodes[2].numeric);  // `-` counts as numeric
  EXPECT_EQ(nodes[3].source, "(a|b)");
  EXPECT_FALSE(nodes[4].numeric);
  EXPECT_EQ(nodes[4].source, "*[0-9a]");
  SearchPattern line("^^x", std::nullopt, PatternSyntax::kRegex);
  EXPECT_EQ(line.nodes()[0].source, "^^");
}

struct ErrorCase {
  std::string expression;
  std::string error;
};

TEST_F(CompileTest, Faults) {
  const ErrorCase cases[] = {
      {"[z-a]", "z-a"},      {"x[b-a]y", "b-a"}, {"ab[cd", "[cd"},
      {"ab(cd", "(cd"},      {"+3(x|y", "(x|y"}, {"a[[b]", "[[b]"},  // brackets nest
      {"a!(b", "(b"},  // an unclosed side condition is compiled as text and is unclosed
      {"[z-a]!(b[)", "z-a"}, {"a!(b[)", "["},  // faults of side conditions count too
      {"[a--]", "a--"},                        // the range from `a` to `-` is reversed
      {"[a-c]", ""},         {"a!(b)", ""},
  };
  for (const ErrorCase& c : cases) {
    SearchPattern pattern(c.expression, std::nullopt, PatternSyntax::kRegex);
    EXPECT_EQ(pattern.error(), c.error) << c.expression;
    EXPECT_EQ(pattern.ok(), c.error.empty()) << c.expression;
  }
}

TEST_F(CompileTest, AnUnclosedGroupBecomesLiteralText) {
  SearchPattern pattern("ab(cd", std::nullopt, PatternSyntax::kRegex);
  EXPECT_EQ(Describe(pattern), "lit\"ab\"{1,1} lit\"(cd\"{1,1}");
}

TEST_F(CompileTest, EachPatternKeepsItsOwnFault) {
  SearchPattern faulty("[z-a]", std::nullopt, PatternSyntax::kRegex);
  SearchPattern sound("abc", std::nullopt, PatternSyntax::kRegex);
  EXPECT_FALSE(faulty.ok());
  EXPECT_EQ(faulty.error(), "z-a");
  EXPECT_TRUE(sound.ok());
  EXPECT_EQ(sound.error(), "");
  SearchPattern moved = std::move(faulty);
  EXPECT_EQ(moved.error(), "z-a");
}

TEST_F(CompileTest, DeeplyNestedSideConditionsAreAnErrorNotACrash) {
  std::string expression = "a";
  for (int i = 0; i < 5000; ++i) expression += "!(b";
  expression += std::string(5000, ')');
  SearchPattern pattern(expression, std::nullopt, PatternSyntax::kRegex);
  EXPECT_EQ(pattern.error(), "side conditions nested too deeply");

  std::string shallow = "a!(b!(c))";
  SearchPattern fine(shallow, std::nullopt, PatternSyntax::kRegex);
  EXPECT_EQ(fine.error(), "");
  ASSERT_EQ(fine.side_conditions().size(), 1u);
  EXPECT_EQ(fine.side_conditions()[0].source(), "b");
  EXPECT_EQ(fine.side_conditions()[0].side_conditions().size(), 1u);
}

TEST_F(CompileTest, LongExpressionsCompileWithoutRecursion) {
  std::string expression;
  for (int i = 0; i < 20000; ++i) expression += "a*[b](c|d)";
  SearchPattern pattern(expression, std::nullopt, PatternSyntax::kRegex);
  EXPECT_EQ(pattern.error(), "");
  EXPECT_EQ(pattern.nodes().size(), 60000u);
  EXPECT_EQ(pattern.MatchingOrder().size(), 60000u);
}

struct ConversionCase {
  std::string expression;
  std::string converted;
};

TEST_F(CompileTest, PostfixOperatorsMoveInFrontOfTheirGroup) {
  PatternOptions postfix;
  postfix.operator_order = OperatorOrder::kPostfix;
  const ConversionCase cases[] = {
      {"[0-9]+x", "+[0-9]x"},
      {"(abc)!", "!(abc)"},
      {"ab+", "ab+"},  // not behind a group: unchanged
      {"(a)*[b]?c", "*(a)?[b]c"},
      {"[a[b]]+", "+[a[b]]"},  // nesting is counted
      {"\\[a]+", "\\[a]+"},    // an escaped bracket opens no group
      {"[a\\]]+", "+[a\\]]"},
      {"[0-9+", "[0-9+"},  // unclosed: left alone
      {"", ""},
  };
  for (const ConversionCase& c : cases) {
    SearchPattern pattern(c.expression, std::nullopt, PatternSyntax::kRegex, postfix);
    // The main expression keeps the converted text unless side conditions were cut off.
    if (c.expression.find('!') == std::string::npos) {
      EXPECT_EQ(pattern.source(), c.converted) << c.expression;
    }
  }
  SearchPattern converted("x(abc)!", std::nullopt, PatternSyntax::kRegex, postfix);
  EXPECT_EQ(converted.source(), "x");
  ASSERT_EQ(converted.side_conditions().size(), 1u);
  EXPECT_FALSE(converted.side_conditions()[0].must_match());

  SearchPattern prefix("[0-9]+x", std::nullopt, PatternSyntax::kRegex, PatternOptions{});
  EXPECT_EQ(prefix.source(), "[0-9]+x");
  // The operator order concerns expressions only.
  SearchPattern wildcard("[0-9]+x", std::nullopt, PatternSyntax::kWildcard, postfix);
  EXPECT_EQ(wildcard.source(), "[0-9]+x");
}

struct SideCase {
  std::string expression;
  std::string main;
  std::vector<std::string> sides;  // "+text" must match, "-text" must not
};

TEST_F(CompileTest, SideConditions) {
  const SideCase cases[] = {
      {"*error*!(warning)", "*error*", {"-warning"}},
      {"*error*!(warning)disk", "*error*", {"-warning", "+disk"}},
      {"a!(b)c!(d)", "a", {"-b", "+c", "-d"}},
      {"a!(b)!(c)", "a", {"-b", "-c"}},
      {"!(a)b", "!(a)b", {}},  // no main expression: the whole text is the main one
      {"!(a)", "!(a)", {}},
      {"a\\!(b)", "a\\!(b)", {}},  // escaped
      {"a!(b(c)d)e", "a", {"-b(c)d", "+e"}},
      {"plain", "plain", {}},
  };
  for (const SideCase& c : cases) {
    SearchPattern pattern(c.expression, std::nullopt, PatternSyntax::kRegex);
    EXPECT_EQ(pattern.source(), c.main) << c.expression;
    std::vector<std::string> sides;
    for (const SearchPattern& side : pattern.side_conditions()) {
      sides.push_back((side.must_match() ? "+" : "-") + side.source());
    }
    EXPECT_EQ(sides, c.sides) << c.expression;
  }
}

/// A replace chain as text: `"lit"`, `%N` with `>`/`<` for case changes, `#N+` / `#N-` for
/// counters (with `=start`, `~` when running on across files), `%N?` for a missing node.
std::string DescribeReplace(const SearchPattern& pattern) {
  std::string text;
  for (const ReplaceNode& node : pattern.replace_chain()) {
    if (!text.empty()) text += " ";
    if (!node.is_reference) {
      text += "\"" + Escaped(node.literal) + "\"";
      continue;
    }
    text += (node.counter ? "#" : "%") + std::to_string(node.reference);
    if (node.search_node < 0) text += "?";
    if (node.case_change) text += node.case_change;
    if (node.counter) {
      text += node.step > 0 ? "+" : "-";
      if (node.start_value) text += "=" + std::to_string(*node.start_value);
      if (!node.reset_per_file) text += "~";
    }
  }
  return text;
}

struct ReplaceCase {
  std::string search;
  std::string replace;
  std::string chain;
};

TEST_F(CompileTest, ReplaceChains) {
  const ReplaceCase cases[] = {
      {"Chapter *[0-9]", "Chapter %1>", "\"Chapter \" #1+"},
      {"*[0-9]", "%1>001>", "#1+=1"},
      {"*[0-9]", "%1<10<x", "#1-=10 \"x\""},
      {"*[0-9]", "%1>>", "#1+~"},
      {"*[0-9]", "%1<<", "#1-~"},
      {"*[0-9]", "%1>10", "#1+ \"10\""},  // a start value needs its closing sign
      {"*[0-9]", "%1>10<", "#1+ \"10<\""},
      {"*[a-z]", "%1>%1<%1", "%1> %1< %1"},  // not numeric: case changes
      {"*[a-z]", "%1>>", "%1> \">\""},
      {"x*[a-z]y(a|b)z", "%2-%1", "%2 \"-\" %1"},  // plain literals are not counted
      {"*[a-z]*[0-9]", "%9", "%9?"},
      {"x", "50%", "\"50\" \"%\""},
      {"x", "50\\%%1", "\"50%\" %1?"},
      {"x", "%%FMFOUND%%", "\"%%FMFOUND%%\""},
      {"x", "a%zb\\tc", "\"a\" \"%zb\\x09c\""},  // the rest after a stray `%` is literal
      {"*[a-z]", "%A", "%17?"},                  // `1` to `q` are references
      {"^a", "[%1]", "\"[\" %1 \"]\""},          // a line-break node is a set: counted
      {"x", "", ""},
  };
  for (const ReplaceCase& c : cases) {
    SearchPattern pattern(c.search, c.replace, PatternSyntax::kRegex);
    EXPECT_EQ(DescribeReplace(pattern), c.chain) << c.search << " / " << c.replace;
  }
}

struct OrderCase {
  std::string expression;
  std::vector<int> order;
};

TEST_F(CompileTest, MatchingOrder) {
  const OrderCase cases[] = {
      {"*[0-9]x", {1, 0}},
      {"^abc", {1, 0}},
      {"abc$", {0, 1}},
      {"(cat|dog)s", {1, 0}},                 // a fixed count next to an ordered node follows it
      {"?a+b*c", {1, 0, 3, 5, 2, 4}},         // the walk from the left meets `?` before `b`
      {"*a?[b]?c+d", {1, 2, 3, 4, 6, 5, 0}},  // fixed counts chain on from the literal
      {"*[a]+[b]?[c]", {2, 1, 0}},
      {"*[a]*[b]", {0, 1}},
      {"+[a]+[b]", {0, 1}},
      {"+3[a]+[b]", {0, 1}},  // `+3` is a fixed count, but nothing is ordered next to it yet
  };
  for (const OrderCase& c : cases) {
    SearchPattern pattern(c.expression, std::nullopt, PatternSyntax::kRegex);
    EXPECT_EQ(pattern.MatchingOrder(), c.order) << c.expression;
  }
}

TEST_F(CompileTest, MaxLengthAndSpanEstimate) {
  struct Case {
    std::string expression;
    std::int64_t max_length;
    std::int64_t span;
  } cases[] = {
      {"abc", 6, 6},              // a literal repeated less than 3 times counts once more
      {"+3(ab)", 6, 6},           // 3 x 2
      {"+2(ab)", 6, 6},           // 2 x 2 + 2
      {"(a|bcd)", 6, 6},          // the longest alternative
      {"*[0-9]x", 302, 302 + 2},  // sum of the lengths from each node to the end
      {"^abc", 306, 306 + 6},
      {"+[a]+[b]+[c]+[d]+[e]+[f]+[g]+[h]", 2400, 10240},  // capped
  };
  for (const Case& c : cases) {
    SearchPattern pattern(c.expression, std::nullopt, PatternSyntax::kRegex, WithBound(300));
    EXPECT_EQ(pattern.MaxLength(), c.max_length) << c.expression;
    EXPECT_EQ(pattern.SpanEstimate(), c.span) << c.expression;
  }
}

TEST_F(CompileTest, WideningForUtf16) {
  SearchPattern pattern("a(b|c\xe9)+2[0-9]*", "<%1\\>", PatternSyntax::kRegex, WithBound(300));
  pattern.Widen();
  pattern.Widen();  // a second call changes nothing
  EXPECT_TRUE(pattern.widened());
  EXPECT_EQ(
      Describe(pattern),
      "lit\"a\\x00\"{1,1} lit\"b\\x00\"|\"c\\x00\\xe9\\x00\"{1,1} "
      "set\"0123456789\\x00\"+{4,4} set\"" +
          Escaped(
              SearchPattern("*", std::nullopt, PatternSyntax::kRegex).nodes()[0].set.members()) +
          "\\x00\"*{0,300}");
  for (const PatternNode& node : pattern.nodes()) EXPECT_TRUE(node.widened);
  ASSERT_EQ(pattern.replace_chain().size(), 3u);
  EXPECT_EQ(pattern.replace_chain()[0].literal, "<\0"s);
  EXPECT_EQ(pattern.replace_chain()[2].literal, ">\0"s);
}

TEST_F(CompileTest, WideningKeepsTheMaximumAtLeastTheMinimum) {
  SearchPattern pattern("+3[a]", std::nullopt, PatternSyntax::kRegex, WithBound(4));
  pattern.Widen();
  EXPECT_EQ(pattern.nodes()[0].min, 6);
  EXPECT_EQ(pattern.nodes()[0].max, 6);
}

TEST_F(CompileTest, SideConditionsAndFolderPartsTakeThePatternsOptions) {
  PatternOptions options;
  options.case_sensitive = false;
  options.repetition_bound = 5;
  SearchPattern pattern("*a!(*b)", std::nullopt, PatternSyntax::kRegex, options);
  ASSERT_EQ(pattern.side_conditions().size(), 1u);
  const std::vector<PatternNode>& side = pattern.side_conditions()[0].nodes();
  ASSERT_EQ(side.size(), 2u);
  EXPECT_EQ(side[0].max, 5);
  EXPECT_FALSE(side[0].set.Contains('b'));  // upper-cased
  EXPECT_EQ(side[1].literal, "B");

  SearchPattern mask("*.txt", std::nullopt, PatternSyntax::kWildcard, options);
  mask.SetFolderPart("*sub", false, false);
  const std::vector<PatternNode>& folder = mask.folder_pattern()->nodes();
  ASSERT_EQ(folder.size(), 2u);
  EXPECT_EQ(folder[0].max, 5);
  EXPECT_EQ(folder[1].literal, "SUB");
}

TEST_F(CompileTest, MasksKeepAFolderPattern) {
  SearchPattern mask("*.TXT", std::nullopt, PatternSyntax::kWildcard);
  EXPECT_FALSE(mask.has_folder_part());
  mask.SetFolderPart("\\\\SUB\\\\", true, false);
  ASSERT_TRUE(mask.has_folder_part());
  EXPECT_TRUE(mask.any_depth_before());
  EXPECT_FALSE(mask.any_depth_below());
  EXPECT_TRUE(mask.folder_pattern()->MatchesWhole("\\SUB\\"));
  EXPECT_TRUE(mask.MatchesWhole("A.TXT"));
}

}  // namespace
}  // namespace tsl
