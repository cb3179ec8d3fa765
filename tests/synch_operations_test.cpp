// The synchronization operations as users run them: TslRun on folder trees laid out by the test,
// with scripted answers and a transcript, checked by the log line by line, the trees and the
// files' times afterwards.
#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

constexpr FileTime kSecond = 10000000;
constexpr FileTime kNoon = 132593328000000000LL;  // 2021-03-04 12:00:00 UTC
constexpr FileTime kLater = kNoon + 3600 * kSecond;
const char* const kFolder = kFolderMark;

using Tree = FileTree;

class SynchOperationsTest : public ::testing::Test {
 protected:
  void File(const std::string& relative, const std::string& content, FileTime modified = kNoon) {
    if (content == kFolder) return MakeFolders(dir_ / relative);
    WriteFileAt(dir_ / relative, content, modified);
  }

  void StandardTrees() {
    File("src/only1.txt", "only1");
    File("src/newer.txt", "newer src", kLater);
    File("src/older.txt", "older src");
    File("src/same.txt", "same");
    File("src/sub/deep.txt", "deep");
    File("src/emptydir", kFolder);
    File("dst/newer.txt", "newer dst");
    File("dst/older.txt", "older dst", kLater);
    File("dst/same.txt", "same");
    File("dst/only2.txt", "only2");
    File("dst/orphan/x.txt", "x");
  }

  // Runs one action on src and dst, sorted by name; gives the log's lines (CR LF checked).
  std::vector<std::string> Run(int code, const std::string& answers, const std::string& more = "") {
    std::string script =
        "[Default]\r\nPath1=" + dir_ / "src" + "\r\nPath2=" + dir_ / "dst" +
        "\r\nOutput File=" + dir_ / "log.txt" +
        "\r\nSort Compare=0\r\nShow progress=0\r\nOperation=" + std::to_string(code) + "\r\n" +
        more + "[Action1]\r\n";
    WriteFile(dir_ / "job.ini", script);
    Files().RemoveFile(dir_ / "log.txt");
    ProcessResult result = RunTslRun(dir_ / "job.ini" + "|||", dir_.path(), answers, &transcript_,
                                     {{"TZ", "UTC"}, {"TESSALINE_REGISTRY", dir_ / "reg.db"}});
    EXPECT_TRUE(result.error.ok());
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    std::string log;
    RealFileSystem().ReadWholeFile(dir_ / "log.txt", &log);
    std::size_t lines = 0, crlf = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
      lines += log[i] == '\n';
      crlf += log[i] == '\n' && i > 0 && log[i - 1] == '\r';
    }
    EXPECT_EQ(crlf, lines) << "every log line ends with CR LF";
    return SplitLines(log);
  }

  Tree Contents(const std::string& name) { return ReadTree(dir_ / name); }

  FileTime Modified(const std::string& relative) {
    DirEntry entry;
    EXPECT_TRUE(RealFileSystem().GetEntry(dir_ / relative, &entry).ok()) << relative;
    return entry.modified;
  }

  std::string Folder(const std::string& name) { return dir_ / name + Separator(); }
  std::string Copied(const std::string& from, const std::string& to) {
    return "File " + dir_ / from + " was copied to " + dir_ / to;
  }
  // The header's first line has the time of the run: its text around it is checked.
  void ExpectHeader(const std::vector<std::string>& log, const std::string& title) {
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].rfind(title + " ", 0), 0u) << log[0];
    std::string end = " using mask (*.*)";
    EXPECT_EQ(log[0].substr(log[0].size() - end.size()), end) << log[0];
    EXPECT_GT(log[0].size(), title.size() + end.size() + 8) << "a time stamp: " << log[0];
    EXPECT_EQ(log[1], "Source: " + Folder("src") + "\tTarget: " + Folder("dst"));
  }
  // The log without its two header lines.
  static std::vector<std::string> Body(const std::vector<std::string>& log) {
    return log.size() < 2 ? log : std::vector<std::string>(log.begin() + 2, log.end());
  }
  std::string Asked(const std::string& header, const std::string& to, FileTime to_time,
                    std::size_t to_size, const std::string& from, FileTime from_time,
                    std::size_t from_size, const std::string& answer) {
    return "Question: Replace Confirmation: " + header + "\\n" + TranscriptText(dir_ / to) + " (" +
           std::to_string(to_size) + " bytes), modified " + When(to_time) + "\\nwith:\\n" +
           TranscriptText(dir_ / from) + " (" + std::to_string(from_size) + " bytes), modified " +
           When(from_time) + "? -> " + answer;
  }
  // A UTC time as TslRun shows it when local time is UTC (default pictures).
  static std::string When(FileTime utc) {
    return utc == kNoon ? "3/4/2021 12:00:00 PM" : "3/4/2021 1:00:00 PM";
  }

  ScopedTempDir dir_;
  std::vector<std::string> transcript_;
};

