#include "synch/operations.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/fault_injection.h"
#include "synch/synch_job.h"
#include "services/test_job_services.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::Native;
using testing::ScopedTempDir;
using testing::SplitLines;
using testing::WriteFile;

constexpr FileTime kSecond = 10000000;
constexpr FileTime kNoon = 132593328000000000LL;  // 2021-03-04 12:00:00 UTC
constexpr FileTime kLater = kNoon + 3600 * kSecond;
const char* const kFolder = testing::kFolderMark;
const char kGone[] = "<gone>";

using Tree = testing::FileTree;

class OperationsTest : public ::testing::Test {
 protected:
  OperationsTest() : job_(services_) {}

  void Answers(const std::string& answers) { questions_.Answers(answers); }

  void File(const std::string& relative, const std::string& content, FileTime modified = kNoon) {
    if (content == kFolder) return testing::MakeFolders(dir_ / relative);
    testing::WriteFileAt(dir_ / relative, content, modified);
  }

  // The two folders of most tests: a file of every kind of difference.
  void StandardTrees() {
    File("src/only1.txt", "only1");
    File("src/newer.txt", "newer src", kLater);
    File("src/older.txt", "older src");
    File("src/same.txt", "same");
    File("src/differ.txt", "differ-src");
    File("src/sub/deep.txt", "deep");
    File("src/emptydir", kFolder);
    File("dst/newer.txt", "newer dst");
    File("dst/older.txt", "older dst", kLater);
    File("dst/same.txt", "same");
    File("dst/differ.txt", "differ-dst!");
    File("dst/only2.txt", "only2");
    File("dst/orphan/x.txt", "x");
    File("dst/dstempty", kFolder);
  }

  // Runs one action with the folders src and dst, sorted by name so that the log's order is
  // fixed; the log's lines.
  std::vector<std::string> Run(int code, const std::string& more = "") {
    services_.outputs.clear();
    job_.RunSynchronizationScript(Script(
        "[Default]\nPath1=" + dir_ / "src" + "\nPath2=" + dir_ / "dst" +
        "\nOutput File=log\nSort Compare=0\n" + "Show progress=0\nConfirm Updates=0\nOperation=" +
        std::to_string(code) + "\n" + more + "[Action1]\n"));
    auto log = services_.outputs.find("log");
    return log == services_.outputs.end() ? std::vector<std::string>{} : SplitLines(log->second);
  }

  std::string Script(const std::string& text) {
    WriteFile(dir_ / "job.ini", text);
    return dir_ / "job.ini";
  }

  // Everything below a folder: files with their contents, folders marked.
  Tree Contents(const std::string& name) { return testing::ReadTree(dir_ / name); }

  std::vector<std::string> Transcript() { return questions_.TakeTranscript(); }

  std::string Path(const std::string& relative) { return dir_ / relative; }
  std::string Folder(const std::string& name) { return dir_ / name + testing::Separator(); }
  std::string Copied(const std::string& from, const std::string& to) {
    return "File " + Path(from) + " was copied to " + Path(to);
  }
  std::string Deleted(const std::string& path) { return "File " + Path(path) + " was deleted"; }
  // The two header lines, with the test services' time stamp.
  std::vector<std::string> Header(const std::string& title, const std::string& mask = "*.*") {
    return {title + " 5/6/2024 2:30:15 PM using mask (" + mask + ")",
            "Source: " + Folder("src") + "\tTarget: " + Folder("dst")};
  }

  ScopedTempDir dir_;
  testing::ScriptedQuestions questions_{dir_ / "transcript.txt"};
  testing::TestServices services_;
  SynchJob job_;
};

Tree Changed(Tree tree, const Tree& changes) {
  for (const auto& [path, content] : changes) {
    if (content == kGone) {
      tree.erase(path);
    } else {
      tree[path] = content;
    }
  }
  return tree;
}

