#include "services/file_operation_prompts.h"

#include "services/messages.h"
#include "platform/code_page.h"
#include "platform/file_operation_dialogs.h"
#include "resources/string_table.h"

namespace tsl {
namespace {

constexpr const char* kReplaceCaption = "Replace Confirmation";

int ScriptedReplaceAnswer() {
  std::optional<std::string> answer = NextScriptedAnswer();
  if (!answer) return -1;
  const std::vector<std::string>& buttons = ReplaceButtons();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (cp::EqualsIgnoreCase(PlainLabel(buttons[i]), *answer)) return static_cast<int>(i);
  }
  return -1;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

}  // namespace

ReplaceAnswer AskReplace(const std::string& header, const std::string& existing_line,
                         const std::string& replacement_line) {
  int chosen = AnswersAreScripted()
                   ? ScriptedReplaceAnswer()
                   : ShowReplaceConfirmation(header, existing_line, replacement_line);
  const std::vector<std::string>& buttons = ReplaceButtons();
  if (chosen < 0 || chosen >= static_cast<int>(buttons.size())) chosen = ClosingAnswer(buttons);
  RecordTranscript("Question", kReplaceCaption,
                   header + "\n" + existing_line + "\n" + replacement_line,
                   PlainLabel(buttons[chosen]));
  return static_cast<ReplaceAnswer>(chosen);
}

void ShowErrorList(const std::vector<std::string>& lines) {
  std::string title = TableText(text_id::kFileOperationsErrors);
  if (AnswersAreScripted()) {
    NextScriptedAnswer();
  } else {
    ShowFileOperationErrors(title, lines);
  }
  RecordTranscript("Question", title, Joined(lines), "OK");
}

}  // namespace tsl
