#include "services/replace_confirmation.h"

#include "services/messages.h"

namespace tsl {

const std::vector<std::string>& ReplaceConfirmationButtons() {
  static const std::vector<std::string> buttons = {
      "&Replace This",      "S&kip This",         "Repl. Re&st In File",  "Skip Rest of &File",
      "Repl. Rest In &Dir", "Skip Res&t in Dir.", "Repl. &All Remaining", "&Cancel Remaining"};
  return buttons;
}

ReplaceAnswer AskReplaceConfirmation(const std::string& path, const std::string& shown) {
  int answer = AskQuestion("Replace - " + path, shown, ReplaceConfirmationButtons(),
                           DialogStyle::kReplaceConfirmation);
  if (answer < kReplaceThis || answer > kCancelRemaining) return kCancelRemaining;
  return static_cast<ReplaceAnswer>(answer);
}

}  // namespace tsl