// What each operation code does with the standard trees (older overwrite on, newer off): the
// log line by line, and both trees afterwards.
TEST_F(OperationsTest, EveryCodeOnTheStandardTrees) {
  const Tree src = {{"only1.txt", "only1"},       {"newer.txt", "newer src"},
                    {"older.txt", "older src"},   {"same.txt", "same"},
                    {"differ.txt", "differ-src"}, {"sub", kFolder},
                    {"sub/deep.txt", "deep"},     {"emptydir", kFolder}};
  const Tree dst = {{"newer.txt", "newer dst"},    {"older.txt", "older dst"}, {"same.txt", "same"},
                    {"differ.txt", "differ-dst!"}, {"only2.txt", "only2"},     {"orphan", kFolder},
                    {"orphan/x.txt", "x"},         {"dstempty", kFolder}};
  const Tree added = {
      {"only1.txt", "only1"}, {"sub", kFolder}, {"sub/deep.txt", "deep"}, {"emptydir", kFolder}};
  const Tree updated = {{"newer.txt", "newer src"}, {"differ.txt", "differ-src"}};
  std::vector<std::string> add_lines = {Copied("src/sub/deep.txt", "dst/sub/deep.txt"),
                                        Copied("src/only1.txt", "dst/only1.txt")};
  std::vector<std::string> update_lines = {Copied("src/differ.txt", "dst/differ.txt"),
                                           Copied("src/newer.txt", "dst/newer.txt")};
  auto join = [](std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  };
  std::vector<std::string> complete = {"Operation complete!"};
  struct Case {
    int code;
    std::string title;
    std::vector<std::string> body;
    Tree src_after, dst_after;
  } cases[] = {
      {0,
       "Two-directory synchronization performed at",
       {Copied("src/sub/deep.txt", "dst/sub/deep.txt"), Copied("src/only1.txt", "dst/only1.txt"),
        Copied("dst/differ.txt", "src/differ.txt"), Copied("src/newer.txt", "dst/newer.txt"),
        Copied("dst/older.txt", "src/older.txt"), Copied("dst/only2.txt", "src/only2.txt"),
        Copied("dst/orphan/x.txt", "src/orphan/x.txt")},
       Changed(src, {{"older.txt", "older dst"},
                     {"differ.txt", "differ-dst!"},
                     {"only2.txt", "only2"},
                     {"orphan", kFolder},
                     {"orphan/x.txt", "x"},
                     {"dstempty", kFolder}}),
       Changed(dst, Changed(added, {{"newer.txt", "newer src"}}))},
      {1, "Augment target operation performed at", add_lines, src, Changed(dst, added)},
      {2, "Refresh target operation performed at", update_lines, src, Changed(dst, updated)},
      {3, "Update target operation performed at", join({add_lines, update_lines}), src,
       Changed(Changed(dst, added), updated)},
      {4, "Prune target operation performed at",
       join({{Deleted("dst/only2.txt"), Deleted("dst/orphan/x.txt")}, add_lines, update_lines}),
       src,
       Changed(Changed(Changed(dst, added), updated), {{"only2.txt", kGone},
                                                       {"orphan", kGone},
                                                       {"orphan/x.txt", kGone},
                                                       {"dstempty", kGone}})},
      {5,
       "Remove identical from target operation performed at",
       {Deleted("dst/same.txt")},
       src,
       Changed(dst, {{"same.txt", kGone}})},
      {7, "Recreate subdirs at", {}, src, Changed(dst, {{"sub", kFolder}, {"emptydir", kFolder}})},
      {8, "Delete Empty subdirs at", {}, src, Changed(dst, {{"dstempty", kGone}})},
  };
  for (const Case& c : cases) {
    testing::RemoveTree(dir_ / "src");
    testing::RemoveTree(dir_ / "dst");
    StandardTrees();
    std::vector<std::string> log = Run(c.code);
    EXPECT_EQ(log, join({Header(c.title), c.body, complete})) << c.code;
    EXPECT_EQ(Contents("src"), c.src_after) << c.code;
    EXPECT_EQ(Contents("dst"), c.dst_after) << c.code;
    EXPECT_TRUE(Transcript().empty()) << c.code;
  }
}

