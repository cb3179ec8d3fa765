// Trees that a careless synchronization would destroy: one folder spelt two ways, folders inside
// each other, a file reached through a link, settings out of range, duplicates whose contents
// differ, a folder blocked by a file. Each test runs TslRun and checks that every file
// the rules do not allow to change is as it was.
#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

constexpr FileTime kSecond = 10000000;
constexpr FileTime kNoon = 132593328000000000LL;  // 2021-03-04 12:00:00 UTC
constexpr FileTime kLater = kNoon + 3600 * kSecond;

bool OnWindows() { return Separator() == '\\'; }

class SynchSafetyTest : public ::testing::Test {
 protected:
  void File(const std::string& relative, const std::string& content, FileTime modified = kNoon) {
    WriteFileAt(dir_ / relative, content, modified);
  }

  void Link(const std::string& target, const std::string& relative) {
    ProcessResult made = RunProcess("ln", {"-s", target, dir_ / relative});
    ASSERT_EQ(made.exit_code, 0) << made.errors;
  }

  // Runs a script of `actions` (each the lines of one action section) with one log; gives the
  // log's lines. The defaults ask no question and show no progress.
  std::vector<std::string> Run(const std::vector<std::string>& actions,
                               const std::string& answers = "") {
    std::string script = "[Default]\r\nOutput File=" + dir_ / "log.txt" +
                         "\r\nAppend to Output File=1\r\nShow progress=0\r\nConfirm Updates=0\r\n";
    for (std::size_t i = 0; i < actions.size(); ++i) {
      script += "[Action" + std::to_string(i + 1) + "]\r\n" + actions[i];
    }
    WriteFile(dir_ / "job.ini", script);
    RealFileSystem().RemoveFile(dir_ / "log.txt");
    ProcessResult result = RunTslRun(dir_ / "job.ini" + "|||", dir_.path(), answers, &transcript_,
                                     {{"TZ", "UTC"}, {"TESSALINE_REGISTRY", dir_ / "reg.db"}});
    EXPECT_TRUE(result.error.ok());
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    std::string log;
    RealFileSystem().ReadWholeFile(dir_ / "log.txt", &log);
    return SplitLines(log);
  }

  static std::string Action(const std::string& path1, const std::string& path2, int code,
                            const std::string& more = "") {
    return "Path1=" + path1 + "\r\nPath2=" + path2 + "\r\nOperation=" + std::to_string(code) +
           "\r\n" + more;
  }

