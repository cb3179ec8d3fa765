// Little-endian file layouts built by hand in tests, so that readers of binary formats are
// tested against the layout rather than against the program's own writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/code_page.h"

namespace tsl::testing {

struct LeBytes {
  std::string b;
  LeBytes& U16(std::uint32_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
    return *this;
  }
  LeBytes& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  /// The text and a zero byte.
  LeBytes& Z(const std::string& text) {
    b += text + '\0';
    return *this;
  }
  /// The text in UTF-16 and a zero unit.
  LeBytes& Z16(const std::string& text) {
    for (char16_t c : cp::ToUtf16(text)) U16(c);
    return U16(0);
  }
  LeBytes& PadTo(std::size_t size) {
    b.resize(size, '\0');
    return *this;
  }
};

}  // namespace tsl::testing