// A copy has its source's time; the pair then counts as the same.
TEST_F(OperationsTest, CopiesKeepTheirSourcesTimes) {
  StandardTrees();
  Run(op::kSynchronize);
  DirEntry entry;
  ASSERT_TRUE(Files().GetEntry(Path("dst/newer.txt"), &entry).ok());
  EXPECT_EQ(entry.modified, kLater);
  ASSERT_TRUE(Files().GetEntry(Path("src/older.txt"), &entry).ok());
  EXPECT_EQ(entry.modified, kLater);
  std::vector<std::string> again = Run(op::kSynchronize);
  EXPECT_EQ(again.size(), 3u);  // header and end: nothing left to copy
}

// The rules for pairs whose times agree within the precision, and the overwrite switches.
TEST_F(OperationsTest, PairsByTimeSizeAndOverwriteSwitches) {
  struct Case {
    int code;
    FileTime target_time;
    std::string target_content;
    std::string switches;
    bool copied;
  } cases[] = {
      {3, kNoon + kSecond, "12345", "", false},  // within 3 s, same size
      {3, kNoon, "1234567", "", true},           // same time, other size
      {3, kNoon, "1234567", "Older Overwrite=0\nNewer Overwrite=1\n", true},
      {3, kNoon, "1234567", "Older Overwrite=0\n", false},
      {3, kLater, "12345", "", false},                    // the target is newer
      {2, kLater, "12345", "Newer Overwrite=1\n", true},  // ... but may be replaced
      {3, kNoon + 4 * kSecond, "12345", "Time Check Precision=5\n", false},
  };
  for (const Case& c : cases) {
    File("src/a.txt", "12345");
    File("dst/a.txt", c.target_content, c.target_time);
    Run(c.code, c.switches);
    EXPECT_EQ(testing::ReadFile(Path("dst/a.txt")), c.copied ? "12345" : c.target_content)
        << c.code << " " << c.switches;
  }
}

TEST_F(OperationsTest, IdenticalNeedsExactlyTheSameTimeAndNeverTheFileItself) {
  File("src/a.txt", "same");
  File("dst/a.txt", "same", kNoon + kSecond);  // identical to the comparison, not to code 5
  std::vector<std::string> log = Run(op::kIdentical);
  EXPECT_TRUE(PathExists(Path("dst/a.txt")));
  EXPECT_EQ(log.size(), 3u);
  // Contents compared and found different: no duplicate, whatever the times and sizes say.
  File("dst/a.txt", "SAME");
  log = Run(op::kIdentical, "Check Same Size Files=1\n");
  EXPECT_TRUE(PathExists(Path("dst/a.txt")));
  EXPECT_EQ(log.size(), 3u);
  File("dst/a.txt", "same");
  log = Run(op::kIdentical, "Check Same Size Files=1\n");
  EXPECT_FALSE(PathExists(Path("dst/a.txt")));
  EXPECT_EQ(log.at(2), Deleted("dst/a.txt"));
  // The same folder as source and target: every pair is one file; the operation refuses, and
  // nothing is deleted.
  services_.outputs.clear();
  job_.RunSynchronizationScript(Script(
      "[Default]\nPath1=" + dir_ / "src" + "\nPath2=" + dir_ / "src" +
      "\nOutput File=log\nShow progress=0\n" + "Confirm Updates=0\nOperation=5\n[Action1]\n"));
  EXPECT_TRUE(PathExists(Path("src/a.txt")));
  EXPECT_EQ(SplitLines(services_.outputs["log"]).back(),
            "The source and target folders are the same folder, or one lies inside the other: "
            "nothing is deleted.");
}

TEST_F(OperationsTest, SynchWithADestinationFolderLeavesTheComparedFoldersAlone) {
  StandardTrees();
  Tree src_before = Contents("src"), dst_before = Contents("dst");
  std::vector<std::string> log = Run(op::kSynchronize, "Destination Path=" + dir_ / "out" + "\n");
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[1], "Source: " + Folder("src") + "\tTarget: " + Folder("dst") +
                        "\tDestination: " + dir_ / "out");
  EXPECT_EQ(Contents("out"), (Tree{{"only1.txt", "only1"},
                                   {"sub", kFolder},
                                   {"sub/deep.txt", "deep"},
                                   {"differ.txt", "differ-dst!"},
                                   {"newer.txt", "newer src"},
                                   {"older.txt", "older dst"},
                                   {"only2.txt", "only2"},
                                   {"orphan", kFolder},
                                   {"orphan/x.txt", "x"}}));
  // Only the folder trees were recreated in the compared folders themselves.
  EXPECT_EQ(Contents("src"), Changed(src_before, {{"orphan", kFolder}, {"dstempty", kFolder}}));
  EXPECT_EQ(Contents("dst"), Changed(dst_before, {{"sub", kFolder}, {"emptydir", kFolder}}));
  EXPECT_EQ(log.back(), "Operation complete!");
  EXPECT_EQ(log[4], Copied("dst/differ.txt", "out/differ.txt"));
}

