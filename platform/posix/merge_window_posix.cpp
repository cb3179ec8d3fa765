// The merge window on the terminal: the numbered list on standard error, the answers from
// standard input; shown only when both are terminals.
#include <unistd.h>

#include <iostream>

#include "platform/merge_window.h"
#include "platform/progress_display.h"

namespace tsl {

MergeOutcome ShowMergeWindow(const std::string& reg_file, MergeList* list,
                             const MergeAnswerRecorder& record) {
  if (!::isatty(STDIN_FILENO) || !::isatty(STDERR_FILENO)) return MergeOutcome::kNotShown;
  EndProgressLineForMessage();
  return ConverseMerge(reg_file, list, std::cin, std::cerr, record);
}

}  // namespace tsl
