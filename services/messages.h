// Message boxes and questions, with the caption "Tessaline" and owned by no window.
//
// When the environment variable TESSALINE_ANSWERS is set, questions are not shown: each takes
// the next answer from that `;`-separated list of button labels (without `&`, letter case
// ignored). When the list is used up, or an answer names no button of the question, the question
// gets the answer that closing its window gives. When TESSALINE_TRANSCRIPT names a file, every
// message box and question is appended to it as one line:
//   MessageBox: <text> -> <answer>
//   Question: <caption>: <text> -> <answer>
// with `\` written `\\`, LF `\n`, CR `\r` and tab `\t`.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace tsl {

inline constexpr const char* kProductName = "Tessaline";

enum class MessageButtons { kOk, kOkCancel, kYesNo, kYesNoCancel };
enum class Answer { kOk, kCancel, kYes, kNo };

/// A standard message box; waits for the answer.
Answer ShowMessage(const std::string& text, MessageButtons buttons = MessageButtons::kOk);

/// A question in a window of its own, with named buttons such as "&Yes", "Yes to &All",
/// "Cancel". Returns the index of the chosen button. `style` names the window that asks (see
/// platform/dialogs.h); whatever it is, the transcript line is "Question: <caption>: <text>".
int AskQuestion(const std::string& caption, const std::string& text,
                const std::vector<std::string>& buttons,
                DialogStyle style = DialogStyle::kQuestion);

/// The button that closing the window chooses: Cancel where there is one, else No, else OK,
/// else the last button.
int ClosingAnswer(const std::vector<std::string>& buttons);

/// A label without its `&` mnemonic mark.
std::string PlainLabel(const std::string& label);

/// For windows with answers of their own (not just buttons): true when answers are scripted,
/// and the next scripted answer (nothing when the list is used up).
bool AnswersAreScripted();
std::optional<std::string> NextScriptedAnswer();

/// Appends one line to the transcript, when there is one. `kind` is "MessageBox" or
/// "Question" (then `caption` is written after it).
void RecordTranscript(const std::string& kind, const std::string& caption,
                      const std::string& text, const std::string& answer);

/// Reads TESSALINE_ANSWERS and TESSALINE_TRANSCRIPT again (tests change them).
void ReloadMessageSettings();

}  // namespace tsl
