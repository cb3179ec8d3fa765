// Text-level operations of the code page, built on the per-byte ones of each platform.
#include "platform/code_page.h"

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

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToUpper(static_cast<unsigned char>(a[i])) != ToUpper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace tsl::cp