TEST_F(OperationsTest, PruneOfAnEmptySourceDeletesNothing) {
  File("src", kFolder);
  File("dst/a.txt", "a");
  std::vector<std::string> log = Run(op::kPrune);
  EXPECT_EQ(log.back(),
            "Source directory is empty. Since prune would delete all target files, operation is "
            "aborted.");
  EXPECT_EQ(log.size(), 3u);
  EXPECT_TRUE(PathExists(Path("dst/a.txt")));
}

TEST_F(OperationsTest, MatchInSubfoldersDoesNothing) {
  File("src/a.txt", "a");
  Run(op::kUpdate, "Match In Subdir=1\n");
  EXPECT_TRUE(services_.outputs.empty());
  EXPECT_FALSE(PathExists(Path("dst")));
}

// The folder check: a folder text without a separator has no root, and the job stops; with
// display error messages on, the text is shown and Cancel stops the remaining actions too.
TEST_F(OperationsTest, FolderCheckStopsTheOperation) {
  File("dst/a.txt", "a");
  services_.outputs.clear();
  Answers("Cancel;No;OK");
  job_.RunSynchronizationScript(Script("[Default]\nPath2=" + dir_ / "dst" +
                                       "\nOutput File=log\nShow progress=0\nOperation=0\n"
                                       "Display Error Messages=1\n[Action1]\n[Action2]\n"));
  std::string text = SystemErrorText(ErrorOfKind(ErrorKind::kPathNotFound).code) + ": ";
  std::vector<std::string> log = SplitLines(services_.outputs["log"]);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2], text);
  EXPECT_EQ(Transcript(),
            (std::vector<std::string>{"MessageBox: " + testing::TranscriptText(text) + " -> Cancel",
                                      "MessageBox: Cancel remaining 1 action(s)? -> No",
                                      "MessageBox: " + testing::TranscriptText(text) + " -> OK",
                                      "MessageBox: 2 action(s) in script file\\n" +
                                          testing::TranscriptText(dir_ / "job.ini") +
                                          "\\nwere processed. -> OK"}));
  EXPECT_FALSE(job_.cancelled());
}

// Cancel in a confirmation aborts the batch: no end line, and the next action does not run.
TEST_F(OperationsTest, CancelInTheConfirmationStopsTheJob) {
  File("src/a.txt", "new", kLater);
  File("dst/a.txt", "old");
  File("src/b.txt", "b");
  Answers("Cancel");
  services_.outputs.clear();
  job_.RunSynchronizationScript(
      Script("[Default]\nPath1=" + dir_ / "src" + "\nPath2=" + dir_ / "dst" +
             "\nShow progress=0\nOperation=3\nSort Compare=0\n[Action1]\nOutput File=log1\n"
             "[Action2]\nOutput File=log2\n"));
  std::vector<std::string> log = SplitLines(services_.outputs["log1"]);
  ASSERT_EQ(log.size(), 3u);  // the header and the new file copied before the question
  EXPECT_EQ(log[2], Copied("src/b.txt", "dst/b.txt"));
  EXPECT_EQ(services_.outputs.count("log2"), 0u);
  EXPECT_EQ(testing::ReadFile(Path("dst/a.txt")), "old");
  EXPECT_TRUE(job_.cancelled());
}