const char kOverwrite[] = "Do you want to overwrite the file:";

TEST_F(SynchOperationsTest, EveryOperationCode) {
  const Tree src = {{"only1.txt", "only1"}, {"newer.txt", "newer src"}, {"older.txt", "older src"},
                    {"same.txt", "same"},   {"sub", kFolder},           {"sub/deep.txt", "deep"},
                    {"emptydir", kFolder}};
  const Tree dst = {{"newer.txt", "newer dst"}, {"older.txt", "older dst"}, {"same.txt", "same"},
                    {"only2.txt", "only2"},     {"orphan", kFolder},        {"orphan/x.txt", "x"}};
  auto with = [](Tree tree, const Tree& changes) {
    for (const auto& [path, content] : changes) {
      if (content.empty()) {
        tree.erase(path);
      } else {
        tree[path] = content;
      }
    }
    return tree;
  };
  const Tree added = {{"only1.txt", "only1"},
                      {"sub", kFolder},
                      {"sub/deep.txt", "deep"},
                      {"emptydir", kFolder},
                      {"newer.txt", "newer src"}};
  std::vector<std::string> adds = {Copied("src/sub/deep.txt", "dst/sub/deep.txt"),
                                   Copied("src/only1.txt", "dst/only1.txt")};
  std::string newer = Copied("src/newer.txt", "dst/newer.txt");
  std::string complete = "Operation complete!";
  struct Case {
    int code;
    std::string title;
    std::vector<std::string> body;
    Tree src_after, dst_after;
  } cases[] = {
      {0,
       "Two-directory synchronization performed at",
       {adds[0], adds[1], newer, Copied("dst/older.txt", "src/older.txt"),
        Copied("dst/only2.txt", "src/only2.txt"), Copied("dst/orphan/x.txt", "src/orphan/x.txt"),
        complete},
       with(src, {{"older.txt", "older dst"},
                  {"only2.txt", "only2"},
                  {"orphan", kFolder},
                  {"orphan/x.txt", "x"}}),
       with(dst, added)},
      {1,
       "Augment target operation performed at",
       {adds[0], adds[1], complete},
       src,
       with(dst, with(added, {{"newer.txt", ""}}))},
      {2,
       "Refresh target operation performed at",
       {newer, complete},
       src,
       with(dst, {{"newer.txt", "newer src"}})},
      {3,
       "Update target operation performed at",
       {adds[0], adds[1], newer, complete},
       src,
       with(dst, added)},
      {4,
       "Prune target operation performed at",
       {"File " + dir_ / "dst/only2.txt" + " was deleted",
        "File " + dir_ / "dst/orphan/x.txt" + " was deleted", adds[0], adds[1], newer, complete},
       src,
       with(with(dst, added), {{"only2.txt", ""}, {"orphan", ""}, {"orphan/x.txt", ""}})},
      {5,
       "Remove identical from target operation performed at",
       {"File " + dir_ / "dst/same.txt" + " was deleted", complete},
       src,
       with(dst, {{"same.txt", ""}})},
      {7,
       "Recreate subdirs at",
       {complete},
       src,
       with(dst, {{"sub", kFolder}, {"emptydir", kFolder}})},
      {8, "Delete Empty subdirs at", {complete}, src, dst},
  };
  for (const Case& c : cases) {
    RemoveTree(dir_ / "src");
    RemoveTree(dir_ / "dst");
    StandardTrees();
    std::vector<std::string> log = Run(c.code, "", "Confirm Updates=0\r\n");
    ExpectHeader(log, c.title);
    EXPECT_EQ(Body(log), c.body) << c.code;
    EXPECT_EQ(Contents("src"), c.src_after) << c.code;
    EXPECT_EQ(Contents("dst"), c.dst_after) << c.code;
    EXPECT_TRUE(transcript_.empty()) << c.code;
    if (c.code == 0) {
      EXPECT_EQ(Modified("dst/newer.txt"), kLater);
      EXPECT_EQ(Modified("src/older.txt"), kLater);
      EXPECT_EQ(Modified("dst/sub/deep.txt"), kNoon);
    }
  }
}

