// Windows-1252 tables. They give what Windows' own functions give for that code page
// (CharUpperA, CharLowerA, IsCharAlphaA, IsCharAlphaNumericA, MultiByteToWideChar and
// WideCharToMultiByte with composite checking and no best-fit mapping); a test compares them
// with the real functions under Wine.
#include "platform/windows_1252.h"

namespace tsl::cp1252 {
namespace {

struct HighByte {
  char16_t unicode;
  unsigned char upper;
  unsigned char lower;
  unsigned char klass;  // 0 other, 1 letter, 2 digit-like (superscript digits)
};

struct Composite {
  char16_t base;
  char16_t mark;
  unsigned char byte;
};

// Bytes 128..255 of Windows-1252: the UTF-16 code unit, the upper- and lower-case bytes, and
// the character class (1 letter, 2 digit-like: letters and digits are alphanumeric).
constexpr HighByte kHighBytes[128] = {
    {0x20AC, 0x80, 0x80, 0},  // 80 euro sign
    {0x0081, 0x81, 0x81, 0},  // 81 <control>
    {0x201A, 0x82, 0x82, 0},  // 82 single low-9 quotation mark
    {0x0192, 0x83, 0x83, 1},  // 83 latin small letter f with hook
    {0x201E, 0x84, 0x84, 0},  // 84 double low-9 quotation mark
    {0x2026, 0x85, 0x85, 0},  // 85 horizontal ellipsis
    {0x2020, 0x86, 0x86, 0},  // 86 dagger
    {0x2021, 0x87, 0x87, 0},  // 87 double dagger
    {0x02C6, 0x88, 0x88, 1},  // 88 modifier letter circumflex accent
    {0x2030, 0x89, 0x89, 0},  // 89 per mille sign
    {0x0160, 0x8A, 0x9A, 1},  // 8A latin capital letter s with caron
    {0x2039, 0x8B, 0x8B, 0},  // 8B single left-pointing angle quotation mark
    {0x0152, 0x8C, 0x9C, 1},  // 8C latin capital ligature oe
    {0x008D, 0x8D, 0x8D, 0},  // 8D <control>
    {0x017D, 0x8E, 0x9E, 1},  // 8E latin capital letter z with caron
    {0x008F, 0x8F, 0x8F, 0},  // 8F <control>
    {0x0090, 0x90, 0x90, 0},  // 90 <control>
    {0x2018, 0x91, 0x91, 0},  // 91 left single quotation mark
    {0x2019, 0x92, 0x92, 0},  // 92 right single quotation mark
    {0x201C, 0x93, 0x93, 0},  // 93 left double quotation mark
    {0x201D, 0x94, 0x94, 0},  // 94 right double quotation mark
    {0x2022, 0x95, 0x95, 0},  // 95 bullet
    {0x2013, 0x96, 0x96, 0},  // 96 en dash
    {0x2014, 0x97, 0x97, 0},  // 97 em dash
    {0x02DC, 0x98, 0x98, 0},  // 98 small tilde
    {0x2122, 0x99, 0x99, 0},  // 99 trade mark sign
    {0x0161, 0x8A, 0x9A, 1},  // 9A latin small letter s with caron
    {0x203A, 0x9B, 0x9B, 0},  // 9B single right-pointing angle quotation mark
    {0x0153, 0x8C, 0x9C, 1},  // 9C latin small ligature oe
    {0x009D, 0x9D, 0x9D, 0},  // 9D <control>
    {0x017E, 0x8E, 0x9E, 1},  // 9E latin small letter z with caron
    {0x0178, 0x9F, 0xFF, 1},  // 9F latin capital letter y with diaeresis
    {0x00A0, 0xA0, 0xA0, 0},  // A0 no-break space
    {0x00A1, 0xA1, 0xA1, 0},  // A1 inverted exclamation mark
    {0x00A2, 0xA2, 0xA2, 0},  // A2 cent sign
    {0x00A3, 0xA3, 0xA3, 0},  // A3 pound sign
    {0x00A4, 0xA4, 0xA4, 0},  // A4 currency sign
    {0x00A5, 0xA5, 0xA5, 0},  // A5 yen sign
    {0x00A6, 0xA6, 0xA6, 0},  // A6 broken bar
    {0x00A7, 0xA7, 0xA7, 0},  // A7 section sign
    {0x00A8, 0xA8, 0xA8, 0},  // A8 diaeresis
    {0x00A9, 0xA9, 0xA9, 0},  // A9 copyright sign
    {0x00AA, 0xAA, 0xAA, 1},  // AA feminine ordinal indicator
    {0x00AB, 0xAB, 0xAB, 0},  // AB left-pointing double angle quotation mark
    {0x00AC, 0xAC, 0xAC, 0},  // AC not sign
    {0x00AD, 0xAD, 0xAD, 0},  // AD soft hyphen
    {0x00AE, 0xAE, 0xAE, 0},  // AE registered sign
    {0x00AF, 0xAF, 0xAF, 0},  // AF macron
    {0x00B0, 0xB0, 0xB0, 0},  // B0 degree sign
    {0x00B1, 0xB1, 0xB1, 0},  // B1 plus-minus sign
    {0x00B2, 0xB2, 0xB2, 2},  // B2 superscript two
    {0x00B3, 0xB3, 0xB3, 2},  // B3 superscript three
    {0x00B4, 0xB4, 0xB4, 0},  // B4 acute accent
    {0x00B5, 0xB5, 0xB5, 1},  // B5 micro sign
    {0x00B6, 0xB6, 0xB6, 0},  // B6 pilcrow sign
    {0x00B7, 0xB7, 0xB7, 0},  // B7 middle dot
    {0x00B8, 0xB8, 0xB8, 0},  // B8 cedilla
    {0x00B9, 0xB9, 0xB9, 2},  // B9 superscript one
    {0x00BA, 0xBA, 0xBA, 1},  // BA masculine ordinal indicator
    {0x00BB, 0xBB, 0xBB, 0},  // BB right-pointing double angle quotation mark
    {0x00BC, 0xBC, 0xBC, 0},  // BC vulgar fraction one quarter
    {0x00BD, 0xBD, 0xBD, 0},  // BD vulgar fraction one half
    {0x00BE, 0xBE, 0xBE, 0},  // BE vulgar fraction three quarters
    {0x00BF, 0xBF, 0xBF, 0},  // BF inverted question mark
    {0x00C0, 0xC0, 0xE0, 1},  // C0 latin capital letter a with grave
    {0x00C1, 0xC1, 0xE1, 1},  // C1 latin capital letter a with acute
    {0x00C2, 0xC2, 0xE2, 1},  // C2 latin capital letter a with circumflex
    {0x00C3, 0xC3, 0xE3, 1},  // C3 latin capital letter a with tilde
    {0x00C4, 0xC4, 0xE4, 1},  // C4 latin capital letter a with diaeresis
    {0x00C5, 0xC5, 0xE5, 1},  // C5 latin capital letter a with ring above
    {0x00C6, 0xC6, 0xE6, 1},  // C6 latin capital letter ae
    {0x00C7, 0xC7, 0xE7, 1},  // C7 latin capital letter c with cedilla
    {0x00C8, 0xC8, 0xE8, 1},  // C8 latin capital letter e with grave
    {0x00C9, 0xC9, 0xE9, 1},  // C9 latin capital letter e with acute
    {0x00CA, 0xCA, 0xEA, 1},  // CA latin capital letter e with circumflex
    {0x00CB, 0xCB, 0xEB, 1},  // CB latin capital letter e with diaeresis
    {0x00CC, 0xCC, 0xEC, 1},  // CC latin capital letter i with grave
    {0x00CD, 0xCD, 0xED, 1},  // CD latin capital letter i with acute
    {0x00CE, 0xCE, 0xEE, 1},  // CE latin capital letter i with circumflex
    {0x00CF, 0xCF, 0xEF, 1},  // CF latin capital letter i with diaeresis
    {0x00D0, 0xD0, 0xF0, 1},  // D0 latin capital letter eth
    {0x00D1, 0xD1, 0xF1, 1},  // D1 latin capital letter n with tilde
    {0x00D2, 0xD2, 0xF2, 1},  // D2 latin capital letter o with grave
    {0x00D3, 0xD3, 0xF3, 1},  // D3 latin capital letter o with acute
    {0x00D4, 0xD4, 0xF4, 1},  // D4 latin capital letter o with circumflex
    {0x00D5, 0xD5, 0xF5, 1},  // D5 latin capital letter o with tilde
    {0x00D6, 0xD6, 0xF6, 1},  // D6 latin capital letter o with diaeresis
    {0x00D7, 0xD7, 0xD7, 0},  // D7 multiplication sign
    {0x00D8, 0xD8, 0xF8, 1},  // D8 latin capital letter o with stroke
    {0x00D9, 0xD9, 0xF9, 1},  // D9 latin capital letter u with grave
    {0x00DA, 0xDA, 0xFA, 1},  // DA latin capital letter u with acute
    {0x00DB, 0xDB, 0xFB, 1},  // DB latin capital letter u with circumflex
    {0x00DC, 0xDC, 0xFC, 1},  // DC latin capital letter u with diaeresis
    {0x00DD, 0xDD, 0xFD, 1},  // DD latin capital letter y with acute
    {0x00DE, 0xDE, 0xFE, 1},  // DE latin capital letter thorn
    {0x00DF, 0xDF, 0xDF, 1},  // DF latin small letter sharp s
    {0x00E0, 0xC0, 0xE0, 1},  // E0 latin small letter a with grave
    {0x00E1, 0xC1, 0xE1, 1},  // E1 latin small letter a with acute
    {0x00E2, 0xC2, 0xE2, 1},  // E2 latin small letter a with circumflex
    {0x00E3, 0xC3, 0xE3, 1},  // E3 latin small letter a with tilde
    {0x00E4, 0xC4, 0xE4, 1},  // E4 latin small letter a with diaeresis
    {0x00E5, 0xC5, 0xE5, 1},  // E5 latin small letter a with ring above
    {0x00E6, 0xC6, 0xE6, 1},  // E6 latin small letter ae
    {0x00E7, 0xC7, 0xE7, 1},  // E7 latin small letter c with cedilla
    {0x00E8, 0xC8, 0xE8, 1},  // E8 latin small letter e with grave
    {0x00E9, 0xC9, 0xE9, 1},  // E9 latin small letter e with acute
    {0x00EA, 0xCA, 0xEA, 1},  // EA latin small letter e with circumflex
    {0x00EB, 0xCB, 0xEB, 1},  // EB latin small letter e with diaeresis
    {0x00EC, 0xCC, 0xEC, 1},  // EC latin small letter i with grave
    {0x00ED, 0xCD, 0xED, 1},  // ED latin small letter i with acute
    {0x00EE, 0xCE, 0xEE, 1},  // EE latin small letter i with circumflex
    {0x00EF, 0xCF, 0xEF, 1},  // EF latin small letter i with diaeresis
    {0x00F0, 0xD0, 0xF0, 1},  // F0 latin small letter eth
    {0x00F1, 0xD1, 0xF1, 1},  // F1 latin small letter n with tilde
    {0x00F2, 0xD2, 0xF2, 1},  // F2 latin small letter o with grave
    {0x00F3, 0xD3, 0xF3, 1},  // F3 latin small letter o with acute
    {0x00F4, 0xD4, 0xF4, 1},  // F4 latin small letter o with circumflex
    {0x00F5, 0xD5, 0xF5, 1},  // F5 latin small letter o with tilde
    {0x00F6, 0xD6, 0xF6, 1},  // F6 latin small letter o with diaeresis
    {0x00F7, 0xF7, 0xF7, 0},  // F7 division sign
    {0x00F8, 0xD8, 0xF8, 1},  // F8 latin small letter o with stroke
    {0x00F9, 0xD9, 0xF9, 1},  // F9 latin small letter u with grave
    {0x00FA, 0xDA, 0xFA, 1},  // FA latin small letter u with acute
    {0x00FB, 0xDB, 0xFB, 1},  // FB latin small letter u with circumflex
    {0x00FC, 0xDC, 0xFC, 1},  // FC latin small letter u with diaeresis
    {0x00FD, 0xDD, 0xFD, 1},  // FD latin small letter y with acute
    {0x00FE, 0xDE, 0xFE, 1},  // FE latin small letter thorn
    {0x00FF, 0x9F, 0xFF, 1},  // FF latin small letter y with diaeresis
};

// Letters of the code page that Unicode writes as a base letter and one combining mark.
constexpr Composite kComposites[] = {
    {0x0053, 0x030C, 0x8A},  // latin capital letter s with caron
    {0x005A, 0x030C, 0x8E},  // latin capital letter z with caron
    {0x0073, 0x030C, 0x9A},  // latin small letter s with caron
    {0x007A, 0x030C, 0x9E},  // latin small letter z with caron
    {0x0059, 0x0308, 0x9F},  // latin capital letter y with diaeresis
    {0x0041, 0x0300, 0xC0},  // latin capital letter a with grave
    {0x0041, 0x0301, 0xC1},  // latin capital letter a with acute
    {0x0041, 0x0302, 0xC2},  // latin capital letter a with circumflex
    {0x0041, 0x0303, 0xC3},  // latin capital letter a with tilde
    {0x0041, 0x0308, 0xC4},  // latin capital letter a with diaeresis
    {0x0041, 0x030A, 0xC5},  // latin capital letter a with ring above
    {0x0043, 0x0327, 0xC7},  // latin capital letter c with cedilla
    {0x0045, 0x0300, 0xC8},  // latin capital letter e with grave
    {0x0045, 0x0301, 0xC9},  // latin capital letter e with acute
    {0x0045, 0x0302, 0xCA},  // latin capital letter e with circumflex
    {0x0045, 0x0308, 0xCB},  // latin capital letter e with diaeresis
    {0x0049, 0x0300, 0xCC},  // latin capital letter i with grave
    {0x0049, 0x0301, 0xCD},  // latin capital letter i with acute
    {0x0049, 0x0302, 0xCE},  // latin capital letter i with circumflex
    {0x0049, 0x0308, 0xCF},  // latin capital letter i with diaeresis
    {0x004E, 0x0303, 0xD1},  // latin capital letter n with tilde
    {0x004F, 0x0300, 0xD2},  // latin capital letter o with grave
    {0x004F, 0x0301, 0xD3},  // latin capital letter o with acute
    {0x004F, 0x0302, 0xD4},  // latin capital letter o with circumflex
    {0x004F, 0x0303, 0xD5},  // latin capital letter o with tilde
    {0x004F, 0x0308, 0xD6},  // latin capital letter o with diaeresis
    {0x0055, 0x0300, 0xD9},  // latin capital letter u with grave
    {0x0055, 0x0301, 0xDA},  // latin capital letter u with acute
    {0x0055, 0x0302, 0xDB},  // latin capital letter u with circumflex
    {0x0055, 0x0308, 0xDC},  // latin capital letter u with diaeresis
    {0x0059, 0x0301, 0xDD},  // latin capital letter y with acute
    {0x0061, 0x0300, 0xE0},  // latin small letter a with grave
    {0x0061, 0x0301, 0xE1},  // latin small letter a with acute
    {0x0061, 0x0302, 0xE2},  // latin small letter a with circumflex
    {0x0061, 0x0303, 0xE3},  // latin small letter a with tilde
    {0x0061, 0x0308, 0xE4},  // latin small letter a with diaeresis
    {0x0061, 0x030A, 0xE5},  // latin small letter a with ring above
    {0x0063, 0x0327, 0xE7},  // latin small letter c with cedilla
    {0x0065, 0x0300, 0xE8},  // latin small letter e with grave
    {0x0065, 0x0301, 0xE9},  // latin small letter e with acute
    {0x0065, 0x0302, 0xEA},  // latin small letter e with circumflex
    {0x0065, 0x0308, 0xEB},  // latin small letter e with diaeresis
    {0x0069, 0x0300, 0xEC},  // latin small letter i with grave
    {0x0069, 0x0301, 0xED},  // latin small letter i with acute
    {0x0069, 0x0302, 0xEE},  // latin small letter i with circumflex
    {0x0069, 0x0308, 0xEF},  // latin small letter i with diaeresis
    {0x006E, 0x0303, 0xF1},  // latin small letter n with tilde
    {0x006F, 0x0300, 0xF2},  // latin small letter o with grave
    {0x006F, 0x0301, 0xF3},  // latin small letter o with acute
    {0x006F, 0x0302, 0xF4},  // latin small letter o with circumflex
    {0x006F, 0x0303, 0xF5},  // latin small letter o with tilde
    {0x006F, 0x0308, 0xF6},  // latin small letter o with diaeresis
    {0x0075, 0x0300, 0xF9},  // latin small letter u with grave
    {0x0075, 0x0301, 0xFA},  // latin small letter u with acute
    {0x0075, 0x0302, 0xFB},  // latin small letter u with circumflex
    {0x0075, 0x0308, 0xFC},  // latin small letter u with diaeresis
    {0x0079, 0x0301, 0xFD},  // latin small letter y with acute
    {0x0079, 0x0308, 0xFF},  // latin small letter y with diaeresis
};

constexpr unsigned char kMissing = 0x7F;

// The byte for a UTF-16 code unit, or kMissing.
unsigned char ByteFor(char16_t unit) {
  if (unit < 0x80) return static_cast<unsigned char>(unit);
  if (unit >= 0xA0 && unit <= 0xFF) return static_cast<unsigned char>(unit);
  for (int i = 0; i < 32; ++i) {
    if (kHighBytes[i].unicode == unit) return static_cast<unsigned char>(0x80 + i);
  }
  return kMissing;
}

// The code page's letter for a base letter followed by a combining mark, or 0.
unsigned char ComposedByte(char16_t base, char16_t mark) {
  for (const Composite& c : kComposites) {
    if (c.base == base && c.mark == mark) return c.byte;
  }
  return 0;
}

}  // namespace

unsigned char ToUpper(unsigned char c) {
  if (c < 0x80) return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
  return kHighBytes[c - 0x80].upper;
}

unsigned char ToLower(unsigned char c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
  return kHighBytes[c - 0x80].lower;
}

bool IsAlpha(unsigned char c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  return kHighBytes[c - 0x80].klass == 1;
}

bool IsAlphaNumeric(unsigned char c) {
  if (c < 0x80) return IsAlpha(c) || (c >= '0' && c <= '9');
  return kHighBytes[c - 0x80].klass != 0;
}

std::u16string ToUtf16(std::string_view ansi) {
  std::u16string result;
  result.reserve(ansi.size());
  for (char ch : ansi) {
    unsigned char c = static_cast<unsigned char>(ch);
    result.push_back(c < 0x80 ? char16_t{c} : kHighBytes[c - 0x80].unicode);
  }
  return result;
}

std::string FromUtf16(std::u16string_view utf16) {
  std::string result;
  result.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    if (i + 1 < utf16.size()) {
      if (unsigned char composed = ComposedByte(utf16[i], utf16[i + 1])) {
        result.push_back(static_cast<char>(composed));
        ++i;
        continue;
      }
    }
    result.push_back(static_cast<char>(ByteFor(utf16[i])));
  }
  return result;
}

}  // namespace tsl::cp1252
