// TslRun replacing where things go wrong, on Linux: killed in the middle of a large file, and on
// a small file system filled to several levels. Afterwards the file is its old content or its new
// one, byte for byte, and nothing of the replacement is left beside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

// A replace script over one folder: every "needle" becomes "a longer thread", no questions.
std::string ReplaceScript(const std::string& folder, const std::string& results) {
  return JoinLines({"[Kill test]", "[Options]", "Output_File=" + results, "Prompt_flag=2",
                    "Show Progress Dialog=0", "[Search]", "needle", "[Replace]", "a longer thread",
                    "[Path]", folder + "/*.txt", "[End of Findmend Script]"});
}

std::string Replaced(const std::string& text) {
  std::string result;
  std::size_t from = 0;
  for (std::size_t at = text.find("needle"); at != std::string::npos;
       at = text.find("needle", from)) {
    result.append(text, from, at - from).append("a longer thread");
    from = at + 6;
  }
  return result.append(text, from);
}

class ReplaceSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (NativePathStyle() != PathStyle::kPosix) GTEST_SKIP() << "Linux only";
  }
  ScopedTempDir dir_;
};

TEST_F(ReplaceSafetyTest, KilledRunLeavesOldOrNewContent) {
  MakeFolders(dir_ / "big");
  std::string line = "some text with a needle in it, and more text after the needle\n";
  std::string text;
  text.reserve(48u << 20);
  while (text.size() < (48u << 20)) text += line;
  const std::string expected = Replaced(text);
  WriteFile(dir_ / "script.txt", ReplaceScript(dir_ / "big", dir_ / "results.txt"));
  int old_seen = 0, new_seen = 0;
  for (const char* delay : {"0.05", "0.2", "0.4", "0.7", "1", "1.5", "60"}) {
    WriteFile(dir_ / "big/file.txt", text);
    std::vector<std::string> transcript;
    ProcessResult run =
        RunTslRunWrapped({"timeout", "-s", "KILL", delay}, "|||" + (dir_ / "script.txt"),
                         dir_.path(), "", &transcript, {{"TMPDIR", dir_.path()}});
    EXPECT_TRUE(run.error.ok());
    std::string now = ReadFile(dir_ / "big/file.txt");
    bool old_content = now == text, new_content = now == expected;
    EXPECT_TRUE(old_content || new_content)
        << "damaged after " << delay << " s (" << now.size() << " bytes)";
    old_seen += old_content;
    new_seen += new_content;
    EXPECT_EQ(Names(dir_ / "big"), std::vector<std::string>{"file.txt"})
        << "after " << delay << " s";
  }
  // The last run had time to finish.
  EXPECT_GE(new_seen, 1);
  EXPECT_GE(old_seen, 1) << "no run was killed before it finished: the file is too small";
}

// A file system of 4 MiB (a tmpfs in a namespace of its own) filled to several levels, with the
// temporary folder on it or elsewhere: the replacement either fits or leaves the file as it was.
TEST_F(ReplaceSafetyTest, FullFileSystemLeavesOldOrNewContent) {
  if (std::system("unshare -rm true >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "no user and mount namespaces here (unshare -rm): cannot mount a small tmpfs";
  }
  std::string text;
  while (text.size() < 900000) text += "a needle and some hay around it\n";
  const std::string expected = Replaced(text);
  WriteFile(dir_ / "old.txt", text);
  WriteFile(dir_ / "script.txt", ReplaceScript(dir_ / "small/data", dir_ / "results.txt"));
  int fits = 0, left = 0;
  for (int filler_kb : {0, 1500, 2300, 2900, 3600}) {
    for (bool temporary_inside : {false, true}) {
      std::string small = dir_ / "small";
      MakeFolders(small);
      // Everything happens in the namespace; what the file became is copied out before the
      // mount goes away with it.
      std::string commands =
          "set -e; mount -t tmpfs -o size=4m tmpfs '" + small + "'; mkdir '" + small + "/data' '" +
          small + "/tmp'; cp '" + (dir_ / "old.txt") + "' '" + small + "/data/file.txt'; " +
          "head -c " + std::to_string(filler_kb * 1024) + " /dev/zero 2>/dev/null > '" + small +
          "/filler' || true; " + "TMPDIR='" + (temporary_inside ? small + "/tmp" : dir_.path()) +
          "' '" + TslRunProgram() + "' '|||" + (dir_ / "script.txt") + "' || true; cp '" + small +
          "/data/file.txt' '" + (dir_ / "after.txt") + "'; ls -A '" + small + "/data' '" + small +
          "/tmp' > '" + (dir_ / "left.txt") + "'";
      ASSERT_EQ(std::system(("unshare -rm sh -c \"" + commands + "\"").c_str()), 0) << commands;
      std::string now = ReadFile(dir_ / "after.txt");
      std::string where = std::to_string(filler_kb) + " KiB filled, temporary files " +
                          (temporary_inside ? "inside" : "outside");
      EXPECT_TRUE(now == text || now == expected) << "damaged with " << where;
      fits += now == expected;
      left += now == text;
      std::vector<std::string> listed = SplitLines(ReadFile(dir_ / "left.txt"));
      EXPECT_EQ(JoinLines(listed), JoinLines({small + "/data:", "file.txt", "", small + "/tmp:"}))
          << where;
      if (now == text) {
        std::string results = ReadFile(dir_ / "results.txt");
        EXPECT_NE(results.find("Error"), std::string::npos) << where << ":\n" << results;
      }
    }
  }
  EXPECT_GE(fits, 1);
  EXPECT_GE(left, 1);
}

}  // namespace
}  // namespace tsl::testing
