#include "script/escapes.h"

#include <gtest/gtest.h>

#include <string>

namespace tsl {
namespace {

using namespace std::string_literals;

struct DecodeCase {
  std::string input;
  std::string expected;
};

TEST(DecodeEscapesTest, Table) {
  const DecodeCase cases[] = {
      {"a\\tb", "a\tb"},
      {"C:\\\\dir", "C:\\dir"},
      {"C:\\dir", "C:dir"},  // an unknown letter stands for itself
      {"\\a\\b\\f\\n\\r\\t\\v\\?\\'\\\"\\\\", "\a\b\f\n\r\t\v?'\"\\"},
      {"\\65", "A"},     // decimal
      {"\\0101", "A"},   // octal
      {"\\065", "5"},    // octal 53
      {"\\0x41", "A"},   // hexadecimal
      {"\\0X4a", "J"},   // either spelling of the prefix, either letter case of digits
      {"\\x41", "x41"},  // a number needs a digit after the backslash
      {"\\12345",
       "\xd2"
       "5"},                // only four characters are read; 1234 & 0xFF == 210
      {"\\0x4142", "A42"},  // the prefix counts towards the four characters
      {"\\0", "\0"s},       // a zero byte stays part of the text
      {"a\\0b", "a\0b"s},
      {"\\08",
       "\0"
       "8"s},            // 8 is not an octal digit
      {"\\0x", "\0x"s},  // a prefix without hexadecimal digits reads as the octal 0
      {"\\0xg", "\0xg"s},
      {"\\999", "\xe7"},  // 999 & 0xFF
      {"\\256", "\0"s},   // values wrap to their low byte
      {"abc\\", "abc"},   // a lone backslash at the end is dropped
      {"\\", ""},
      {"\\\\\\", "\\"},
      {"\\*\\[\\(", "*[("},
      {"plain", "plain"},
      {"", ""},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(DecodeEscapes(c.input), c.expected) << c.input;
  }
}

TEST(DecodeEscapesTest, DecodeEscapeAtReportsTheEndOfTheSequence) {
  std::string out;
  EXPECT_EQ(DecodeEscapeAt("\\0x41z", 0, &out), 5u);
  EXPECT_EQ(DecodeEscapeAt("x\\tz", 1, &out), 3u);
  EXPECT_EQ(DecodeEscapeAt("x\\", 1, &out), 2u);
  EXPECT_EQ(out, "A\t");
}

TEST(EscapeCharsTest, EscapesInTheOrderOfTheSet) {
  std::string text = "a+b\\c";
  EXPECT_EQ(EscapeChars(text, "\\+"), 2);
  EXPECT_EQ(text, "a\\+b\\\\c");

  // The other order doubles the backslash inserted before `+` as well.
  text = "a+b\\c";
  EXPECT_EQ(EscapeChars(text, "+\\"), 3);
  EXPECT_EQ(text, "a\\\\+b\\\\c");
}

TEST(EscapeCharsTest, EscapeCharCountsOccurrences) {
  std::string text = "*a**";
  EXPECT_EQ(EscapeChar(text, '*'), 3);
  EXPECT_EQ(text, "\\*a\\*\\*");
  EXPECT_EQ(EscapeChar(text, 'z'), 0);
  EXPECT_EQ(text, "\\*a\\*\\*");
}

TEST(ControlsTest, EncodeAndDecode) {
  EXPECT_EQ(EncodeControls("a\tb\r\nc"), "a\\tb\\r\\nc");
  EXPECT_EQ(DecodeControls("line1\\nline2"), "line1\nline2");
  EXPECT_EQ(DecodeControls("line1\\Nline2"), "line1\nline2");
  EXPECT_EQ(DecodeControls("\\T\\r\\R"), "\t\r\r");
  EXPECT_EQ(DecodeControls(EncodeControls("x\r\n\ty")), "x\r\n\ty");
}

struct ReplaceAllCase {
  std::string text, find, replacement;
  bool match_case;
  std::string expected;
};

TEST(ReplaceAllTest, Table) {
  const ReplaceAllCase cases[] = {
      {"aXbxc", "x", "--", true, "aXb--c"},
      {"aXbxc", "x", "--", false, "a--b--c"},
      {"aaa", "a", "aa", true, "aaaaaa"},        // inserted text is not searched again
      {"aaaa", "aa", "b", true, "bb"},           // occurrences do not overlap
      {"abc", "", "x", true, "abc"},             // nothing to find
      {"\xe9t\xc9", "\xc9", "E", false, "EtE"},  // code-page upper-casing of accented letters
      {"", "a", "b", true, ""},
  };
  for (const ReplaceAllCase& c : cases) {
    EXPECT_EQ(ReplaceAll(c.text, c.find, c.replacement, c.match_case), c.expected)
        << c.text << " / " << c.find;
  }
}

TEST(ScanningTest, IsEscaped) {
  EXPECT_FALSE(IsEscaped("\\\\*", 2));
  EXPECT_TRUE(IsEscaped("\\*", 1));
  EXPECT_TRUE(IsEscaped("\\\\\\*", 3));
  EXPECT_FALSE(IsEscaped("*", 0));
  EXPECT_FALSE(IsEscaped("\\", 0));
}

TEST(ScanningTest, FindUnescapedOneOf) {
  EXPECT_EQ(FindUnescapedOneOf("ab*c", "*?"), 2);
  EXPECT_EQ(FindUnescapedOneOf("a\\*b?c", "*?"), 4);
  EXPECT_EQ(FindUnescapedOneOf("a\\\\*", "*"), 3);
  EXPECT_EQ(FindUnescapedOneOf("a\\*", "*"), -1);
  EXPECT_EQ(FindUnescapedOneOf("", "*"), -1);
  EXPECT_EQ(FindUnescapedOneOf("abc", ""), -1);
}

TEST(ScanningTest, FindBalanced) {
  BalancedSpan span = FindBalanced("x(a(b)c)d", '(', ')');
  EXPECT_EQ(span.open, 1);
  EXPECT_EQ(span.end, 8);
  span = FindBalanced("\\(a(b\\)c)d", '(', ')');
  EXPECT_EQ(span.open, 3);
  EXPECT_EQ(span.end, 9);
  span = FindBalanced("(a(b)", '(', ')');
  EXPECT_EQ(span.open, -1);
  EXPECT_EQ(span.end, -1);
  span = FindBalanced(")(", '(', ')');  // a close before any open does not count
  EXPECT_EQ(span.end, -1);
}

TEST(ScanningTest, FindGroupEnd) {
  EXPECT_EQ(FindGroupEnd("(ab)c"), 4);
  EXPECT_EQ(FindGroupEnd("+(a(b))c"), 7);
  EXPECT_EQ(FindGroupEnd("[a-z]x"), 5);
  EXPECT_EQ(FindGroupEnd("*[0-9]x"), 6);
  EXPECT_EQ(FindGroupEnd("[(a)]"), 4);  // a group in the first two characters wins over a class
  EXPECT_EQ(FindGroupEnd("[a(b)]"), 6);
  EXPECT_EQ(FindGroupEnd("abc"), 0);
  EXPECT_EQ(FindGroupEnd("x"), -1);
  EXPECT_EQ(FindGroupEnd("(abc"), -1);
  EXPECT_EQ(FindGroupEnd(""), 0);
}

}  // namespace
}  // namespace tsl
