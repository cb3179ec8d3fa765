// The system's own way of showing a message or a question: Windows windows, or on Linux the
// terminal. Scripted answers and the transcript are handled above this layer (services/messages.h).
#pragma once

#include <string>
#include <vector>

namespace tsl {

enum class DialogStyle {
  kMessageBox,  // a standard message box: OK, OK/Cancel, Yes/No or Yes/No/Cancel
  kQuestion,    // a window of its own with named buttons
};

/// Shows `text` with the buttons (labels may carry `&` before their mnemonic letter) and waits
/// for the user. Returns the index of the button chosen, or -1 when nothing could be shown or
/// the window was closed (no display, no terminal): the caller then applies the closing answer.
int SystemAsk(DialogStyle style, const std::string& caption, const std::string& text,
              const std::vector<std::string>& buttons);

}  // namespace tsl
