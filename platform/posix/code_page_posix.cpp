// Linux has no ANSI code page of its own: Windows-1252 stands in for it.
#include "platform/code_page.h"
#include "platform/windows_1252.h"

namespace tsl::cp {

unsigned char ToUpper(unsigned char c) { return cp1252::ToUpper(c); }
unsigned char ToLower(unsigned char c) { return cp1252::ToLower(c); }
bool IsAlpha(unsigned char c) { return cp1252::IsAlpha(c); }
bool IsAlphaNumeric(unsigned char c) { return cp1252::IsAlphaNumeric(c); }
std::u16string ToUtf16(std::string_view ansi) { return cp1252::ToUtf16(ansi); }
std::string FromUtf16(std::u16string_view utf16) { return cp1252::FromUtf16(utf16); }

}  // namespace tsl::cp
