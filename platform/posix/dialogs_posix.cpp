// Messages and questions on the terminal: texts go to standard error; a question waits for an
// answer only when standard input and standard error are terminals.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "platform/code_page.h"
#include "platform/dialogs.h"
#include "platform/progress_display.h"

namespace tsl {
namespace {

std::string WithoutMnemonic(const std::string& label) {
  std::string plain;
  for (char c : label) {
    if (c != '&') plain += c;
  }
  return plain;
}

// "&Yes" is shown as "[Y]es"; a label without a mnemonic as it is.
std::string ShownLabel(const std::string& label) {
  std::string::size_type amp = label.find('&');
  if (amp == std::string::npos || amp + 1 >= label.size()) return WithoutMnemonic(label);
  return WithoutMnemonic(label.substr(0, amp)) + "[" + label[amp + 1] + "]" +
         WithoutMnemonic(label.substr(amp + 2));
}

char Mnemonic(const std::string& label) {
  std::string::size_type amp = label.find('&');
  if (amp == std::string::npos || amp + 1 >= label.size()) return 0;
  return static_cast<char>(cp::ToUpper(static_cast<unsigned char>(label[amp + 1])));
}

// The button an answer names: its mnemonic letter or its whole label, ignoring case.
int ButtonFor(const std::string& answer, const std::vector<std::string>& buttons) {
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (cp::EqualsIgnoreCase(answer, WithoutMnemonic(buttons[i]))) return static_cast<int>(i);
  }
  if (answer.size() == 1) {
    char letter = static_cast<char>(cp::ToUpper(static_cast<unsigned char>(answer[0])));
    for (std::size_t i = 0; i < buttons.size(); ++i) {
      if (Mnemonic(buttons[i]) == letter) return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace

int SystemAsk(DialogStyle style, const std::string& caption, const std::string& text,
              const std::vector<std::string>& buttons) {
  (void)style;  // the terminal asks every kind alike, the file replacement's windows too
  EndProgressLineForMessage();
  std::cerr << caption << ": " << text << "\n";
  if (buttons.size() == 1) return 0;  // a message, not a question: nothing to wait for
  bool interactive = ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO);
  if (!interactive) return -1;
  for (;;) {
    std::string prompt;
    for (const std::string& b : buttons) prompt += (prompt.empty() ? "" : "  ") + ShownLabel(b);
    std::cerr << prompt << "? ";
    std::string line;
    if (!std::getline(std::cin, line)) return -1;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    while (!line.empty() && line.front() == ' ') line.erase(0, 1);
    int chosen = ButtonFor(line, buttons);
    if (chosen >= 0) return chosen;
  }
}

}  // namespace tsl
