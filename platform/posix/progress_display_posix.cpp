// The progress display on Linux: one line on standard error when that is a terminal (nothing
// otherwise), and Ctrl-C as the Cancel button.
//
// Ctrl-C: while a display is open, SIGINT only sets a flag (installed with SA_RESETHAND, so that
// the next Ctrl-C has the default effect and ends the process); the pump, called by every update
// of the window, turns the flag into a cancel request.
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "platform/progress_display.h"
#include "platform/terminal_progress.h"

namespace tsl {
namespace {

volatile sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

constexpr int kDefaultWidth = 80;

// The line being drawn on the terminal, so that messages can end it first.
TerminalProgressLine* g_current_line = nullptr;

void WriteToTerminal(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

int TerminalWidth() {
  struct winsize size {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultWidth;
}

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class PosixProgressDisplay : public ProgressDisplay {
 public:
  explicit PosixProgressDisplay(const ProgressDisplaySetup& setup)
      : on_terminal_(::isatty(STDERR_FILENO) == 1),
        searching_(setup.kind == ProgressDisplayKind::kSearching),
        line_(WriteToTerminal, NowMs, searching_ ? 0 : kBarRange, TerminalWidth()) {
    InstallInterruptHandler();
    SetText(setup.text);
    if (on_terminal_) {
      previous_line_ = g_current_line;
      g_current_line = &line_;
      line_.Update();
    }
  }

  ~PosixProgressDisplay() override { Close(); }

  void SetBar(std::int64_t value) override {
    if (!searching_) line_.SetBar(value);
  }
  // The "Searching" window's line: "Searching... " and the status, without a bar.
  void SetText(const std::string& text) override {
    line_.SetText(searching_ ? "Searching... " + text : text);
  }

  bool Pump() override {
    if (closed_) return false;
    if (on_terminal_) {
      line_.set_width(TerminalWidth());
      line_.Update();
    }
    if (!g_interrupted) return false;
    g_interrupted = 0;
    return true;
  }

  void RefuseCancel() override {
    const char* message = "This job cannot be cancelled. Press Ctrl-C again to end Tessaline.";
    if (on_terminal_) {
      line_.Say(message);
    } else {
      WriteToTerminal(std::string(message) + "\n");
    }
  }

  void Close() override {
    if (closed_) return;
    closed_ = true;
    if (on_terminal_) {
      line_.Finish();
      g_current_line = previous_line_;
    }
    if (handler_installed_) sigaction(SIGINT, &previous_action_, nullptr);
  }

  static void BreakCurrentLine() {
    if (g_current_line) g_current_line->BreakLine();
  }

 private:
  void InstallInterruptHandler() {
    struct sigaction current {};
    sigaction(SIGINT, nullptr, &current);
    if (current.sa_handler == SIG_IGN) return;  // started with Ctrl-C ignored: keep it so
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    g_interrupted = 0;
    handler_installed_ = sigaction(SIGINT, &action, &previous_action_) == 0;
  }

  bool on_terminal_;
  bool searching_;
  TerminalProgressLine line_;
  TerminalProgressLine* previous_line_ = nullptr;
  struct sigaction previous_action_ {};
  bool handler_installed_ = false;
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<ProgressDisplay> OpenSystemProgressDisplay(const ProgressDisplaySetup& setup) {
  return std::make_unique<PosixProgressDisplay>(setup);
}

void EndProgressLineForMessage() { PosixProgressDisplay::BreakCurrentLine(); }

}  // namespace tsl
