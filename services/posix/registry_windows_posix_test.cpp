// The registry job's questions on the Linux terminal (a pseudo-terminal stands in for one): the
// replace question with its mnemonic letters and the numbered merge list, with their transcript.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "services/messages.h"
#include "services/registry_windows.h"
#include "services/test_registry_windows.h"

namespace tsl {
namespace {

// A pseudo-terminal as standard input and standard error, and questions asked there (answers
// not scripted) with a transcript, while it lives. The test types ahead and reads what was shown.
class TerminalSession {
 public:
  explicit TerminalSession(const std::string& transcript)
      : transcript_("TESSALINE_TRANSCRIPT", transcript), answers_("TESSALINE_ANSWERS", {}) {
    ReloadMessageSettings();
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    terminal_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    if (terminal_ < 0) return;
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
    ::dup2(terminal_, STDIN_FILENO);
    ::dup2(terminal_, STDERR_FILENO);
  }
  ~TerminalSession() {
    ::dup2(saved_in_, STDIN_FILENO);
    ::dup2(saved_err_, STDERR_FILENO);
    for (int fd : {saved_in_, saved_err_, terminal_, master_}) ::close(fd);
    std::cin.clear();
    std::clearerr(stdin);
    ReloadMessageSettings();  // read again, as the environment will be, at the next question
  }
  bool ok() const { return terminal_ >= 0; }
  void Type(const std::string& keys) { (void)!::write(master_, keys.data(), keys.size()); }
  std::string Shown() {
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = ::read(master_, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
    return text;
  }

 private:
  testing::ScopedEnvironment transcript_, answers_;
  int saved_in_ = ::dup(STDIN_FILENO), saved_err_ = ::dup(STDERR_FILENO);
  int master_ = -1, terminal_ = -1;
};

TEST(RegistryWindowsTerminalTest, BothQuestionsAskOnTheTerminalAndAreRecorded) {
  testing::ScopedTempDir dir;
  testing::ScopedMergeSettings settings;
  TerminalSession terminal(dir / "transcript.txt");
  if (!terminal.ok()) GTEST_SKIP() << "no pseudo-terminal available";
  // "x" names no button: asked again. The merge: options with only "Same Display" changed,
  // then two lines deleted, then merged.
  terminal.Type("x\nr\no\n\n\nn\n\n\n2 3\nm\n");
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kValueData, "HKEY_CURRENT_USER\\T", "P", "a", "b"),
            RegistryReplaceAnswer::kReplaceRest);
  std::vector<std::size_t> kept;
  ASSERT_TRUE(AskMerge("/tmp/preview.reg", testing::RowsOfEveryKind(), &kept));
  EXPECT_EQ(kept, (std::vector<std::size_t>{0, 3}));

  std::string shown = terminal.Shown();
  const std::string prompt = "Replace [T]his  Replace [R]est  [S]kip This  [C]ancel Rest? ";
  for (const std::string& text : std::vector<std::string>{
           "Replace - HKEY_CURRENT_USER\\T: Data of value P\r\nOld: a\r\nNew: b\r\n" + prompt,
           "Reg File to Registry Compare and Merge: /tmp/preview.reg\r\n"
           "   1  Key Path:      HKEY_CURRENT_USER\\Software\\T\r\n"}) {
    EXPECT_NE(shown.find(text), std::string::npos) << text << "\n" << shown;
  }
  EXPECT_NE(shown.find(prompt, shown.find(prompt) + 1), std::string::npos) << "asked twice";
  const std::string q = "Question: Reg File to Registry Compare and Merge: ";
  EXPECT_EQ(
      testing::SplitLines(testing::ReadFile(dir / "transcript.txt")),
      (std::vector<std::string>{
          "Question: Replace - HKEY_CURRENT_USER\\T: Data of value P\\nOld: a\\nNew: b -> "
          "Replace Rest",
          q + "4 items -> Delete 3", q + "3 items -> Delete 2", q + "2 items -> Merge Values"}));
  EXPECT_EQ(ReadSettingString("Settings", "Last REG File"), "/tmp/preview.reg");
  EXPECT_EQ(ReadSettingInt("Settings", "Same Display", 7), 0);
  EXPECT_EQ(ReadSettingInt("Settings", "Diff Display", 7), 1);
}

}  // namespace
}  // namespace tsl
