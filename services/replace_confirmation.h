// The Replace Confirmation window shared by the file replace and shortcut jobs: the file's path,
// the line to change, and eight answers. The question goes through AskQuestion, so scripted
// answers and the transcript apply ("Question: Replace - <path>: <line> -> <answer>").
#pragma once

#include <string>
#include <vector>

namespace tsl {

/// The answers, in the order of the window's buttons.
enum ReplaceAnswer {
  kReplaceThis,
  kSkipThis,
  kReplaceRestInFile,
  kSkipRestOfFile,
  kReplaceRestInFolder,
  kSkipRestInFolder,
  kReplaceAllRemaining,
  kCancelRemaining,
};

const std::vector<std::string>& ReplaceConfirmationButtons();

/// Asks about one change of `path`; `shown` is the plain text of the window's list.
ReplaceAnswer AskReplaceConfirmation(const std::string& path, const std::string& shown);

}  // namespace tsl
