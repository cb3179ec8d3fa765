// Synchronization on hostile trees, as users run it: names that differ in letter case only or
// that a byte table would confuse, times across a change of the clocks, pipes, names with
// control characters, leftovers of killed copies, folders that cannot be examined, links to
// folders, and one folder reached two ways or lying inside the other. TslRun runs on trees laid
// out by the test; the trees and the log tell whether anything was lost or written astray.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

constexpr FileTime kSecond = 10000000;
constexpr FileTime kNoon = 132593328000000000LL;  // 2021-03-04 12:00:00 UTC
constexpr FileTime kLater = kNoon + 3600 * kSecond;
// 2023-10-29 01:00:00 UTC: in Berlin the clocks go back from 03:00 to 02:00.
constexpr FileTime kBerlinFallBack = 133430148000000000LL;

using Tree = FileTree;

bool OnLinux() { return Separator() == '/'; }

class SynchScanSafetyTest : public ::testing::Test {
 protected:
  void File(const std::string& relative, const std::string& content, FileTime modified = kNoon) {
    WriteFileAt(dir_ / relative, content, modified);
  }

  std::string Script(int code, const std::string& source, const std::string& target,
                     const std::string& more) {
    return "[Default]\r\nPath1=" + source + "\r\nPath2=" + target +
           "\r\nOutput File=" + dir_ / "log.txt" +
           "\r\nSort Compare=0\r\nShow progress=0\r\nConfirm Updates=0\r\n" +
           "Operation=" + std::to_string(code) + "\r\n" + more + "[Action1]\r\n";
  }

  // Runs one action (src to dst unless told otherwise); gives the log's lines after the header.
  std::vector<std::string> Run(int code, const std::string& more = "", std::string source = "",
                               std::string target = "", const std::string& tz = "UTC") {
    if (source.empty()) source = dir_ / "src";
    if (target.empty()) target = dir_ / "dst";
    WriteFile(dir_ / "job.ini", Script(code, source, target, more));
    Files().RemoveFile(dir_ / "log.txt");
    ProcessResult result = RunTslRun(dir_ / "job.ini" + "|||", dir_.path(), "Yes", &transcript_,
                                     {{"TZ", tz}, {"TESSALINE_REGISTRY", dir_ / "reg.db"}});
    EXPECT_TRUE(result.error.ok());
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    return Log();
  }

  // Runs one action through a wrapping program (a time limit, another user).
  ProcessResult RunWrapped(const std::vector<std::string>& wrapper, int code,
                           const std::string& more = "") {
    WriteFile(dir_ / "job.ini", Script(code, dir_ / "src", dir_ / "dst", more));
    Files().RemoveFile(dir_ / "log.txt");
    return RunTslRunWrapped(
        wrapper, dir_ / "job.ini" + "|||", dir_.path(), "Yes", nullptr,
        {{"TZ", "UTC"}, {"TESSALINE_REGISTRY", dir_ / "reg.db"}, {"HOME", dir_.path()}});
  }

  std::vector<std::string> Log() {
    std::string log;
    RealFileSystem().ReadWholeFile(dir_ / "log.txt", &log);
    std::vector<std::string> lines = SplitLines(log);
    return lines.size() < 2 ? lines : std::vector<std::string>(lines.begin() + 2, lines.end());
  }

  static bool Holds(const std::vector<std::string>& log, const std::string& line) {
    return std::find(log.begin(), log.end(), line) != log.end();
  }

  // Makes a symbolic link (Linux).
  void Link(const std::string& target, const std::string& link) {
    ProcessResult made = RunProcess("ln", {"-s", target, dir_ / link});
    ASSERT_EQ(made.exit_code, 0) << made.errors;
  }

  // Whether this file system can hold two names that differ in letter case only.
  bool HoldsCaseClash() {
    MakeFolders(dir_ / "probe");
    WriteFile(dir_ / "probe/x", "x");
    WriteFile(dir_ / "probe/X", "X");
    bool both = Names(dir_ / "probe").size() == 2;
    RemoveTree(dir_ / "probe");
    return both;
  }

  Tree Contents(const std::string& name) { return ReadTree(dir_ / name); }

  ScopedTempDir dir_;
  std::vector<std::string> transcript_;
};

