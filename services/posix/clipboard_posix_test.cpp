// The Linux clipboard: through xclip on a virtual X display (Xvfb) started by the test itself,
// through wl-copy and wl-paste on the Wayland compositor that the test command starts, and
// through stand-ins for the Wayland tools for their failures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "services/output_destination.h"
#include "platform/clipboard.h"
#include "platform/environment.h"
#include "platform/file_error.h"
#include "platform/process.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace tsl {
namespace {

// An Xvfb server on a display number of its own choosing (-displayfd), ended with the object.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb",    "-displayfd", fd.c_str(),   "-nolisten", "tcp",
                          "-screen", "0",          "320x200x24", nullptr};
    started_ =
        posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (started_) number_ = ReadNumber(fds[0]);
    ::close(fds[0]);
  }
  ~VirtualDisplay() {
    if (!started_) return;
    ::kill(pid_, SIGTERM);
    int status;
    ::waitpid(pid_, &status, 0);
  }

  /// False when Xvfb could not be started (not installed).
  bool started() const { return started_; }
  /// ":N", or empty when the server did not come up.
  std::string name() const { return number_.empty() ? "" : ":" + number_; }

 private:
  // Xvfb writes its display number when it is ready for clients.
  static std::string ReadNumber(int fd) {
    std::string number;
    pollfd waiting{fd, POLLIN, 0};
    while (::poll(&waiting, 1, 15000) > 0) {
      char c;
      if (::read(fd, &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    return number;
  }

  pid_t pid_ = 0;
  bool started_ = false;
  std::string number_;
};

using ScopedVariable = testing::ScopedEnvironment;

class ClipboardPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!display_.started()) GTEST_SKIP() << "Xvfb is not installed: no X display to test with";
    ASSERT_FALSE(display_.name().empty()) << "Xvfb did not start";
    x11_.emplace("DISPLAY", display_.name());
    wayland_.emplace("WAYLAND_DISPLAY", std::nullopt);
  }

  // What xclip itself reads from the clipboard, as UTF-8.
  std::string XclipOutput() {
    ProcessResult r = RunProcess("xclip", {"-selection", "clipboard", "-o", "-t", "UTF8_STRING"});
    EXPECT_TRUE(r.error.ok()) << "xclip is not installed";
    return r.output;
  }
  void XclipInput(const std::string& utf8) {
    testing::WriteFile(dir_ / "in.txt", utf8);
    ProcessResult r = RunProcess(
        "xclip", {"-selection", "clipboard", "-i", "-t", "UTF8_STRING", dir_ / "in.txt"});
    ASSERT_TRUE(r.error.ok() && r.exit_code == 0) << "xclip: " << r.errors;
    // xclip leaves a process of its own to serve the text; wait until it does.
    for (int attempt = 0; attempt < 200 && XclipOutput() != utf8; ++attempt) {
      struct timespec pause = {0, 10 * 1000 * 1000};
      ::nanosleep(&pause, nullptr);
    }
  }

  VirtualDisplay display_;
  std::optional<ScopedVariable> x11_, wayland_;
  testing::ScopedTempDir dir_;
};

TEST_F(ClipboardPosixTest, AnEmptyClipboardHoldsNoText) {
  std::string text = "stale", why;
  bool has_text = true;
  SysError e = SystemClipboard().ReadText(&text, &has_text, &why);
  ASSERT_TRUE(e.ok()) << why;
  EXPECT_FALSE(has_text);
  EXPECT_EQ(text, "");
}

TEST_F(ClipboardPosixTest, TextGoesBothWaysAsUtf8) {
  const std::string ansi = "caf\xE9 \x80 5\r\nline\ttwo";  // é and € in Windows-1252
  std::string why;
  ASSERT_TRUE(SystemClipboard().WriteText(ansi, &why).ok()) << why;
  EXPECT_EQ(XclipOutput(), "caf\xC3\xA9 \xE2\x82\xAC 5\r\nline\ttwo");
  std::string text;
  bool has_text = false;
  ASSERT_TRUE(SystemClipboard().ReadText(&text, &has_text, &why).ok()) << why;
  EXPECT_TRUE(has_text);
  EXPECT_EQ(text, ansi);
}

TEST_F(ClipboardPosixTest, AppendingKeepsTheOldText) {
  XclipInput("old text\r\n");
  OutputDestination out;
  out.Open("Clipboard", true);
  out.Write("new line\r\n");
  EXPECT_EQ(XclipOutput(), "old text\r\n");  // nothing changes before Close
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(XclipOutput(), "old text\r\nnew line\r\n");

  out.Open("CLIPBOARD", false);  // replacing
  out.Write("only this");
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(XclipOutput(), "only this");
}

