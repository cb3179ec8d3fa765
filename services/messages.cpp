#include "services/messages.h"

#include <deque>

#include "platform/code_page.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "platform/file_system.h"

namespace tsl {
namespace {

struct MessageSettings {
  bool loaded = false;
  bool scripted = false;
  std::deque<std::string> answers;
  std::string transcript;
};

std::string Trimmed(const std::string& text) {
  std::string::size_type first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  std::string::size_type last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

MessageSettings& Settings() {
  static MessageSettings settings;
  if (!settings.loaded) {
    settings = MessageSettings{};
    settings.loaded = true;
    if (std::optional<std::string> answers = GetEnvironmentValue("TESSALINE_ANSWERS")) {
      settings.scripted = true;
      std::string::size_type start = 0;
      while (start <= answers->size() && !answers->empty()) {
        std::string::size_type end = answers->find(';', start);
        if (end == std::string::npos) end = answers->size();
        settings.answers.push_back(Trimmed(answers->substr(start, end - start)));
        start = end + 1;
      }
    }
    settings.transcript = GetEnvironmentValue("TESSALINE_TRANSCRIPT").value_or("");
  }
  return settings;
}

std::string EscapedForTranscript(const std::string& text) {
  std::string result;
  for (char c : text) {
    switch (c) {
      case '\\': result += "\\\\"; break;
      case '\n': result += "\\n"; break;
      case '\r': result += "\\r"; break;
      case '\t': result += "\\t"; break;
      default: result += c;
    }
  }
  return result;
}

int IndexOfLabel(const std::vector<std::string>& buttons, const std::string& plain) {
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (cp::EqualsIgnoreCase(PlainLabel(buttons[i]), plain)) return static_cast<int>(i);
  }
  return -1;
}

// Asks in the way in force (scripted or the system's), records the answer (as a question, with
// its caption, or as a message box), returns its index.
int Present(DialogStyle style, const std::string& caption, const std::string& text,
            const std::vector<std::string>& buttons, bool question) {
  int closing = ClosingAnswer(buttons);
  int chosen = -1;
  if (AnswersAreScripted()) {
    if (std::optional<std::string> answer = NextScriptedAnswer()) {
      chosen = IndexOfLabel(buttons, *answer);
    }
  } else {
    chosen = SystemAsk(style, caption, text, buttons);
  }
  if (chosen < 0 || chosen >= static_cast<int>(buttons.size())) chosen = closing;
  if (!question) {
    RecordTranscript("MessageBox", "", text, PlainLabel(buttons[chosen]));
  } else {
    RecordTranscript("Question", caption, text, PlainLabel(buttons[chosen]));
  }
  return chosen;
}

}  // namespace

std::string PlainLabel(const std::string& label) {
  std::string plain;
  for (char c : label) {
    if (c != '&') plain += c;
  }
  return plain;
}

int ClosingAnswer(const std::vector<std::string>& buttons) {
  for (const char* label : {"Cancel", "No", "OK"}) {
    int index = IndexOfLabel(buttons, label);
    if (index >= 0) return index;
  }
  return buttons.empty() ? 0 : static_cast<int>(buttons.size()) - 1;
}

Answer ShowMessage(const std::string& text, MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::kOk:
      Present(DialogStyle::kMessageBox, kProductName, text, {"OK"}, false);
      return Answer::kOk;
    case MessageButtons::kOkCancel:
      return Present(DialogStyle::kMessageBox, kProductName, text, {"OK", "Cancel"}, false) == 0
                 ? Answer::kOk
                 : Answer::kCancel;
    case MessageButtons::kYesNo:
      return Present(DialogStyle::kMessageBox, kProductName, text, {"&Yes", "&No"}, false) == 0
                 ? Answer::kYes
                 : Answer::kNo;
    case MessageButtons::kYesNoCancel: {
      int chosen = Present(DialogStyle::kMessageBox, kProductName, text,
                           {"&Yes", "&No", "Cancel"}, false);
      return chosen == 0 ? Answer::kYes : chosen == 1 ? Answer::kNo : Answer::kCancel;
    }
  }
  return Answer::kCancel;
}

int AskQuestion(const std::string& caption, const std::string& text,
                const std::vector<std::string>& buttons, DialogStyle style) {
  return Present(style, caption, text, buttons, /*question=*/true);
}

bool AnswersAreScripted() { return Settings().scripted; }

std::optional<std::string> NextScriptedAnswer() {
  MessageSettings& settings = Settings();
  if (settings.answers.empty()) return std::nullopt;
  std::string answer = settings.answers.front();
  settings.answers.pop_front();
  return answer;
}

void RecordTranscript(const std::string& kind, const std::string& caption,
                      const std::string& text, const std::string& answer) {
  const std::string& path = Settings().transcript;
  if (path.empty()) return;
  std::string line = kind + ": ";
  if (!caption.empty()) line += caption + ": ";
  line += EscapedForTranscript(text) + " -> " + answer + "\n";
  // The transcript is the tests' record of what the user saw: it bypasses any test file service.
  std::unique_ptr<WritableFile> file;
  if (RealFileSystem().OpenForWriting(path, WriteMode::kAppend, &file).ok()) {
    file->Write(line.data(), line.size());
    file->Close();
  }
}

void ReloadMessageSettings() { Settings().loaded = false; }

}  // namespace tsl
