// The "Synchronize Directories" window: the source and target folders, a Swap button, seven
// operation options, OK and Cancel. Windows shows the dialog from the program's resources;
// Linux lists the folders and the options on the terminal and reads the choice.
#pragma once

#include <string>
#include <vector>

namespace tsl {

struct OperationOption {
  std::string label;  // with `&` before the mnemonic letter and `&&` for one `&`
  int code;
};

struct OperationChoice {
  std::string source;
  std::string target;
  int code = -1;  // the option chosen (or preselected); -1 for none
};

enum class DialogOutcome { kOk, kCancel, kNotShown };

/// Shows the window with `choice` preselected; on OK, `choice` holds the folders as shown (after
/// any swaps) and the option chosen. kNotShown when no window or terminal is available.
DialogOutcome ShowOperationDialog(const std::vector<OperationOption>& options,
                                  OperationChoice* choice);

}  // namespace tsl