  static bool Holds(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  ScopedTempDir dir_;
  std::vector<std::string> transcript_;
};

const char* const kNested =
    "The source and target folders are the same folder, or one lies inside the other: nothing is "
    "deleted.";

// Remove identical and Prune with both folders naming one folder, in every spelling a user may
// write: nothing is deleted, and the log and a message say why.
TEST_F(SynchSafetyTest, OneFolderSpeltTwiceLosesNothing) {
  File("d/a.txt", "only copy");
  File("d/sub/b.txt", "only copy too");
  const char sep = Separator();
  std::string d = dir_ / "d";
  std::vector<std::string> aliases = {d + sep + ".", dir_ / "x" + sep + ".." + sep + "d"};
  MakeFolders(dir_ / "x");
  if (!OnWindows()) {
    aliases.push_back("/" + d);
    Link(d, "link-to-d");
    aliases.push_back(dir_ / "link-to-d");
  }
  for (const std::string& alias : aliases) {
    for (int code : {4, 5}) {
      std::vector<std::string> log = Run({Action(d, alias, code)}, "OK");
      EXPECT_TRUE(Holds(log, kNested)) << alias << " code " << code;
      EXPECT_EQ(ReadFile(dir_ / "d/a.txt"), "only copy") << alias << " code " << code;
      EXPECT_EQ(ReadFile(dir_ / "d/sub/b.txt"), "only copy too") << alias << " code " << code;
    }
  }
}

// A source file that is a link to its target partner is that partner: Remove identical keeps it.
// A link of the source to a target orphan keeps the orphan from Prune.
TEST_F(SynchSafetyTest, AFileReachedThroughALinkIsNotItsOwnDuplicate) {
  if (OnWindows()) GTEST_SKIP() << "links are a Linux matter here";
  File("dst/a.txt", "only copy");
  File("dst/orphan.txt", "linked from the source");
  File("src/keep.txt", "k");
  File("dst/keep.txt", "k");
  Link(dir_ / "dst/a.txt", "src/a.txt");
  Link(dir_ / "dst/orphan.txt", "src/other-name.txt");
  std::vector<std::string> log = Run({Action(dir_ / "src", dir_ / "dst", 5)});
  EXPECT_EQ(ReadFile(dir_ / "dst/a.txt"), "only copy");
  EXPECT_TRUE(Holds(log, "File " + dir_ / "dst/a.txt" +
                             " was not deleted: it is the same file as " + dir_ / "src/a.txt"));
  EXPECT_FALSE(PathExists(dir_ / "dst/keep.txt"));  // a real duplicate still goes
  File("dst/keep.txt", "k");
  log = Run({Action(dir_ / "src", dir_ / "dst", 4)});
  EXPECT_EQ(ReadFile(dir_ / "dst/orphan.txt"), "linked from the source");
  EXPECT_TRUE(Holds(log, "File " + dir_ / "dst/orphan.txt" +
                             " was not deleted: a link of the source points to it"));
}

// One folder inside the other, both ways: the deleting operations refuse, and the script's
// later actions still run.
TEST_F(SynchSafetyTest, NestedFoldersAreNeverPruned) {
  File("x/outer.txt", "outer");
  File("x/sub/inner.txt", "inner");
  File("y/new.txt", "new");
  for (const auto& [source, target] :
       std::vector<std::pair<std::string, std::string>>{{"x/sub", "x"}, {"x", "x/sub"}}) {
    for (int code : {4, 5}) {
      std::vector<std::string> log = Run(
          {Action(dir_ / source, dir_ / target, code), Action(dir_ / "y", dir_ / "z", 3)}, "OK");
      EXPECT_TRUE(Holds(log, kNested)) << source << " " << code;
      EXPECT_EQ(
          ReadTree(dir_ / "x"),
          (FileTree{{"outer.txt", "outer"}, {"sub", kFolderMark}, {"sub/inner.txt", "inner"}}))
          << source << " -> " << target << " code " << code;
      EXPECT_EQ(ReadFile(dir_ / "z/new.txt"), "new");  // the next action ran
      RemoveTree(dir_ / "z");
    }
  }
}

// Links to folders outside the trees (under Wine, Unix links that Windows programs see as
// reparse points): nothing is written into them, nor deleted at their place, and a destination
// folder's links are found on the way.
TEST_F(SynchSafetyTest, NothingIsWrittenThroughALinkToAFolder) {
  File("outside/doc.txt", "newer outside", kLater);
  File("src/docs/doc.txt", "older source", kNoon);
  File("src/keep.txt", "k");
  MakeFolders(dir_ / "dst");
  if (!MakeHostLink(dir_ / "outside", dir_ / "dst/docs")) GTEST_SKIP() << "no links here";
  for (int code : {0, 3, 4}) {
    std::vector<std::string> log = Run({Action(dir_ / "src", dir_ / "dst", code)});
    EXPECT_EQ(ReadTree(dir_ / "outside"), (FileTree{{"doc.txt", "newer outside"}})) << code;
    EXPECT_TRUE(Holds(log, "Link to a folder, not followed: " + dir_ / "dst/docs" + Separator()));
  }
  // A link to a folder in the source: the target's files at its place are not orphans.
  File("p/real.txt", "r");
  ASSERT_TRUE(MakeHostLink(dir_ / "outside", dir_ / "p/docs"));
  File("q/docs/mine.txt", "not to be pruned");
  Run({Action(dir_ / "p", dir_ / "q", 4)});
  EXPECT_EQ(ReadFile(dir_ / "q/docs/mine.txt"), "not to be pruned");
  // A destination folder is never scanned: its links are found on the way.
  MakeFolders(dir_ / "dest");
  ASSERT_TRUE(MakeHostLink(dir_ / "outside", dir_ / "dest/docs"));
  std::vector<std::string> log =
      Run({Action(dir_ / "src", dir_ / "empty", 3, "Destination Path=" + dir_ / "dest" + "\r\n")});
  EXPECT_EQ(ReadTree(dir_ / "outside"), (FileTree{{"doc.txt", "newer outside"}}));
  EXPECT_EQ(ReadFile(dir_ / "dest/keep.txt"), "k");
  EXPECT_TRUE(Holds(log, "File " + dir_ / "src/docs/doc.txt" + " was not copied to " +
                             dir_ / "dest/docs/doc.txt" +
                             ": a folder on its way is a link, a file, or cannot be examined"));
}

// A link to a file outside the trees: an orphan link is deleted as a link, and the read-only
// file it points to is neither deleted nor made writable. (Under Wine such a link looks exactly
// like the file to Windows programs, so only Linux can keep this promise.)
TEST_F(SynchSafetyTest, ALinkToAFileIsDeletedAsALink) {
  if (OnWindows()) GTEST_SKIP() << "Windows programs under Wine cannot see a link to a file";
  File("outside/locked.txt", "read-only outside");
  ASSERT_EQ(RunProcess("chmod", {"0444", dir_ / "outside/locked.txt"}).exit_code, 0);
  File("src/keep.txt", "k");
  MakeFolders(dir_ / "dst");
  Link(dir_ / "outside/locked.txt", "dst/orphan-link.txt");
  Run({Action(dir_ / "src", dir_ / "dst", 4)});
  EXPECT_FALSE(PathExists(dir_ / "dst/orphan-link.txt"));
  EXPECT_EQ(ReadFile(dir_ / "outside/locked.txt"), "read-only outside");
  DirEntry locked;
  ASSERT_TRUE(RealFileSystem().GetEntry(dir_ / "outside/locked.txt", &locked).ok());
  EXPECT_TRUE(locked.attributes & attr::kReadOnly) << "made writable through the link";
}

// Names that differ only in letter case on one side. The exact name pairs; the other file is
// handled under its own name, but never copied over a file whose name differs only in case:
// under Wine (a file system that ignores case) it is logged instead, on Linux it is a file of
// its own. A second run changes nothing.
TEST_F(SynchSafetyTest, NamesDifferingInCaseNeverOverwriteEachOther) {
  File("src/a.txt", "lower", kLater);
  if (!WriteHostFileAt(dir_ / "src/A.TXT", "UPPER", kLater)) GTEST_SKIP() << "no twins here";
  File("dst/a.txt", "old lower");
  std::string clash = "File " + dir_ / "src/A.TXT" + " was not copied to " + dir_ / "dst/A.TXT" +
                      ": a file whose name differs only in letter case is there";
  // Under Wine the second name cannot be made beside the first; on Linux it is a file of its own.
  const std::vector<std::string> both =
      OnWindows() ? std::vector<std::string>{"a.txt"} : std::vector<std::string>{"A.TXT", "a.txt"};
  for (int run = 0; run < 2; ++run) {
    std::vector<std::string> log = Run({Action(dir_ / "src", dir_ / "dst", 3)});
    EXPECT_EQ(ReadFile(dir_ / "dst/a.txt"), "lower") << "run " << run;
    EXPECT_EQ(Names(dir_ / "dst"), both);
    EXPECT_EQ(Holds(log, clash), OnWindows()) << "run " << run;
  }
  // Synch: the newest file is never overwritten by an older one of another case.
  File("t/a.txt", "newest", kLater);
  File("u/a.txt", "old", kNoon);
  ASSERT_TRUE(WriteHostFileAt(dir_ / "u/A.TXT", "other", kNoon));
  Run({Action(dir_ / "t", dir_ / "u", 0)});
  EXPECT_EQ(ReadFile(dir_ / "t/a.txt"), "newest");
  EXPECT_EQ(ReadFile(dir_ / "u/a.txt"), "newest");
  EXPECT_EQ(Names(dir_ / "t"), both);
}

// Settings out of range refuse their action with a message naming the key; the next action runs.
TEST_F(SynchSafetyTest, AbsurdTimePrecisionRunsNothing) {
  for (std::string value : {"-5", "2147483648", "99999999999999999999"}) {
    File("src/a.txt", "older source", kNoon);
    File("dst/a.txt", "newer target", kLater);
    File("y/new.txt", "new");
    std::string refusal =
        "Time Check Precision=" + value +
        " is not a number of seconds from 0 to 2147483647: the action is not run.";
    std::vector<std::string> log =
        Run({Action(dir_ / "src", dir_ / "dst", 0, "Time Check Precision=" + value + "\r\n"),
             Action(dir_ / "y", dir_ / "z", 3)},
            "OK");
    // Not run at all: a normal Synch would bring the newer target to the source.
    EXPECT_EQ(ReadFile(dir_ / "src/a.txt"), "older source") << value;
    EXPECT_EQ(ReadFile(dir_ / "dst/a.txt"), "newer target") << value;
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], refusal);
    EXPECT_EQ(transcript_.at(0), "MessageBox: " + TranscriptText(refusal) + " -> OK");
    EXPECT_EQ(ReadFile(dir_ / "z/new.txt"), "new");
    RemoveTree(dir_ / "z");
  }
}

