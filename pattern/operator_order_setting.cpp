// The operator order of the pattern language, as the program's settings choose it: "UNIX
// RegExp" in section "Flags", 0 (the default) for operators in front of what they repeat.
#include "pattern/search_pattern.h"

namespace tsl {

OperatorOrder ConfiguredOperatorOrder() {
  // UNFINISHED: the settings service (app/settings.h) has no implementation in this build yet.
  // Once it has, this becomes:
  //   ReadSettingInt("Flags", "UNIX RegExp", 0) != 0 ? kPostfix : kPrefix
  return OperatorOrder::kPrefix;
}

SearchPattern SearchPattern::WithConfiguredOrder(std::string_view search,
                                                 std::optional<std::string_view> replace,
                                                 PatternSyntax syntax) {
  return SearchPattern(search, replace, syntax, ConfiguredOperatorOrder());
}

}  // namespace tsl
