// The Linux progress display: Ctrl-C as the Cancel button, and the line drawn only on a terminal
// (a pseudo-terminal stands in for one).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "services/progress_window.h"
#include "platform/progress_display.h"

namespace tsl {
namespace {

// Puts another file descriptor in place of standard error for its lifetime.
class ScopedStderr {
 public:
  explicit ScopedStderr(int fd) : saved_(::dup(STDERR_FILENO)) { ::dup2(fd, STDERR_FILENO); }
  ~ScopedStderr() {
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }

 private:
  int saved_;
};

// A pseudo-terminal: the test writes to its terminal side and reads what arrived.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    terminal_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
  }
  ~PseudoTerminal() {
    if (terminal_ >= 0) ::close(terminal_);
    if (master_ >= 0) ::close(master_);
  }
  bool ok() const { return terminal_ >= 0; }
  int terminal() const { return terminal_; }
  std::string Drain() {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(master_, buffer, sizeof buffer)) > 0) text.append(buffer, got);
    return text;
  }

 private:
  int master_ = -1;
  int terminal_ = -1;
};

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

void (*CurrentInterruptHandler())(int) {
  struct sigaction action {};
  sigaction(SIGINT, nullptr, &action);
  return action.sa_handler;
}

class ProgressDisplayPosixTest : public ::testing::Test {};

TEST_F(ProgressDisplayPosixTest, CtrlCCancelsTheJob) {
  ProgressWindow* slot = nullptr;
  int cancel = 0;
  ProgressWindow window(&slot, 100, &cancel, "Copy Files");
  ASSERT_TRUE(window.has_display());
  window.SetPosition(10);
  EXPECT_EQ(cancel, 0);
  ::raise(SIGINT);
  EXPECT_EQ(cancel, 0);  // the handler only notes it: nothing happens before the next update
  window.SetPosition(20);
  EXPECT_EQ(cancel, 1);
  EXPECT_EQ(slot, nullptr);
  EXPECT_FALSE(window.is_open());
  EXPECT_EQ(CurrentInterruptHandler(), SIG_DFL);  // Ctrl-C ends the process again
}

TEST_F(ProgressDisplayPosixTest, TheHandlerLastsAsLongAsTheWindow) {
  void (*before)(int) = CurrentInterruptHandler();
  {
    ProgressWindow* slot = nullptr;
    int cancel = 0;
    ProgressWindow window(&slot, 100, &cancel, "x");
    EXPECT_NE(CurrentInterruptHandler(), before);
    window.Close();
    EXPECT_EQ(CurrentInterruptHandler(), before);
    EXPECT_EQ(cancel, 0);
  }
  EXPECT_EQ(CurrentInterruptHandler(), before);
}

TEST_F(ProgressDisplayPosixTest, CtrlCAtCloseIsNoCancel) {
  ProgressWindow* slot = nullptr;
  int cancel = 0;
  {
    ProgressWindow window(&slot, 100, &cancel, "x");
    ::raise(SIGINT);
    window.Close();
  }
  EXPECT_EQ(cancel, 0);
  // A Ctrl-C left over from that window does not cancel the next one.
  ProgressWindow next(&slot, 100, &cancel, "y");
  next.SetPosition(1);
  EXPECT_EQ(cancel, 0);
  EXPECT_TRUE(next.is_open());
}

using ProgressDisplayPosixDeathTest = ProgressDisplayPosixTest;

TEST_F(ProgressDisplayPosixDeathTest, RefusedCtrlCThenASecondOneEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto run = [] {
    ProgressWindow* slot = nullptr;
    int cancel = 0;
    ProgressWindow window(&slot, 100, &cancel, "x", ProgressLook{"", false});
    ::raise(SIGINT);
    window.SetPosition(1);  // refused: the job goes on
    if (cancel != 0 || slot != &window) ::_exit(3);
    ::raise(SIGINT);
    ::_exit(4);  // not reached
  };
  EXPECT_EXIT(run(), ::testing::KilledBySignal(SIGINT), "This job cannot be cancelled");
}

TEST_F(ProgressDisplayPosixTest, NothingIsDrawnWhenStandardErrorIsNoTerminal) {
  char path[] = "/tmp/tslprogressXXXXXX";
  int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  {
    ScopedStderr redirect(fd);
    ProgressWindow* slot = nullptr;
    ProgressWindow window(&slot, 10, nullptr, "Copy Files");
    for (int i = 0; i <= 10; ++i) window.SetPosition(i);
    window.Close();
  }
  EXPECT_EQ(::lseek(fd, 0, SEEK_END), 0);
  ::close(fd);
  ::unlink(path);
}

TEST_F(ProgressDisplayPosixTest, OnATerminalOneLineIsRedrawnAFewTimes) {
  PseudoTerminal pty;
  if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminal available";
  std::string shown;
  double busy_seconds = 0;
  {
    ScopedStderr redirect(pty.terminal());
    ProgressWindow* slot = nullptr;
    const auto start = std::chrono::steady_clock::now();
    ProgressWindow window(&slot, 100000, nullptr, "Copy Files");
    for (int i = 0; i <= 100000; ++i) window.SetPosition(i);  // far faster than ten a second
    window.Close();
    busy_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    shown = pty.Drain();
  }
  // The first state at once, the last at the end, and few in between.
  EXPECT_NE(shown.find("\rCopy Files  [....................]   0%\x1b[K"), std::string::npos)
      << shown;
  EXPECT_NE(shown.find("\rCopy Files  [####################] 100%\x1b[K"), std::string::npos)
      << shown;
  // At most ten redraws a second, however long a loaded machine takes over the loop.
  EXPECT_LE(Count(shown, "\x1b[K"), 5 + static_cast<int>(busy_seconds * 10)) << shown;
  EXPECT_EQ(Count(shown, "\n"), 1);  // the line ends once, at Close
}

}  // namespace
}  // namespace tsl