// A comparison cancelled in its progress window leaves lists that describe part of the folders:
// acting on them could copy over or delete what was never seen, so nothing is done.
TEST_F(OperationsTest, ACancelledComparisonChangesNothing) {
  File("src/a.txt", "a");
  File("dst/b.txt", "b");
  services_.cancel_at_steps = {0};
  services_.outputs.clear();
  job_.RunSynchronizationScript(
      Script("[Default]\nPath1=" + dir_ / "src" + "\nPath2=" + dir_ / "dst" +
             "\nOutput File=log\nConfirm Updates=0\n" + "Operation=4\n[Action1]\n"));
  EXPECT_EQ(SplitLines(services_.outputs["log"]).size(), 2u);
  EXPECT_TRUE(PathExists(Path("dst/b.txt")));
  EXPECT_FALSE(PathExists(Path("dst/a.txt")));
  EXPECT_TRUE(job_.cancelled());
}

// Fails the listing of chosen folders, as a folder without read permission does.
class LockedFolders : public FaultInjectingFileSystem {
 public:
  explicit LockedFolders(std::vector<std::string> locked)
      : FaultInjectingFileSystem(RealFileSystem()), locked_(std::move(locked)) {}
  SysError ListFolder(const std::string& folder, std::vector<DirEntry>* entries) override {
    for (const std::string& path : locked_) {
      if (folder == path) return ErrorOfKind(ErrorKind::kAccessDenied);
    }
    return FaultInjectingFileSystem::ListFolder(folder, entries);
  }

 private:
  std::vector<std::string> locked_;
};

// A folder that cannot be listed hides what it holds: a synchronization neither copies over it
// nor prunes what its counterpart holds, and the log says which folder it was.
TEST_F(OperationsTest, FoldersThatCannotBeListedAreLeftAlone) {
  File("src/locked/a.txt", "new", kLater);
  File("dst/locked/a.txt", "newest", kLater + kSecond * 60);
  File("src/open/b.txt", "b");
  File("dst/gone/c.txt", "c");
  std::string denied = SystemErrorText(ErrorOfKind(ErrorKind::kAccessDenied).code);
  {
    LockedFolders locked({Folder("dst/locked")});
    ScopedFileSystem scope(locked);
    std::vector<std::string> log = Run(op::kSynchronize);
    EXPECT_EQ(log,
              (std::vector<std::string>{
                  Header("Two-directory synchronization performed at")[0],
                  Header("Two-directory synchronization performed at")[1],
                  denied + ": " + Folder("dst/locked"), Copied("src/open/b.txt", "dst/open/b.txt"),
                  Copied("dst/gone/c.txt", "src/gone/c.txt"), "Operation complete!"}));
  }
  EXPECT_EQ(testing::ReadFile(Path("dst/locked/a.txt")), "newest");
  {
    LockedFolders locked({Folder("src/locked")});
    ScopedFileSystem scope(locked);
    File("dst/locked/only.txt", "only in target");
    Run(op::kPrune);
  }
  EXPECT_TRUE(PathExists(Path("dst/locked/only.txt")));
  EXPECT_TRUE(PathExists(Path("dst/locked/a.txt")));
}

TEST(OperationLogHeaderTest, TitlesAndTheDestination) {
  SynchSettings settings;
  settings.mask = "*.txt";
  struct Case {
    int code;
    const char* start;
  } cases[] = {{0, "Two-directory synchronization performed at T using mask (*.txt)\r\n"},
               {1, "Augment target operation performed at T"},
               {2, "Refresh target operation performed at T"},
               {3, "Update target operation performed at T"},
               {4, "Prune target operation performed at T"},
               {5, "Remove identical from target operation performed at T"},
               {7, "Recreate subdirs at T"},
               {8, "Delete Empty subdirs at T"}};
  for (const Case& c : cases) {
    std::string header = OperationLogHeader(c.code, "T", settings, "S", "D");
    EXPECT_EQ(header.rfind(c.start, 0), 0u) << header;
    EXPECT_EQ(header.substr(header.find("\r\n")), "\r\nSource: S\tTarget: D\r\n");
  }
  settings.destination_folder = "X";
  EXPECT_EQ(OperationLogHeader(3, "T", settings, "S", "D"),
            "Update target operation performed at T using mask (*.txt)\r\nSource: S\tTarget: "
            "D\tDestination: X\r\n");
}

}  // namespace
}  // namespace tsl
