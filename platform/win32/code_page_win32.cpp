// The system's ANSI code page through the Windows functions. The per-byte answers are read once
// into tables, because the pattern matcher and the masks ask for them per character.
#include <windows.h>

#include <array>

#include "platform/code_page.h"

namespace tsl::cp {
namespace {

struct Tables {
  std::array<unsigned char, 256> upper;
  std::array<unsigned char, 256> lower;
  std::array<bool, 256> alpha;
  std::array<bool, 256> alnum;

  Tables() {
    for (int b = 0; b < 256; ++b) {
      char u = static_cast<char>(b);
      char l = static_cast<char>(b);
      if (b >= 0x80) {
        CharUpperBuffA(&u, 1);
        CharLowerBuffA(&l, 1);
      } else {
        if (b >= 'a' && b <= 'z') u = static_cast<char>(b - 32);
        if (b >= 'A' && b <= 'Z') l = static_cast<char>(b + 32);
      }
      upper[b] = static_cast<unsigned char>(u);
      lower[b] = static_cast<unsigned char>(l);
      alpha[b] = b != 0 && IsCharAlphaA(static_cast<char>(b));
      alnum[b] = b != 0 && IsCharAlphaNumericA(static_cast<char>(b));
    }
  }
};

const Tables& SystemTables() {
  static const Tables tables;
  return tables;
}

}  // namespace

unsigned char ToUpper(unsigned char c) { return SystemTables().upper[c]; }
unsigned char ToLower(unsigned char c) { return SystemTables().lower[c]; }
bool IsAlpha(unsigned char c) { return SystemTables().alpha[c]; }
bool IsAlphaNumeric(unsigned char c) { return SystemTables().alnum[c]; }

std::u16string ToUtf16(std::string_view ansi) {
  if (ansi.empty()) return {};
  int size = static_cast<int>(ansi.size());
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  std::u16string result(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, reinterpret_cast<wchar_t*>(result.data()), n);
  return result;
}

std::string FromUtf16(std::u16string_view utf16) {
  if (utf16.empty()) return {};
  const DWORD flags = WC_COMPOSITECHECK | WC_NO_BEST_FIT_CHARS;
  const char kMissing = 0x7F;
  const wchar_t* source = reinterpret_cast<const wchar_t*>(utf16.data());
  int size = static_cast<int>(utf16.size());
  int n = WideCharToMultiByte(CP_ACP, flags, source, size, nullptr, 0, &kMissing, nullptr);
  std::string result(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, flags, source, size, result.data(), n, &kMissing, nullptr);
  return result;
}

}  // namespace tsl::cp
