#include "platform/file_names.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "platform/code_page.h"

namespace tsl {
namespace {

// One code point as UTF-8 (the tests build invalid forms by hand).
std::string Utf8(char32_t c) {
  std::string out;
  cp::AppendUtf8(c, &out);
  return out;
}

// Both functions, which must agree: equal names fold to the same text and only they do.
void ExpectEqual(std::string_view a, std::string_view b, PathStyle style, bool equal) {
  std::string where = "\"" + std::string(a) + "\" vs \"" + std::string(b) + "\"";
  EXPECT_EQ(FileNamesEqual(a, b, style), equal) << where;
  EXPECT_EQ(FileNamesEqual(b, a, style), equal) << where;
  EXPECT_EQ(FoldFileName(a, style) == FoldFileName(b, style), equal) << where;
  if (equal) {
    EXPECT_EQ(FoldedNameHash(a, style), FoldedNameHash(b, style)) << where;
  }
}

TEST(FileNamesTest, PosixNamesFoldAsUtf8) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"Readme.TXT", "readme.txt", true},
      {"a/B/c.txt", "A/b/C.TXT", true},
      {"file1", "file2", false},
      {"abc", "abcd", false},
      {"", "", true},
      {"@[`{", "@[`{", true},  // the neighbours of the ASCII letters do not fold
      {"@", "`", false},
      {"[", "{", false},
      // Cyrillic letters whose UTF-8 forms differ in one byte that Windows-1252 would fold.
      {"Кот.txt", "Њот.txt", false},
      {"М", "Ќ", false},
      {"О", "Ў", false},
      {"ъ", "њ", false},
      {"ь", "ќ", false},
      {"ю", "ў", false},
      {"Кот.txt", "кот.TXT", true},
      {"ЊЋЏ", "њћџ", true},
      // Greek sigma: the final form folds to the plain one.
      {"ΣΟΦΙΑ", "σοφια", true},
      {"Σ", "ς", true},
      {"σ", "ς", true},
      {"Straße", "STRASSE", false},  // ß folds only fully, to "ss"
      {"ẞ", "ß", true},              // capital sharp s folds simply to ß
      {"İ", "i", false},             // Turkic dotted I has no simple folding
      {"ı", "I", false},
      {"\xE2\x84\xAA", "k", true},  // KELVIN SIGN, three bytes, is k
      {"\xE2\x84\xAB", "å", true},  // ANGSTROM SIGN
      {"Éa", "éA", true},
      {"𐐀", "𐐨", true},  // Deseret, four bytes
      {"Ⓐ", "ⓐ", true},
      {"日本", "日本", true},
  };
  for (const Case& c : cases) ExpectEqual(c.a, c.b, PathStyle::kPosix, c.equal);
}

// Bytes that are not part of a valid character stand for themselves: they never fold, never
// equal a character, and never make a neighbouring byte fold.
TEST(FileNamesTest, InvalidSequencesCompareExactly) {
  struct Case {
    std::string a;
    std::string b;
    bool equal;
  } cases[] = {
      {"\xC0\x81", "A", false},                // overlong A
      {"\xC0\x81", "\xC0\x81", true},          // ... equal only to itself
      {"\xC1\x81", "\xC1\xA1", false},         // overlong A and a: not folded
      {"\xE0\x80\x81", "\x01", false},         // overlong three bytes
      {"\xED\xA0\x80", "\xED\xA0\x80", true},  // a surrogate
      {"\xED\xA0\x80", "\xED\xA0\x81", false},
      {"\xF4\x90\x80\x80", "\xF4\x90\x80\x80", true},  // above U+10FFFF
      {"\xF5\x80\x80\x80", "\xF5\x80\x80\x81", false},
      {"\xD0", "\xD0", true},       // truncated at the end
      {"\xD0\x9A", "\xD0", false},  // К against its lead byte alone
      {"\xD0K", "\xD0k", true},     // a lone lead byte followed by ASCII: the ASCII still folds
      {"\xD0K", "\xD0\xBA", false},
      {"\xD0\x9A\x9A", "\xD0\xBA\x9A", true},  // К then a stray continuation byte
      {"\xD0\x9A\x9A", "\xD0\xBA\xBA", false},
      {"\x9A", "\xBA", false},  // stray continuation bytes
      {"\x8A", "\x9A", false},
      {"\xE2\x84", "\xE2\x84", true},  // truncated three-byte form
      {"\xE2\x84K", "\xE2\x84k", true},
      {"\xE2\x84\xAA", "\xE2\x84\xAB", false},  // KELVIN SIGN against ANGSTROM SIGN
      {"\xFF\xFE", "\xFF\xFE", true},
      {"\xFF", "\xFE", false},
      {std::string("a\0B", 3), std::string("A\0b", 3), true},
      {std::string("a\0", 2), "a", false},
  };
  for (const Case& c : cases) ExpectEqual(c.a, c.b, PathStyle::kPosix, c.equal);
}