// Update of three older targets, the confirmations answered in turn.
TEST_F(SynchOperationsTest, ConfirmationsAnswered) {
  struct Case {
    std::string answers;
    std::vector<std::string> asked;  // the answers given, in order
    std::string replaced;            // per file a, b, c: y or n
    bool cancelled;
  } cases[] = {
      {"Yes;No;Yes", {"Yes", "No", "Yes"}, "yny", false},
      {"No;Yes to All", {"No", "Yes to All"}, "nyy", false},
      {"No to All", {"No to All"}, "nnn", false},
      {"Yes;Cancel", {"Yes", "Cancel"}, "ynn", true},
  };
  for (const Case& c : cases) {
    for (const char* name : {"a", "b", "c"}) {
      File(std::string("src/") + name + ".txt", "new", kLater);
      File(std::string("dst/") + name + ".txt", "older");
    }
    std::vector<std::string> log = Run(3, c.answers);
    std::vector<std::string> expected_transcript, expected_body;
    for (std::size_t i = 0; i < c.asked.size(); ++i) {
      std::string name = std::string(1, static_cast<char>('a' + i)) + ".txt";
      expected_transcript.push_back(
          Asked(kOverwrite, "dst/" + name, kNoon, 5, "src/" + name, kLater, 3, c.asked[i]));
    }
    for (int i = 0; i < 3; ++i) {
      std::string name = std::string(1, static_cast<char>('a' + i)) + ".txt";
      bool replaced = c.replaced[i] == 'y';
      EXPECT_EQ(ReadFile(dir_ / ("dst/" + name)), replaced ? "new" : "older") << c.answers;
      if (c.cancelled && i >= static_cast<int>(c.asked.size()) - 1) continue;
      expected_body.push_back(replaced ? Copied("src/" + name, "dst/" + name)
                                       : "Operation aborted: copying " + dir_ / ("src/" + name) +
                                             " to " + dir_ / ("dst/" + name));
    }
    if (!c.cancelled) expected_body.push_back("Operation complete!");
    ExpectHeader(log, "Update target operation performed at");
    EXPECT_EQ(Body(log), expected_body) << c.answers;
    EXPECT_EQ(transcript_, expected_transcript) << c.answers;
  }
}

// A read-only target: asked with its own question; without confirmation it is overwritten.
TEST_F(SynchOperationsTest, ReadOnlyTargets) {
  File("src/a.txt", "new", kLater);
  File("dst/a.txt", "older");
  ASSERT_TRUE(RealFileSystem().SetAttributes(dir_ / "dst/a.txt", attr::kReadOnly).ok());
  std::vector<std::string> log = Run(3, "No");
  EXPECT_EQ(Body(log),
            (std::vector<std::string>{
                "Operation aborted: copying " + dir_ / "src/a.txt" + " to " + dir_ / "dst/a.txt",
                "Operation complete!"}));
  EXPECT_EQ(transcript_, std::vector<std::string>{
                             Asked("Target File is read-only, hidden or system.  Do you want to "
                                   "overwrite the file:",
                                   "dst/a.txt", kNoon, 5, "src/a.txt", kLater, 3, "No")});
  EXPECT_EQ(ReadFile(dir_ / "dst/a.txt"), "older");

  log = Run(3, "", "Confirm Updates=0\r\n");
  EXPECT_EQ(Body(log),
            (std::vector<std::string>{Copied("src/a.txt", "dst/a.txt"), "Operation complete!"}));
  EXPECT_EQ(ReadFile(dir_ / "dst/a.txt"), "new");
  EXPECT_EQ(Modified("dst/a.txt"), kLater);
  EXPECT_TRUE(transcript_.empty());
}

