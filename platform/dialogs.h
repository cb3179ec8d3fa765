// The system's own way of showing a message or a question: Windows windows, or on Linux the
// terminal. Scripted answers and the transcript are handled above this layer (services/messages.h).
#pragma once

#include <string>
#include <vector>

namespace tsl {

enum class DialogStyle {
  kMessageBox,  // a standard message box: OK, OK/Cancel, Yes/No or Yes/No/Cancel
  kQuestion,    // a window of its own with named buttons
  // The question asked before one occurrence is replaced. `caption` is "Replace - " followed
  // by the file's path, `text` the occurrence's result line; the window shows the line in a
  // list and the path (the caption after "Replace - ") below it. Eight buttons: Replace This,
  // Skip This, Repl. Rest In File, Skip Rest of File, Repl. Rest In Dir, Skip Rest in Dir.,
  // Repl. All Remaining, Cancel Remaining (the last is also what closing the window gives).
  kReplaceConfirmation,
  // A question about one file that is to be replaced ("Confirmation Required"): `text` is the
  // question, up to three lines split by `\n`. Four buttons: Yes, Yes to All, No, Cancel (the
  // last is also what closing the window gives).
  kConfirmationRequired,
  // The question asked before one registry item (a key name, a value name or a value's data) is
  // replaced. `caption` is "Replace - " followed by the key's path; `text` is three lines: what
  // is replaced ("Key name", "Value name" or "Data of value <name>"), "Old: " with the old text
  // and "New: " with the new text. Four buttons: Replace This, Replace Rest, Skip This, Cancel
  // Rest (the last is also what closing the window gives).
  kRegistryReplace,
};

/// Shows `text` with the buttons (labels may carry `&` before their mnemonic letter) and waits
/// for the user. Returns the index of the button chosen, or -1 when nothing could be shown or
/// the window was closed (no display, no terminal): the caller then applies the closing answer.
/// On Windows the two windows of the file replacement come from the program's resources, with
/// the labels of `buttons` on their buttons; when `buttons` has not the number of buttons the
/// window has, the question gets a window of its own as for kQuestion. The terminal asks every
/// style alike.
int SystemAsk(DialogStyle style, const std::string& caption, const std::string& text,
              const std::vector<std::string>& buttons);

}  // namespace tsl
