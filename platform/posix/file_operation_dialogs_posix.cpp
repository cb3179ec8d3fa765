// The windows of file operations on the terminal: the replace confirmation is a question with
// the buttons' mnemonic letters (see dialogs_posix.cpp); the error list is printed.
#include <iostream>

#include "platform/dialogs.h"
#include "platform/file_operation_dialogs.h"
#include "platform/progress_display.h"

namespace tsl {

int ShowReplaceConfirmation(const std::string& header, const std::string& existing_line,
                            const std::string& replacement_line) {
  return SystemAsk(DialogStyle::kQuestion, "Replace Confirmation",
                   header + "\n" + existing_line + "\n" + replacement_line, ReplaceButtons());
}

void ShowFileOperationErrors(const std::string& title, const std::vector<std::string>& lines) {
  EndProgressLineForMessage();
  std::cerr << title << ":\n";
  for (const std::string& line : lines) std::cerr << "  " << line << "\n";
}

}  // namespace tsl