// The Wayland compositor of the test command (tools/test-services.sh), with the real wl-copy
// and wl-paste.
class ClipboardWaylandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::optional<std::string> why = GetEnvironmentValue("TSL_TEST_WAYLAND_UNAVAILABLE")) {
      GTEST_SKIP() << "no Wayland compositor for the tests: " << *why;
    }
    std::optional<std::string> display = GetEnvironmentValue("TSL_TEST_WAYLAND_DISPLAY");
    if (!display) {
      GTEST_SKIP() << "no Wayland compositor for the tests: tools/test-services.sh starts one "
                      "(the test command does)";
    }
    wayland_.emplace("WAYLAND_DISPLAY", *display);
    runtime_.emplace("XDG_RUNTIME_DIR", GetEnvironmentValue("TSL_TEST_XDG_RUNTIME_DIR"));
  }

  // What wl-paste itself reads from the clipboard.
  std::string Paste() {
    ProcessResult r = RunProcess("wl-paste", {"--no-newline"});
    EXPECT_TRUE(r.error.ok() && r.exit_code == 0) << "wl-paste: " << r.errors;
    return r.output;
  }
  // Puts bytes of a type on the clipboard with wl-copy, and waits until they are served.
  void Copy(const std::string& bytes, const std::string& type) {
    testing::WriteFile(dir_ / "in", bytes);
    ProcessOptions options;
    options.stdin_file = dir_ / "in";
    ProcessResult r = RunProcess("wl-copy", {"--type", type}, options);
    ASSERT_TRUE(r.error.ok() && r.exit_code == 0) << "wl-copy: " << r.errors;
    for (int attempt = 0; attempt < 200; ++attempt) {
      ProcessResult types = RunProcess("wl-paste", {"--list-types"});
      if (types.exit_code == 0 && types.output.find(type) != std::string::npos &&
          RunProcess("wl-paste", {"--no-newline", "--type", type}).output == bytes) {
        return;
      }
      struct timespec pause = {0, 10 * 1000 * 1000};
      ::nanosleep(&pause, nullptr);
    }
    FAIL() << "wl-copy's text never reached the clipboard";
  }

  ScopedVariable x11_{"DISPLAY", std::nullopt};
  std::optional<ScopedVariable> wayland_, runtime_;
  testing::ScopedTempDir dir_;
};

TEST_F(ClipboardWaylandTest, TextGoesBothWaysAsUtf8) {
  const std::string ansi = "caf\xE9 \x80 5\r\nline\ttwo \xDF";  // é, € and ß in Windows-1252
  std::string why;
  ASSERT_TRUE(SystemClipboard().WriteText(ansi, &why).ok()) << why;
  EXPECT_EQ(Paste(), "caf\xC3\xA9 \xE2\x82\xAC 5\r\nline\ttwo \xC3\x9F");

  Copy("na\xC3\xAFve \xE2\x82\xAC\n", "text/plain;charset=utf-8");
  std::string text;
  bool has_text = false;
  ASSERT_TRUE(SystemClipboard().ReadText(&text, &has_text, &why).ok()) << why;
  EXPECT_TRUE(has_text);
  EXPECT_EQ(text, "na\xEFve \x80\n");
}

TEST_F(ClipboardWaylandTest, AppendingKeepsTheOldText) {
  Copy("old caf\xC3\xA9\r\n", "text/plain;charset=utf-8");
  OutputDestination out;
  ASSERT_TRUE(out.Open("Clipboard", true).ok());
  out.Write("new \x80\r\n");
  EXPECT_EQ(Paste(), "old caf\xC3\xA9\r\n");  // nothing changes before Close
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(Paste(), "old caf\xC3\xA9\r\nnew \xE2\x82\xAC\r\n");

  ASSERT_TRUE(out.Open("CLIPBOARD", false).ok());  // replacing
  out.Write("only this");
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(Paste(), "only this");
}

TEST_F(ClipboardWaylandTest, AClipboardWithoutTextStartsAnAppendEmpty) {
  Copy("\x89PNG\r\n", "image/png");
  std::string text = "stale", why;
  bool has_text = true;
  ASSERT_TRUE(SystemClipboard().ReadText(&text, &has_text, &why).ok()) << why;
  EXPECT_FALSE(has_text);
  EXPECT_EQ(text, "");

  OutputDestination out;
  ASSERT_TRUE(out.Open("Clipboard", true).ok());
  out.Write("log\r\n");
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(Paste(), "log\r\n");
}

// Stand-ins for wl-copy and wl-paste first on PATH, for the failures of the tools.
class ClipboardWaylandToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_.emplace("PATH", bin_.path() + ":" + GetEnvironmentValue("PATH").value_or("/usr/bin"));
  }

  void Script(const std::string& name, const std::string& body) {
    std::string path = bin_ / name;
    testing::WriteFile(path, "#!/bin/sh\n" + body);
    ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
  }

  testing::ScopedTempDir bin_;
  ScopedVariable x11_{"DISPLAY", std::nullopt}, wayland_{"WAYLAND_DISPLAY", "wayland-test"};
  std::optional<ScopedVariable> path_;
};

TEST_F(ClipboardWaylandToolTest, AMissingToolIsNotFound) {
  path_.emplace("PATH", bin_.path());  // neither wl-paste nor wl-copy
  std::string text, why;
  bool has_text = false;
  EXPECT_EQ(SystemClipboard().ReadText(&text, &has_text, &why).kind, ErrorKind::kNotFound);
  EXPECT_NE(why.find("wl-paste"), std::string::npos) << why;
  OutputDestination out;
  EXPECT_EQ(StandardFileErrorText(out.Open("Clipboard", false)), "Clipboard was not found.");
}

TEST_F(ClipboardWaylandToolTest, AFailingToolIsAnError) {
  Script("wl-copy", "echo 'Failed to connect to a Wayland server' >&2\nexit 1\n");
  std::string why;
  EXPECT_TRUE(SystemClipboard().WriteText("text", &why).failed());
  EXPECT_NE(why.find("wl-copy: Failed to connect to a Wayland server"), std::string::npos) << why;
}

TEST(ClipboardPosixNoDisplayTest, OpenFailsWithoutADisplay) {
  ScopedVariable x11("DISPLAY", std::nullopt), wayland("WAYLAND_DISPLAY", std::nullopt);
  std::string text, why;
  bool has_text = false;
  EXPECT_EQ(SystemClipboard().ReadText(&text, &has_text, &why).kind, ErrorKind::kUnreachable);
  EXPECT_NE(why.find("DISPLAY"), std::string::npos) << why;
  OutputDestination out;
  EXPECT_EQ(StandardFileErrorText(out.Open("Clipboard", false)), "Clipboard could not be reached.");
  EXPECT_FALSE(out.is_open());
}

}  // namespace
}  // namespace tsl