// A copy that the system refuses: where the source has a folder, the target has a file. The
// log has the system's text in quotes; with confirmations on, the error list shows the line.
TEST_F(SynchOperationsTest, ACopyThatFailsIsLoggedAndListed) {
  File("src/sub/a.txt", "a");
  File("src/b.txt", "b");
  File("dst/sub", "a file where the source has a folder");
  std::vector<std::string> log = Run(3, "");
  std::vector<std::string> body = Body(log);
  ASSERT_EQ(body.size(), 4u);
  // The folder tree's recreation meets the file first, and says so.
  EXPECT_EQ(body[0],
            "Folder was not created, a file of that name is in the way: " + Folder("dst/sub"));
  std::string tail = "\" copying file: " + dir_ / "src/sub/a.txt" + " to " + dir_ / "dst/sub/a.txt";
  EXPECT_EQ(body[1].rfind("Error \"", 0), 0u) << body[1];
  ASSERT_GT(body[1].size(), tail.size() + 8);
  EXPECT_EQ(body[1].substr(body[1].size() - tail.size()), tail);
  EXPECT_EQ(body[2], Copied("src/b.txt", "dst/b.txt"));
  EXPECT_EQ(body[3], "Operation complete!");
  EXPECT_EQ(transcript_, std::vector<std::string>{"Question: File Operations Errors: " +
                                                  TranscriptText(body[1]) + " -> OK"});
  EXPECT_EQ(ReadFile(dir_ / "dst/sub"), "a file where the source has a folder");
}

// Removes the immutable flag again when the test ends, so that the folder can be deleted.
class Immutable {
 public:
  explicit Immutable(std::string path) : path_(std::move(path)) {
    ProcessResult result = RunProcess("chattr", {"+i", path_});
    set_ = result.error.ok() && result.exit_code == 0;
    why_ = result.errors;
  }
  ~Immutable() {
    if (set_) RunProcess("chattr", {"-i", path_});
  }
  bool set() const { return set_; }
  const std::string& why() const { return why_; }

 private:
  std::string path_;
  bool set_ = false;
  std::string why_;
};

// On Linux a user with every permission (the test may run as root) still cannot replace a file
// marked immutable: the copy fails and the file stays as it was.
TEST_F(SynchOperationsTest, ReplacingAnImmutableFileFailsAndKeepsIt) {
  if (Separator() == '\\') GTEST_SKIP() << "chattr is a Linux matter";
  File("src/a.txt", "new", kLater);
  File("dst/a.txt", "older");
  Immutable locked(dir_ / "dst/a.txt");
  if (!locked.set()) GTEST_SKIP() << "chattr +i refused here: " << locked.why();
  std::vector<std::string> log = Run(3, "", "Confirm Updates=0\r\n");
  EXPECT_EQ(Body(log),
            (std::vector<std::string>{"Error \"Operation not permitted\" copying file: " +
                                          dir_ / "src/a.txt" + " to " + dir_ / "dst/a.txt",
                                      "Operation complete!"}));
  EXPECT_EQ(ReadFile(dir_ / "dst/a.txt"), "older");
  EXPECT_EQ(Modified("dst/a.txt"), kNoon);
  EXPECT_TRUE(transcript_.empty());  // no confirmation and a log: no error list
  std::vector<DirEntry> entries;
  RealFileSystem().ListFolder(dir_ / "dst", &entries);
  EXPECT_EQ(entries.size(), 1u) << "no temporary file is left";
}

