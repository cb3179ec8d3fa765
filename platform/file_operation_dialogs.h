// The windows of a batch of file operations: "Replace Confirmation", which asks before an
// existing file is overwritten, and the list of the operations that failed. Windows shows the
// dialogs of the program's resources; Linux writes the same texts on the terminal and reads the
// answer there. Scripted answers and the transcript are handled above this layer.
#pragma once

#include <string>
#include <vector>

namespace tsl {

/// The buttons of the replace confirmation, in the order of the answers' indexes.
inline const std::vector<std::string>& ReplaceButtons() {
  static const std::vector<std::string> buttons = {"&Yes", "Yes to &All", "&No", "N&o to All",
                                                   "Cancel"};
  return buttons;
}

/// Shows the replace confirmation: the header text, the line of the existing file and the line
/// of the file that would replace it. Returns the index of the button chosen (ReplaceButtons),
/// or -1 when no window could be shown or it was closed.
int ShowReplaceConfirmation(const std::string& header, const std::string& existing_line,
                            const std::string& replacement_line);

/// Shows the failed operations' lines under `title` and waits for OK (Windows); on Linux the
/// lines are written on standard error and nothing waits.
void ShowFileOperationErrors(const std::string& title, const std::vector<std::string>& lines);

}  // namespace tsl
