// The system's ANSI code page: case mapping, character classes and conversion to and from
// UTF-16. Windows uses the real code page of the system; Linux uses Windows-1252 tables that give
// exactly what Windows gives for that code page.
#pragma once

#include <string>
#include <string_view>

namespace tsl::cp {

/// Upper-cases one byte: ASCII letters by ASCII rules, bytes of 128 and above by the code page.
unsigned char ToUpper(unsigned char c);
/// Lower-cases one byte by the same rules.
unsigned char ToLower(unsigned char c);

/// Upper-/lower-cases every byte of a text.
std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);
void ToUpperInPlace(std::string& text);

/// True when the byte is a letter of the code page (ASCII or not).
bool IsAlpha(unsigned char c);
/// True when the byte is a letter or a digit of the code page.
bool IsAlphaNumeric(unsigned char c);

/// ANSI to UTF-16 (little-endian code units).
std::u16string ToUtf16(std::string_view ansi);
/// UTF-16 to ANSI; characters the code page lacks become 0x7F.
std::string FromUtf16(std::u16string_view utf16);

/// ANSI to UTF-8, and UTF-8 to ANSI (a malformed sequence counts as one unknown character).
std::string ToUtf8(std::string_view ansi);
std::string FromUtf8(std::string_view utf8);

/// Appends one code point (up to U+10FFFF) in UTF-8.
void AppendUtf8(char32_t code_point, std::string* out);

/// Equality ignoring letter case, both sides upper-cased as above.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
/// Whether `text` begins, or ends, with `part`, letter case ignored as above.
bool StartsWithIgnoreCase(std::string_view text, std::string_view part);
bool EndsWithIgnoreCase(std::string_view text, std::string_view part);
/// Order ignoring letter case, both sides upper-cased as above, byte by byte (a text before any
/// longer one it begins): -1, 0 or 1.
int CompareIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tsl::cp