// Кот.txt and Њот.txt are different names; a byte table of Windows-1252 upper-cases the second
// byte of К (0x9A, š) into that of Њ (0x8A, Š), and took them for one name.
TEST_F(SynchScanSafetyTest, CyrillicNamesAreNotOneName) {
  if (!OnLinux()) GTEST_SKIP() << "UTF-8 names are a Linux matter";
  const std::string cat = "\xD0\x9A\xD0\xBE\xD1\x82.txt", other = "\xD0\x8A\xD0\xBE\xD1\x82.txt";
  File("src/" + cat, "new cat", kLater);
  File("dst/" + other, "old one");
  Run(3);
  EXPECT_EQ(Contents("dst"), (Tree{{cat, "new cat"}, {other, "old one"}}));

  // Same time and size: still two names, so nothing is a duplicate to remove.
  RemoveTree(dir_ / "dst");
  File("dst/" + other, "new cat", kLater);
  Run(5);
  EXPECT_EQ(Contents("dst"), (Tree{{other, "new cat"}}));
}

// Prune deletes the target's A.TXT, which the source lacks, and keeps a.txt, whatever the order
// the folder lists them in.
TEST_F(SynchScanSafetyTest, CaseClashPrune) {
  if (!HoldsCaseClash()) GTEST_SKIP() << "this file system holds one of a.txt and A.TXT only";
  File("src/a.txt", "a");
  File("dst/A.TXT", "upper");
  File("dst/a.txt", "a");
  std::vector<std::string> log = Run(4);
  EXPECT_EQ(Contents("dst"), (Tree{{"a.txt", "a"}}));
  EXPECT_TRUE(Holds(log, "File " + dir_ / "dst/A.TXT" + " was deleted"));
}

// In Berlin the source was written at 02:59:40 summer time and the target 50 s later, at
// 02:00:30 winter time. The target is the newer file, though its local time is earlier.
TEST_F(SynchScanSafetyTest, TimesAcrossTheChangeOfTheClocks) {
  if (!OnLinux()) GTEST_SKIP() << "time zone names are a Linux matter";
  File("src/a.txt", "older source", kBerlinFallBack - 20 * kSecond);
  File("dst/a.txt", "newer target!", kBerlinFallBack + 30 * kSecond);
  EXPECT_EQ(Run(3, "", "", "", "Europe/Berlin"), std::vector<std::string>{"Operation complete!"});
  EXPECT_EQ(ReadFile(dir_ / "dst/a.txt"), "newer target!");
}

// 02:30 summer time and 02:30 winter time are an hour apart: not duplicates.
TEST_F(SynchScanSafetyTest, SameLocalTimeAnHourApartIsNoDuplicate) {
  if (!OnLinux()) GTEST_SKIP() << "time zone names are a Linux matter";
  File("src/a.txt", "same", kBerlinFallBack - 1800 * kSecond);
  File("dst/a.txt", "same", kBerlinFallBack + 1800 * kSecond);
  Run(5, "", "", "", "Europe/Berlin");
  EXPECT_EQ(ReadFile(dir_ / "dst/a.txt"), "same");
}

// A pipe whose target partner is an empty file: comparing contents would open the pipe and wait
// for a writer for ever. It is left alone, said so in the log, and nothing takes its place.
TEST_F(SynchScanSafetyTest, PipeIsNeverOpened) {
  if (!OnLinux()) GTEST_SKIP() << "pipes are a Linux matter here";
  File("src/a.txt", "a");
  File("dst/pipe", "");
  MakeFolders(dir_ / "src");
  ProcessResult made = RunProcess("mkfifo", {dir_ / "src/pipe"});
  ASSERT_EQ(made.exit_code, 0) << made.errors;
  for (int code : {3, 4}) {
    ProcessResult result = RunWrapped({"timeout", "20"}, code, "Check Same Size Files=1\r\n");
    ASSERT_TRUE(result.error.ok());
    ASSERT_EQ(result.exit_code, 0) << "code " << code << " (124: it hung)\n" << result.errors;
    EXPECT_TRUE(Holds(Log(), "Not a regular file, left alone: " + dir_ / "src/pipe"))
        << ::testing::PrintToString(Log());
    EXPECT_EQ(Contents("dst"), (Tree{{"a.txt", "a"}, {"pipe", ""}})) << "code " << code;
  }
}

TEST_F(SynchScanSafetyTest, NameWithALineFeedIsNoted) {
  if (!OnLinux()) GTEST_SKIP() << "such names are a Linux matter";
  File("src/a\nb.txt", "lf");
  File("src/c.txt", "c");
  std::vector<std::string> log = Run(3);
  EXPECT_TRUE(Holds(log, "Name with control characters, skipped: " + dir_ / "src/a\\x0Ab.txt"))
      << ::testing::PrintToString(log);
  EXPECT_EQ(Contents("dst"), (Tree{{"c.txt", "c"}}));
}