TEST_F(SynchOperationsTest, PruneAsksBeforeDeleting) {
  File("src/a.txt", "a");
  File("dst/a.txt", "a");
  File("dst/orphan.txt", "o");
  std::vector<std::string> log = Run(4, "No");
  EXPECT_EQ(transcript_, std::vector<std::string>{
                             "MessageBox: Are you sure you want to delete the file(s)? -> No"});
  EXPECT_TRUE(Body(log).empty());  // aborted: no end line
  EXPECT_TRUE(PathExists(dir_ / "dst/orphan.txt"));
  log = Run(4, "Yes");
  EXPECT_EQ(Body(log), (std::vector<std::string>{"File " + dir_ / "dst/orphan.txt" + " was deleted",
                                                 "Operation complete!"}));
  EXPECT_FALSE(PathExists(dir_ / "dst/orphan.txt"));
}

TEST_F(SynchOperationsTest, UpdateIntoADestinationFolder) {
  File("src/a.txt", "new", kLater);
  File("src/b.txt", "b");
  File("dst/a.txt", "older");
  std::vector<std::string> log =
      Run(3, "", "Confirm Updates=0\r\nDestination Path=" + dir_ / "out" + "\r\n");
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[1], "Source: " + Folder("src") + "\tTarget: " + Folder("dst") +
                        "\tDestination: " + dir_ / "out");
  EXPECT_EQ(Body(log),
            (std::vector<std::string>{Copied("src/b.txt", "out/b.txt"),
                                      Copied("src/a.txt", "out/a.txt"), "Operation complete!"}));
  EXPECT_EQ(Contents("out"), (Tree{{"a.txt", "new"}, {"b.txt", "b"}}));
  EXPECT_EQ(Contents("dst"), (Tree{{"a.txt", "older"}}));
}

// Windows hands the batch to the shell, which writes no lines; Linux has no shell operation and
// does the work itself, with its lines.
TEST_F(SynchOperationsTest, SystemOperations) {
  File("src/a.txt", "a");
  std::vector<std::string> log = Run(3, "", "Confirm Updates=0\r\nUse OS Operations=1\r\n");
  EXPECT_EQ(ReadFile(dir_ / "dst/a.txt"), "a");
  std::vector<std::string> expected = {"Operation complete!"};
  if (Separator() == '/') expected.insert(expected.begin(), Copied("src/a.txt", "dst/a.txt"));
  EXPECT_EQ(Body(log), expected);
}

// The replace confirmation on a Linux terminal (a pseudo-terminal made by `script`): the texts,
// the buttons with their mnemonic letters, and the letter typed as the answer.
TEST_F(SynchOperationsTest, ReplaceConfirmationOnALinuxTerminal) {
  if (Separator() == '\\') GTEST_SKIP() << "the terminal prompt is the Linux window";
  File("src/a.txt", "new", kLater);
  File("src/b.txt", "new", kLater);
  File("dst/a.txt", "older");
  File("dst/b.txt", "older");
  WriteFile(dir_ / "job.ini", "[Default]\r\nPath1=" + dir_ / "src" + "\r\nPath2=" + dir_ / "dst" +
                                  "\r\nShow progress=0\r\nOperation=3\r\n[Action1]\r\n");
  WriteFile(dir_ / "keys.txt", "a\n");
  ProcessOptions options;
  options.working_folder = dir_.path();
  options.stdin_file = dir_ / "keys.txt";
  options.unset_environment = {"TESSALINE_ANSWERS"};
  options.environment = {{"TZ", "UTC"}, {"TESSALINE_REGISTRY", dir_ / "reg.db"}};
  ProcessResult result = RunProcess(
      "script", {"-qec", "'" + TslRunProgram() + "' '" + dir_ / "job.ini" + "|||'", "/dev/null"},
      options);
  if (result.error.failed()) GTEST_SKIP() << "no script command to make a terminal";
  EXPECT_EQ(result.exit_code, 0) << result.output << result.errors;
  EXPECT_NE(result.output.find("Replace Confirmation: Do you want to overwrite the file:"),
            std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("[Y]es  Yes to [A]ll  [N]o  N[o] to All  Cancel? "),
            std::string::npos)
      << result.output;
  EXPECT_EQ(ReadFile(dir_ / "dst/a.txt"), "new");
  EXPECT_EQ(ReadFile(dir_ / "dst/b.txt"), "new");  // Yes to All: asked once
}

}  // namespace
}  // namespace tsl::testing
