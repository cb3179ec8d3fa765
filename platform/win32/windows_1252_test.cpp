// Checks the Windows-1252 tables that Linux uses against the system's own functions.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/windows_1252.h"

namespace tsl::cp1252 {
namespace {

class Windows1252Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (GetACP() != 1252) GTEST_SKIP() << "the system code page is " << GetACP() << ", not 1252";
  }
};

TEST_F(Windows1252Test, EveryByteAgreesWithTheSystem) {
  for (int b = 1; b < 256; ++b) {
    char upper = static_cast<char>(b);
    char lower = static_cast<char>(b);
    CharUpperBuffA(&upper, 1);
    CharLowerBuffA(&lower, 1);
    unsigned char c = static_cast<unsigned char>(b);
    EXPECT_EQ(ToUpper(c), static_cast<unsigned char>(upper)) << "byte " << b;
    EXPECT_EQ(ToLower(c), static_cast<unsigned char>(lower)) << "byte " << b;
    EXPECT_EQ(IsAlpha(c), IsCharAlphaA(static_cast<char>(b)) != 0) << "byte " << b;
    EXPECT_EQ(IsAlphaNumeric(c), IsCharAlphaNumericA(static_cast<char>(b)) != 0) << "byte " << b;
    char byte = static_cast<char>(b);
    wchar_t unit = 0;
    MultiByteToWideChar(CP_ACP, 0, &byte, 1, &unit, 1);
    EXPECT_EQ(ToUtf16(std::string(1, byte)), std::u16string(1, static_cast<char16_t>(unit)))
        << "byte " << b;
  }
}

std::string SystemFromUtf16(const std::u16string& text) {
  const char missing = 0x7F;
  const wchar_t* source = reinterpret_cast<const wchar_t*>(text.data());
  int size = static_cast<int>(text.size());
  DWORD flags = WC_COMPOSITECHECK | WC_NO_BEST_FIT_CHARS;
  std::string out(static_cast<std::size_t>(size) * 2 + 4, '\0');
  int n = WideCharToMultiByte(CP_ACP, flags, source, size, out.data(),
                              static_cast<int>(out.size()), &missing, nullptr);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

TEST_F(Windows1252Test, EveryUtf16UnitAgreesWithTheSystem) {
  int differences = 0;
  for (int unit = 1; unit < 0x10000 && differences < 10; ++unit) {
    std::u16string text(1, static_cast<char16_t>(unit));
    std::string expected = SystemFromUtf16(text);
    if (FromUtf16(text) != expected) {
      ++differences;
      ADD_FAILURE() << "UTF-16 unit " << std::hex << unit;
    }
  }
}

TEST_F(Windows1252Test, LettersWithCombiningMarksAgreeWithTheSystem) {
  const char16_t marks[] = {0x0300, 0x0301, 0x0302, 0x0303, 0x0304, 0x0308,
                            0x030A, 0x030C, 0x0327, 0x0328};
  for (char16_t base = 'A'; base <= 'z'; ++base) {
    for (char16_t mark : marks) {
      std::u16string text{base, mark, u'!'};
      EXPECT_EQ(FromUtf16(text), SystemFromUtf16(text))
          << "letter " << char(base) << " mark " << std::hex << int(mark);
    }
  }
}

}  // namespace
}  // namespace tsl::cp1252
