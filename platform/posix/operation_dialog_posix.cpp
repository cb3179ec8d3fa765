// The operation choice on the terminal: the folders and the numbered options on standard error,
// the answer from standard input (a code, `s` to swap, Enter for OK, `c` to cancel).
#include <unistd.h>

#include <iostream>

#include "platform/operation_dialog.h"

namespace tsl {
namespace {

// "&Update && add" as the terminal shows it: "Update & add".
std::string Shown(const std::string& label) {
  std::string text;
  for (std::size_t i = 0; i < label.size(); ++i) {
    if (label[i] == '&' && i + 1 < label.size() && label[i + 1] == '&') {
      text += '&';
      ++i;
    } else if (label[i] != '&') {
      text += label[i];
    }
  }
  return text;
}

void ShowChoice(const std::vector<OperationOption>& options, const OperationChoice& choice) {
  std::cerr << "Synchronize Directories\n"
            << "  Source Directory: " << choice.source << "\n"
            << "  Target Directory: " << choice.target << "\n";
  for (const OperationOption& option : options) {
    std::cerr << (option.code == choice.code ? "* " : "  ") << option.code << "  "
              << Shown(option.label) << "\n";
  }
}

}  // namespace

DialogOutcome ShowOperationDialog(const std::vector<OperationOption>& options,
                                  OperationChoice* choice) {
  if (!::isatty(STDIN_FILENO) || !::isatty(STDERR_FILENO)) return DialogOutcome::kNotShown;
  for (;;) {
    ShowChoice(options, *choice);
    std::cerr << "Option number, s to swap, Enter for OK, c to cancel? ";
    std::string line;
    if (!std::getline(std::cin, line)) return DialogOutcome::kCancel;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    if (line.empty()) return DialogOutcome::kOk;
    if (line == "s" || line == "S") {
      std::swap(choice->source, choice->target);
    } else if (line == "c" || line == "C") {
      return DialogOutcome::kCancel;
    } else {
      for (const OperationOption& option : options) {
        if (line == std::to_string(option.code)) choice->code = option.code;
      }
    }
  }
}

}  // namespace tsl