// Remove identical reads both files before it deletes: equal times and sizes are not enough.
TEST_F(SynchSafetyTest, DuplicatesWhoseContentsDifferAreKept) {
  File("src/a.txt", "12345");
  File("dst/a.txt", "54321");
  File("src/b.txt", "same");
  File("dst/b.txt", "same");
  std::vector<std::string> log = Run({Action(dir_ / "src", dir_ / "dst", 5)});
  EXPECT_EQ(ReadTree(dir_ / "dst"), (FileTree{{"a.txt", "54321"}}));
  EXPECT_TRUE(Holds(log, "File " + dir_ / "dst/a.txt" +
                             " was not deleted: its contents differ from " + dir_ / "src/a.txt"));
}

// Make dirs meets a file where the source has a folder: the file stays, and the log says so.
TEST_F(SynchSafetyTest, AFolderBlockedByAFileIsLogged) {
  MakeFolders(dir_ / "src/sub/deeper");
  File("dst/sub", "a file");
  std::vector<std::string> log = Run({Action(dir_ / "src", dir_ / "dst", 7)});
  EXPECT_EQ(ReadFile(dir_ / "dst/sub"), "a file");
  EXPECT_TRUE(Holds(log, "Folder was not created, a file of that name is in the way: " +
                             dir_ / "dst/sub" + Separator()));
}

