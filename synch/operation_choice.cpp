#include "synch/operation_choice.h"

#include "services/messages.h"
#include "platform/code_page.h"
#include "platform/operation_dialog.h"

namespace tsl {
namespace {

constexpr const char* kCaption = "Synchronize Directories";

const std::vector<OperationOption>& Options() {
  static const std::vector<OperationOption> options = {
      {"S&ynchronize Both (update && add new files both directions)", 0},
      {"&Augment Target (add only new files to destination)", 1},
      {"&Refresh Target (update only existing files in target)", 2},
      {"&Update Target (update && add new files to target)", 3},
      {"Update && &Prune Target (update, add new && remove orphans from target)", 4},
      {"Remove &Duplicates from Target (remove identical files found on target)", 5},
      {"Recreate Directory Structure Only (create directories on target)", 7},
  };
  return options;
}

std::string DialogText(const OperationChoice& choice) {
  return "Source Directory: " + choice.source + "\nTarget Directory: " + choice.target +
         "\nPreselected: " + std::to_string(choice.code);
}

bool IsListedCode(const std::string& answer, int* code) {
  for (const OperationOption& option : Options()) {
    if (answer == std::to_string(option.code)) {
      *code = option.code;
      return true;
    }
  }
  return false;
}

DialogOutcome AskScripted(OperationChoice* choice) {
  for (;;) {
    std::string answer = NextScriptedAnswer().value_or("");
    std::string text = DialogText(*choice);
    int code = -1;
    if (cp::EqualsIgnoreCase(answer, "Swap")) {
      RecordTranscript("Question", kCaption, text, "Swap");
      std::swap(choice->source, choice->target);
      continue;
    }
    if (IsListedCode(answer, &code)) {
      RecordTranscript("Question", kCaption, text, answer);
      choice->code = code;
      return DialogOutcome::kOk;
    }
    if (cp::EqualsIgnoreCase(answer, "OK")) {
      RecordTranscript("Question", kCaption, text, "OK");
      return DialogOutcome::kOk;
    }
    RecordTranscript("Question", kCaption, text, "Cancel");
    return DialogOutcome::kCancel;
  }
}

}  // namespace

int PreselectedOperation(int code) {
  if (code <= -2 && code >= -7) return -(code + 2);
  if (code == -9) return 7;
  return -1;
}

bool AskOperation(SynchSettings* settings) {
  OperationChoice choice{settings->source_folder, settings->target_folder,
                         PreselectedOperation(settings->operation)};
  DialogOutcome outcome;
  if (AnswersAreScripted()) {
    outcome = AskScripted(&choice);
  } else {
    std::string text = DialogText(choice);
    outcome = ShowOperationDialog(Options(), &choice);
    RecordTranscript("Question", kCaption, text,
                     outcome == DialogOutcome::kOk ? std::to_string(choice.code) : "Cancel");
  }
  if (outcome != DialogOutcome::kOk) return false;
  settings->operation = choice.code;
  settings->source_folder = choice.source;
  settings->target_folder = choice.target;
  return true;
}

}  // namespace tsl
