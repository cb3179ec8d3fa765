// Folding file names for comparisons that ignore letter case.
#include "platform/file_names.h"

#include "platform/code_page.h"

namespace tsl {

std::string FoldFileName(std::string_view name, PathStyle style) {
  std::string folded(name);
  if (style == PathStyle::kWindows) {
    for (char& c : folded) c = static_cast<char>(cp::ToUpper(static_cast<unsigned char>(c)));
    return folded;
  }
  // ASCII letters only, for now: UTF-8 characters compare exactly.
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

bool FileNamesEqual(std::string_view a, std::string_view b, PathStyle style) {
  return FoldFileName(a, style) == FoldFileName(b, style);
}

}  // namespace tsl
