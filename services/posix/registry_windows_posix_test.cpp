// The registry job's windows on the Linux terminal (a pseudo-terminal stands in for one): the
// replace question with its mnemonic letters, the numbered merge list, the Searching line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "services/registry_windows.h"
#include "services/test_registry_windows.h"

namespace tsl {
namespace {

// A pseudo-terminal as standard input and standard error while it lives: the test types into it
// and reads what was shown (with the terminal's CR LF line ends).
class TerminalSession {
 public:
  TerminalSession() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    terminal_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    if (terminal_ < 0) return;
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
    saved_in_ = ::dup(STDIN_FILENO);
    saved_err_ = ::dup(STDERR_FILENO);
    ::dup2(terminal_, STDIN_FILENO);
    ::dup2(terminal_, STDERR_FILENO);
  }
  ~TerminalSession() {
    if (terminal_ >= 0) {
      ::dup2(saved_in_, STDIN_FILENO);
      ::dup2(saved_err_, STDERR_FILENO);
      ::close(saved_in_);
      ::close(saved_err_);
      ::close(terminal_);
      std::cin.clear();
      std::clearerr(stdin);
    }
    if (master_ >= 0) ::close(master_);
  }
  bool ok() const { return terminal_ >= 0; }
  void Type(const std::string& keys) {
    ASSERT_EQ(::write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  std::string Shown() {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(master_, buffer, sizeof buffer)) > 0) text.append(buffer, got);
    return text;
  }

 private:
  int master_ = -1, terminal_ = -1, saved_in_ = -1, saved_err_ = -1;
};

class RegistryWindowsTerminalTest : public ::testing::Test {
 protected:
  testing::ScopedTempDir dir_;
  testing::UnscriptedTranscript transcript_{dir_ / "transcript.txt"};
  testing::ScopedMergeSettings settings_;
};

TEST_F(RegistryWindowsTerminalTest, ReplaceQuestionAsksWithTheMnemonicLetters) {
  TerminalSession terminal;
  if (!terminal.ok()) GTEST_SKIP() << "no pseudo-terminal available";
  terminal.Type("x\nr\n");  // a letter of no button: asked again
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kValueData, "HKEY_CURRENT_USER\\T", "Path", "a", "b"),
            RegistryReplaceAnswer::kReplaceRest);
  std::string shown = terminal.Shown();
  EXPECT_NE(shown.find("Replace - HKEY_CURRENT_USER\\T: Data of value Path\r\nOld: a\r\nNew: b"),
            std::string::npos)
      << shown;
  // Asked twice (what was typed ahead is echoed where the terminal was then).
  const std::string prompt = "Replace [T]his  Replace [R]est  [S]kip This  [C]ancel Rest? ";
  std::size_t first = shown.find(prompt);
  ASSERT_NE(first, std::string::npos) << shown;
  EXPECT_NE(shown.find(prompt, first + 1), std::string::npos) << shown;
  EXPECT_EQ(transcript_.Lines(),
            std::vector<std::string>{"Question: Replace - HKEY_CURRENT_USER\\T: Data of value "
                                     "Path\\nOld: a\\nNew: b -> Replace Rest"});
}

TEST_F(RegistryWindowsTerminalTest, MergeListsByNumberAndRecordsEveryAnswer) {
  TerminalSession terminal;
  if (!terminal.ok()) GTEST_SKIP() << "no pseudo-terminal available";
  // Options: only "Same Display" changed (no line has the same data), then two lines deleted.
  terminal.Type("o\n\n\nn\n\n\n2 3\nm\n");
  std::vector<std::size_t> kept;
  ASSERT_TRUE(AskMerge("/tmp/preview.reg", testing::RowsOfEveryKind(), &kept));
  EXPECT_EQ(kept, (std::vector<std::size_t>{0, 3}));
  std::string shown = terminal.Shown();
  EXPECT_NE(shown.find("Reg File to Registry Compare and Merge: /tmp/preview.reg\r\n"
                       "   1  Key Path:      HKEY_CURRENT_USER\\Software\\T\r\n"
                       "      Value Name:    Added\r\n"),
            std::string::npos)
      << shown;
  const std::string q = "Question: Reg File to Registry Compare and Merge: ";
  EXPECT_EQ(transcript_.Lines(),
            (std::vector<std::string>{q + "4 items -> Delete 3", q + "3 items -> Delete 2",
                                      q + "2 items -> Merge Values"}));
  EXPECT_EQ(ReadSettingString("Settings", "Last REG File"), "/tmp/preview.reg");
  EXPECT_EQ(ReadSettingInt("Settings", "Same Display", 7), 0);
  EXPECT_EQ(ReadSettingInt("Settings", "Diff Display", 7), 1);
}

TEST_F(RegistryWindowsTerminalTest, SearchingShowsTheStatusOnOneLineWithoutABar) {
  TerminalSession terminal;
  if (!terminal.ok()) GTEST_SKIP() << "no pseudo-terminal available";
  bool cancelled = false;
  std::unique_ptr<SearchingWindow> window = OpenSearchingWindow(&cancelled);
  window->SetText("Searched 1 keys, 2 values\nFound string in 0 keys");
  window->Close();
  std::string shown = terminal.Shown();
  EXPECT_NE(shown.find("\rSearching... Searched 1 keys, 2 values Found string in 0 keys\x1b[K"),
            std::string::npos)
      << shown;
  EXPECT_EQ(shown.find('%'), std::string::npos);
  EXPECT_FALSE(cancelled);
}

}  // namespace
}  // namespace tsl