// What a killed copy left behind is not a file of the user's.
TEST_F(SynchScanSafetyTest, CopyTemporaryLeftoverIsNotCopied) {
  File("src/.tsl-1234-0123abcd.tmp", "half a copy");
  File("src/a.txt", "a");
  std::vector<std::string> log = Run(0);
  EXPECT_EQ(Contents("dst"), (Tree{{"a.txt", "a"}}));
  for (const std::string& line : log) EXPECT_EQ(line.find(".tsl-"), std::string::npos) << line;
}

// A folder whose names can be read but whose entries cannot be examined (mode 0644), scanned
// by an ordinary user: its files are unknown, not absent.
TEST_F(SynchScanSafetyTest, FolderThatCannotBeExamined) {
  if (!OnLinux()) GTEST_SKIP() << "permissions and users are a Linux matter here";
  ProcessResult root = RunProcess("id", {"-u"});
  if (root.output != "0\n") GTEST_SKIP() << "changing the user needs root";
  if (RunProcess("setpriv", {"--version"}).exit_code != 0) GTEST_SKIP() << "no setpriv";
  File("src/a.txt", "a");
  File("src/locked/f.txt", "source f", kLater);
  File("dst/locked/f.txt", "target f");
  File("dst/locked/g.txt", "target g");
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"chown", "-R", "65534:65534", dir_.path()},
        std::vector<std::string>{"chmod", "0755", dir_.path()},
        std::vector<std::string>{"chmod", "0644", dir_ / "src/locked"}}) {
    ProcessResult done = RunProcess(command[0], {command.begin() + 1, command.end()});
    ASSERT_EQ(done.exit_code, 0) << command[0] << ": " << done.errors;
  }
  const std::vector<std::string> nobody = {"setpriv", "--reuid=65534", "--regid=65534",
                                           "--clear-groups"};
  for (int code : {3, 4}) {
    ProcessResult result = RunWrapped(nobody, code);
    ASSERT_TRUE(result.error.ok());
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    std::vector<std::string> log = Log();
    EXPECT_TRUE(Holds(log, "Permission denied: " + dir_ / "src/locked/"))
        << "code " << code << ": " << ::testing::PrintToString(log);
    EXPECT_EQ(ReadFile(dir_ / "dst/locked/f.txt"), "target f") << "code " << code;
    EXPECT_EQ(ReadFile(dir_ / "dst/locked/g.txt"), "target g") << "code " << code;
    EXPECT_EQ(ReadFile(dir_ / "dst/a.txt"), "a");
  }
  RunProcess("chmod", {"0755", dir_ / "src/locked"});
}

// One folder spelt another way, or reached through a link: every file is its own partner, so
// nothing is copied, and nothing is removed as a duplicate of itself.
TEST_F(SynchScanSafetyTest, OneFolderTwice) {
  std::string d = dir_ / "d";
  std::vector<std::string> spellings = {d + Separator() + ".",
                                        dir_.path() + Separator() + Separator() + "d",
                                        d + Separator() + ".." + Separator() + "d"};
  if (OnLinux()) {
    Link(d, "alias");
    spellings.push_back(dir_ / "alias");
  }
  for (const std::string& target : spellings) {
    for (int code : {3, 0, 4, 5}) {
      RemoveTree(d);
      File("d/a.txt", "a");
      File("d/sub/b.txt", "b");
      const Tree before = Contents("d");
      std::vector<std::string> log = Run(code, "", d, target);
      EXPECT_EQ(Contents("d"), before) << target << " code " << code;
      for (const std::string& line : log) {
        EXPECT_EQ(line.find(" was "), std::string::npos)
            << target << " code " << code << ": " << line;
      }
    }
  }
}

// A folder and its own subfolder, both ways: the outer scan never enters the inner folder, so
// no copy lands inside itself and a second run has nothing to do.
TEST_F(SynchScanSafetyTest, FolderInsideTheOther) {
  for (bool target_inside : {true, false}) {
    RemoveTree(dir_ / "x");
    File("x/a.txt", "a");
    File("x/sub/b.txt", "b");
    std::string outer = dir_ / "x", inner = dir_ / "x/sub";
    std::string source = target_inside ? outer : inner, target = target_inside ? inner : outer;
    Run(0, "", source, target);
    EXPECT_EQ(Contents("x"), (Tree{{"a.txt", "a"},
                                   {"b.txt", "b"},
                                   {"sub", kFolderMark},
                                   {"sub/a.txt", "a"},
                                   {"sub/b.txt", "b"}}))
        << (target_inside ? "target inside" : "source inside");
    EXPECT_EQ(Run(0, "", source, target), std::vector<std::string>{"Operation complete!"});
  }
}

}  // namespace
}  // namespace tsl::testing
