// TslRun as users start it: the argument, the order of the jobs, the messages and the exit
// status, checked through the transcript of what a user would have seen.
#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

const char kUsage[] =
    "MessageBox: Please use TslRun \"<synch script path>|<shortcut script>|<registry "
    "script>|<file replace script>\" -> OK";

class TslRunTest : public ::testing::Test {
 protected:
  // Runs TslRun in the scratch folder; returns the exit status.
  int Run(const std::string& argument, const std::string& answers = "OK") {
    ProcessResult result = RunTslRun(argument, dir_.path(), answers, &transcript_);
    EXPECT_TRUE(result.error.ok()) << "TslRun could not be started";
    return result.exit_code;
  }
  std::string Here(const std::string& name) { return dir_ / name; }
  // A path in the scratch folder as the transcript writes it.
  std::string Shown(const std::string& name) { return TranscriptText(dir_ / name); }

  ScopedTempDir dir_;
  std::vector<std::string> transcript_;
};

TEST_F(TslRunTest, MissingScriptsAreReportedInJobOrder) {
  EXPECT_EQ(Run("sync.ini|||repl.txt|extra"), 1);
  EXPECT_EQ(transcript_, (std::vector<std::string>{
                             "MessageBox: sync.ini was not found. -> OK",
                             "MessageBox: Cannot read script file\\n" + Shown("repl.txt") + " -> OK",
                         }));

  EXPECT_EQ(Run("s.ini|l.ini|r.ini|f.txt"), 1);
  EXPECT_EQ(transcript_, (std::vector<std::string>{
                             "MessageBox: s.ini was not found. -> OK",
                             "MessageBox: " + Shown("l.ini") + " was not found. -> OK",
                             "MessageBox: " + Shown("r.ini") + " was not found. -> OK",
                             "MessageBox: Cannot read script file\\n" + Shown("f.txt") + " -> OK",
                         }));
}

TEST_F(TslRunTest, WithoutABarTheUsageIsShown) {
  for (const char* argument : {"", "sync.ini", "--help", "||"}) {
    EXPECT_EQ(Run(argument), 1) << argument;
    EXPECT_EQ(transcript_, std::vector<std::string>{kUsage}) << argument;
  }
}

TEST_F(TslRunTest, ReadableScriptsRunQuietlyAndSucceed) {
  WriteFile(Here("sync.ini"), "[Default]\r\nOperation=6\r\n");
  WriteFile(Here("links.ini"), "[Default]\r\nMask=*.lnk\r\n");
  WriteFile(Here("regfix.ini"),
            "[Action1]\r\nKey=HKEY_CURRENT_USER\r\nSearch String=tsl-nowhere\r\n"
            "Output/Undo File=NUL\r\n");
  WriteFile(Here("undo.reg"), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n");
  WriteFile(Here("text.txt"), "anything\r\n");
  EXPECT_EQ(Run(Here("sync.ini") + "|links.ini|regfix.ini|text.txt"), 0);
  EXPECT_TRUE(transcript_.empty());
  EXPECT_EQ(Run("|||" + Here("text.txt")), 0);
  EXPECT_EQ(Run(dir_.path() + Separator() + "|links.ini|undo.reg|"), 0);
  EXPECT_TRUE(transcript_.empty());
}

TEST_F(TslRunTest, AnEmptyScriptIsReadButHoldsNothing) {
  WriteFile(Here("empty.ini"), "");
  EXPECT_EQ(Run("|empty.ini||"), 0);
  EXPECT_TRUE(transcript_.empty());
}

}  // namespace
}  // namespace tsl::testing
