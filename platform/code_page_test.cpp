#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace tsl::cp {
namespace {

TEST(CodePageTest, CaseMappingOfWesternLetters) {
  struct Case {
    unsigned char byte, upper, lower;
  } cases[] = {
      {'a', 'A', 'a'},   {'Z', 'Z', 'z'},   {'1', '1', '1'},   {0xE9, 0xC9, 0xE9},  // é
      {0xC9, 0xC9, 0xE9},                                                            // É
      {0xFF, 0x9F, 0xFF},  // ÿ and Ÿ live far apart
      {0x9F, 0x9F, 0xFF},  {0x9A, 0x8A, 0x9A},  // š Š
      {0x9C, 0x8C, 0x9C},                       // œ Œ
      {0xDF, 0xDF, 0xDF},                       // ß has no single upper-case letter
      {0xB5, 0xB5, 0xB5},                       // µ: its upper case is Greek
      {0x83, 0x83, 0x83},                       // ƒ: likewise
      {0xD7, 0xD7, 0xD7},                       // ×
      {0xF7, 0xF7, 0xF7},                       // ÷
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToUpper(c.byte), c.upper) << int(c.byte);
    EXPECT_EQ(ToLower(c.byte), c.lower) << int(c.byte);
  }
  EXPECT_EQ(ToUpper("straße \xE0 la carte"), "STRAßE \xC0 LA CARTE");
  EXPECT_TRUE(EqualsIgnoreCase("Caf\xE9", "CAF\xC9"));
  EXPECT_FALSE(EqualsIgnoreCase("Cafe", "Caf\xE9"));
  EXPECT_FALSE(EqualsIgnoreCase("abc", "abcd"));
  EXPECT_EQ(CompareIgnoringCase("caf\xE9", "CAF\xC9"), 0);
  EXPECT_EQ(CompareIgnoringCase("abc", "ABCD"), -1);
  EXPECT_EQ(CompareIgnoringCase("b", "A"), 1);
}

TEST(CodePageTest, Classes) {
  EXPECT_TRUE(IsAlpha('q'));
  EXPECT_FALSE(IsAlpha('5'));
  EXPECT_TRUE(IsAlphaNumeric('5'));
  EXPECT_TRUE(IsAlpha(0xE9));
  EXPECT_TRUE(IsAlpha(0x8A));
  EXPECT_FALSE(IsAlpha(0xD7));
  EXPECT_FALSE(IsAlpha(0x80));  // euro sign
  EXPECT_FALSE(IsAlphaNumeric('_'));
  EXPECT_FALSE(IsAlphaNumeric(0));
}

TEST(CodePageTest, ConversionToAndFromUtf16) {
  EXPECT_EQ(ToUtf16("A\x80\xE9\x81"), std::u16string(u"A\u20AC\u00E9\u0081"));
  EXPECT_EQ(FromUtf16(u"A\u20AC\u00E9"), "A\x80\xE9");
  // Characters outside the code page become 0x7F, one per UTF-16 unit.
  EXPECT_EQ(FromUtf16(u"x\u0100y"), "x\x7Fy");
  EXPECT_EQ(FromUtf16(u"\U0001F600"), "\x7F\x7F");
  // A letter and a combining mark become the accented letter when the code page has it.
  EXPECT_EQ(FromUtf16(u"e\u0301x"), "\xE9x");
  EXPECT_EQ(FromUtf16(u"Z\u030C"), "\x8E");
  EXPECT_EQ(FromUtf16(u"n\u0303\u0301"), "\xF1\x7F");
  // Every byte goes there and back unchanged.
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(FromUtf16(ToUtf16(all)), all);
}

}  // namespace
}  // namespace tsl::cp
