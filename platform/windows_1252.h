// Windows-1252, the ANSI code page of Western Windows systems, computed from tables. Linux uses
// it as the system code page; it is compiled on Windows too, so that it can be checked against
// the system's own functions there.
#pragma once

#include <string>
#include <string_view>

namespace tsl::cp1252 {

unsigned char ToUpper(unsigned char c);
unsigned char ToLower(unsigned char c);
bool IsAlpha(unsigned char c);
bool IsAlphaNumeric(unsigned char c);
std::u16string ToUtf16(std::string_view ansi);
/// Characters the code page lacks become 0x7F; a letter followed by a combining mark becomes
/// the code page's accented letter when it has one.
std::string FromUtf16(std::u16string_view utf16);

}  // namespace tsl::cp1252
