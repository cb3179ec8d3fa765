// Text-level operations of the code page, built on the per-byte ones of each platform.
#include "platform/code_page.h"

#include <algorithm>

namespace tsl::cp {

std::string ToUpper(std::string_view text) {
  std::string result(text);
  ToUpperInPlace(result);
  return result;
}

std::string ToLower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(ToLower(static_cast<unsigned char>(c)));
  return result;
}

void ToUpperInPlace(std::string& text) {
  for (char& c : text) c = static_cast<char>(ToUpper(static_cast<unsigned char>(c)));
}

int CompareIgnoringCase(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = ToUpper(static_cast<unsigned char>(a[i]));
    unsigned char y = ToUpper(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToUpper(static_cast<unsigned char>(a[i])) != ToUpper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view part) {
  return text.size() >= part.size() && EqualsIgnoreCase(text.substr(0, part.size()), part);
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view part) {
  return text.size() >= part.size() &&
         EqualsIgnoreCase(text.substr(text.size() - part.size()), part);
}

std::string ToUtf8(std::string_view ansi) {
  std::string out;
  std::u16string wide = ToUtf16(ansi);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
    }
    AppendUtf8(c, &out);
  }
  return out;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-8 to ANSI; a malformed sequence counts as one unknown character.
std::string FromUtf8(std::string_view utf8) {
  std::u16string wide;
  for (std::size_t i = 0; i < utf8.size();) {
    auto byte = static_cast<unsigned char>(utf8[i]);
    int extra = byte < 0x80 ? 0 : byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : -1;
    char32_t c = extra == 0 ? byte : extra == 1 ? byte & 0x1F : extra == 2 ? byte & 0x0F : byte & 7;
    bool ok = extra >= 0 && i + extra < utf8.size();
    for (int k = 1; ok && k <= extra; ++k) {
      auto next = static_cast<unsigned char>(utf8[i + k]);
      ok = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!ok || c > 0x10FFFF) {
      wide += u'\uFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      wide += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      wide += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      wide += static_cast<char16_t>(c);
    }
    i += extra + 1;
  }
  return FromUtf16(wide);
}

}  // namespace tsl::cp