// A date filter whose year the date reader takes but the file time scale cannot hold is refused
// with the year's message, not dropped without a word (which would let every file through).
TEST_F(SynchSafetyTest, AYearBeyondTheTimeScaleIsReported) {
  File("src/a.txt", "a");
  Run({Action(dir_ / "src", dir_ / "dst", 3, "Min Date Filter=1/1/30830\r\n")}, "OK");
  EXPECT_EQ(transcript_, std::vector<std::string>{"MessageBox: Invalid year -> OK"});
}

// A sparse file is copied with its holes: 1 GiB of hole stays a hole in the target.
TEST_F(SynchSafetyTest, ASparseFileKeepsItsHoles) {
  if (OnWindows()) GTEST_SKIP() << "holes are copied by the Linux file service";
  File("src/sparse.bin", "data at the start");
  ASSERT_EQ(RunProcess("truncate", {"-s", "1G", dir_ / "src/sparse.bin"}).exit_code, 0);
  auto blocks = [&](const std::string& relative) {
    ProcessResult stat = RunProcess("stat", {"-c", "%b", dir_ / relative});
    EXPECT_EQ(stat.exit_code, 0) << stat.errors;
    return std::stoll(stat.output.empty() ? "-1" : stat.output);
  };
  if (blocks("src/sparse.bin") > 1024) GTEST_SKIP() << "this file system keeps no holes";
  Run({Action(dir_ / "src", dir_ / "dst", 3)});
  DirEntry copied;
  ASSERT_TRUE(RealFileSystem().GetEntry(dir_ / "dst/sparse.bin", &copied).ok());
  EXPECT_EQ(copied.size, 1ull << 30);
  EXPECT_LE(blocks("dst/sparse.bin"), 1024) << "the hole was written out";
}

}  // namespace
}  // namespace tsl::testing