TEST(FileNamesTest, WindowsNamesFoldByteByByte) {
  ExpectEqual("Readme.TXT", "README.txt", PathStyle::kWindows, true);
  ExpectEqual("C:\\Dir\\x", "c:\\DIR\\X", PathStyle::kWindows, true);
  ExpectEqual("a", "b", PathStyle::kWindows, false);
  ExpectEqual("ab", "abc", PathStyle::kWindows, false);
  // ANSI names: K and KELVIN SIGN's bytes are different texts.
  ExpectEqual("k", "\xE2\x84\xAA", PathStyle::kWindows, false);
  EXPECT_EQ(FoldFileName("abc.Txt", PathStyle::kWindows), "ABC.TXT");
  EXPECT_EQ(FoldFileName("abc.Txt", PathStyle::kPosix), "abc.txt");
  EXPECT_EQ(FoldFileName("ΣΑΣ", PathStyle::kPosix), "σασ");
}

// The walk of FileNamesEqual against the folded texts, on random names made of ASCII letters,
// characters with and without foldings, and broken pieces of them.
TEST(FileNamesTest, EqualityAgreesWithFoldedTexts) {
  const std::string pieces[] = {
      "a",
      "A",
      "z",
      "Z",
      ".",
      "К",
      "к",
      "Њ",
      "њ",
      "Σ",
      "σ",
      "ς",
      "\xE2\x84\xAA",
      "k",
      "K",
      "ß",
      "ẞ",
      "𐐀",
      "𐐨",
      "\xD0",
      "\x9A",
      "\xBA",
      "\xE2\x84",
      "\xF0\x90",
      "\xC0",
      "\xED\xA0\x80",
      "\xF4\x90\x80\x80",
      "\xFF",
  };
  std::mt19937 random(12345);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1), length(0, 5);
  for (int round = 0; round < 20000; ++round) {
    std::string a, b;
    for (std::size_t n = length(random); n > 0; --n) a += pieces[pick(random)];
    for (std::size_t n = length(random); n > 0; --n) b += pieces[pick(random)];
    if (round % 3 == 0) b = a;  // often the same pieces, with cases swapped below
    if (round % 3 == 0 && !b.empty()) b[random() % b.size()] ^= 0x20;
    for (PathStyle style : {PathStyle::kPosix, PathStyle::kWindows}) {
      ASSERT_EQ(FileNamesEqual(a, b, style), FoldFileName(a, style) == FoldFileName(b, style))
          << a << " vs " << b;
    }
    // Folding twice changes nothing more.
    ASSERT_EQ(FoldFileName(FoldFileName(a, PathStyle::kPosix), PathStyle::kPosix),
              FoldFileName(a, PathStyle::kPosix));
  }
}

// The committed table against Unicode's own file, where the machine has it (package
// unicode-data): every simple folding, and nothing else.
TEST(FileNamesTest, TableGivesEverySimpleFolding) {
  std::ifstream data("/usr/share/unicode/CaseFolding.txt");
  if (!data) GTEST_SKIP() << "no /usr/share/unicode/CaseFolding.txt";
  std::string line;
  int checked = 0;
  char32_t previous = 0x7F;
  while (std::getline(data, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string code, status, target;
    std::getline(fields, code, ';');
    std::getline(fields >> std::ws, status, ';');
    std::getline(fields >> std::ws, target, ';');
    if (status != "C" && status != "S") continue;
    char32_t from = static_cast<char32_t>(std::stoul(code, nullptr, 16));
    char32_t to = static_cast<char32_t>(std::stoul(target, nullptr, 16));
    ASSERT_EQ(FoldFileName(Utf8(from), PathStyle::kPosix), Utf8(to)) << code;
    // Code points between two listed ones fold to themselves (spot checks of every gap).
    if (from > previous + 1) {
      char32_t between = previous + 1 + (from - previous - 1) / 2;
      if (between < 0xD800 || between > 0xDFFF) {
        ASSERT_EQ(FoldFileName(Utf8(between), PathStyle::kPosix), Utf8(between))
            << std::hex << static_cast<unsigned>(between);
      }
    }
    previous = from;
    ++checked;
  }
  EXPECT_GT(checked, 1400);
}

}  // namespace
}  // namespace tsl
