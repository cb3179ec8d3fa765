// The operator order of the pattern language, as the program's settings choose it: "UNIX
// RegExp" in section "Flags", 0 (the default) for operators in front of what they repeat.
#include "app/settings.h"
#include "pattern/search_pattern.h"

namespace tsl {

OperatorOrder ConfiguredOperatorOrder() {
  return ReadSettingInt("Flags", "UNIX RegExp", 0) != 0 ? OperatorOrder::kPostfix
                                                        : OperatorOrder::kPrefix;
}

SearchPattern SearchPattern::WithConfiguredOrder(std::string_view search,
                                                 std::optional<std::string_view> replace,
                                                 PatternSyntax syntax) {
  return SearchPattern(search, replace, syntax, ConfiguredOperatorOrder());
}

}  // namespace tsl
