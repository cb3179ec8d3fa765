#include "services/file_operation.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/clock.h"
#include "platform/fault_injection.h"
#include "platform/shell_file_operation.h"
#include "services/test_job_services.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::ReadFile;
using testing::ScopedTempDir;
using testing::SplitLines;
using testing::TranscriptText;
using testing::WriteFile;

constexpr FileTime kSecond = 10000000;
constexpr FileTime kNoon = 132593328000000000LL;  // 2021-03-04 12:00:00 UTC

class FileOperationTest : public ::testing::Test {
 protected:
  void Answers(const std::string& answers) { questions_.Answers(answers); }

  // A file with fixed times; its folders are made.
  void File(const std::string& relative, const std::string& content, FileTime modified = kNoon,
            std::uint32_t attributes = 0) {
    std::string path = dir_ / relative;
    for (std::size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
      Files().MakeFolder(dir_ / relative.substr(0, slash));
    }
    WriteFile(path, content);
    ASSERT_TRUE(Files().SetTimes(path, modified, modified).ok());
    if (attributes) {
      ASSERT_TRUE(Files().SetAttributes(path, attributes).ok());
    }
  }

  // Runs a batch with paths relative to the scratch folder; the log's lines.
  std::vector<std::string> Run(FileOperationKind kind, const std::vector<std::string>& from,
                               const std::vector<std::string>& to, unsigned flags,
                               bool with_log = true) {
    FileOperationRequest request{kind, {}, {}, flags};
    for (const std::string& f : from) request.from.push_back(dir_ / f);
    for (const std::string& t : to) request.to.push_back(dir_ / t);
    log_text_.clear();
    testing::CollectingOutput log(&log_text_);
    FileOperationContext context{services_, custom_message_, false};
    FileOperationResult result = RunFileOperation(request, with_log ? &log : nullptr, context);
    none_done_ = result.none_done;
    aborted_ = result.aborted;
    return SplitLines(log_text_);
  }

  std::vector<std::string> Transcript() { return questions_.TakeTranscript(); }

  std::string Copied(const std::string& from, const std::string& to) {
    return "File " + dir_ / from + " was copied to " + dir_ / to;
  }
  std::string Refused(const std::string& from, const std::string& to) {
    return "Operation aborted: copying " + dir_ / from + " to " + dir_ / to;
  }
  // The transcript line of a replace confirmation of files modified at noon: the local time in
  // the test services' pictures.
  std::string Asked(const std::string& header, const std::string& to, std::size_t to_size,
                    const std::string& from, std::size_t from_size, const std::string& answer) {
    CalendarTime local = *ToCalendar(UtcToLocal(kNoon));
    std::string when =
        FormatWithPicture("M/d/yyyy", local) + " " + FormatWithPicture("h:mm:ss tt", local);
    return "Question: Replace Confirmation: " + header + "\\n" + TranscriptText(dir_ / to) + " (" +
           std::to_string(to_size) + " bytes), modified " + when + "\\nwith:\\n" +
           TranscriptText(dir_ / from) + " (" + std::to_string(from_size) + " bytes), modified " +
           when + "? -> " + answer;
  }

  ScopedTempDir dir_;
  testing::ScriptedQuestions questions_{dir_ / "transcript.txt"};
  testing::TestServices services_;
  std::string custom_message_;
  std::string log_text_;
  bool aborted_ = false;
  bool none_done_ = true;
};

// Fails the copies onto one path with a chosen error, half-way through their data.
class FailingCopies : public FaultInjectingFileSystem {
 public:
  FailingCopies(std::string to, ErrorKind kind)
      : FaultInjectingFileSystem(RealFileSystem()), to_(std::move(to)), kind_(kind) {}
  SysError CopyFileKeepingTimes(const std::string& from, const std::string& to, CopyMode mode,
                                const CopyStepCheck& check) override {
    if (to != to_) return FaultInjectingFileSystem::CopyFileKeepingTimes(from, to, mode, check);
    return FaultInjectingFileSystem::CopyFileKeepingTimes(from, to, mode, [this](CopyStep step) {
      return step == CopyStep::kCopyData ? ErrorOfKind(kind_) : SysError{};
    });
  }

 private:
  std::string to_;
  ErrorKind kind_;
};

const char kOverwrite[] = "Do you want to overwrite the file:";
const char kReadOnlyHeader[] =
    "Target File is read-only, hidden or system.  Do you want to overwrite the file:";

// Three existing targets, answered in turn: what is asked, logged and copied.
TEST_F(FileOperationTest, ConfirmationAnswersDecideEachOverwrite) {
  struct Case {
    const char* answers;
    std::vector<int> asked;    // the items asked about (0, 1, 2)
    std::string answered;      // their answers, one letter each
    std::vector<bool> copied;  // per item
    bool aborted;
  } cases[] = {
      {"Yes;No;Yes", {0, 1, 2}, "yny", {true, false, true}, false},
      {"Yes to All", {0}, "A", {true, true, true}, false},
      {"No;No to All", {0, 1}, "nO", {false, false, false}, false},
      {"Yes;Cancel", {0, 1}, "yc", {true, false, false}, true},
      {"", {0}, "c", {false, false, false}, true},  // no answer left: Cancel
  };
  const std::map<char, std::string> answer_names = {
      {'y', "Yes"}, {'A', "Yes to All"}, {'n', "No"}, {'O', "No to All"}, {'c', "Cancel"}};
  for (const Case& c : cases) {
    for (const char* name : {"a", "b", "c"}) {
      File(std::string("src/") + name, "new " + std::string(name));
      File(std::string("dst/") + name, "old");
    }
    Answers(c.answers);
    std::vector<std::string> log =
        Run(FileOperationKind::kCopy, {"src/a", "src/b", "src/c"}, {"dst/a", "dst/b", "dst/c"},
            file_op::kSeveralDestinations | file_op::kSilent);
    std::vector<std::string> expected_log, expected_transcript;
    for (std::size_t i = 0; i < c.asked.size(); ++i) {
      std::string name(1, static_cast<char>('a' + c.asked[i]));
      expected_transcript.push_back(
          Asked(kOverwrite, "dst/" + name, 3, "src/" + name, 5, answer_names.at(c.answered[i])));
    }
    for (int i = 0; i < 3; ++i) {
      std::string name(1, static_cast<char>('a' + i));
      bool reached = !c.aborted || i < static_cast<int>(c.asked.size()) - 1;
      if (reached) {
        expected_log.push_back(c.copied[i] ? Copied("src/" + name, "dst/" + name)
                                           : Refused("src/" + name, "dst/" + name));
      }
      EXPECT_EQ(ReadFile(dir_ / "dst" + testing::Separator() + name),
                c.copied[i] ? "new " + name : "old")
          << c.answers;
    }
    EXPECT_EQ(log, expected_log) << c.answers;
    EXPECT_EQ(Transcript(), expected_transcript) << c.answers;
    EXPECT_EQ(aborted_, c.aborted) << c.answers;
  }
}

// Protected targets get the read-only question until Yes to All or No to All is said for them;
// without confirmation they are overwritten.
TEST_F(FileOperationTest, ReadOnlyTargets) {
  File("src/a", "new a");
  File("src/b", "new b");
  File("dst/a", "old", kNoon, attr::kReadOnly);
  File("dst/b", "old", kNoon, attr::kReadOnly);
  Answers("No;Yes");
  std::vector<std::string> log =
      Run(FileOperationKind::kCopy, {"src/a", "src/b"}, {"dst/a", "dst/b"},
          file_op::kSeveralDestinations | file_op::kSilent);
  EXPECT_EQ(log, (std::vector<std::string>{Refused("src/a", "dst/a"), Copied("src/b", "dst/b")}));
  EXPECT_EQ(Transcript(),
            (std::vector<std::string>{Asked(kReadOnlyHeader, "dst/a", 3, "src/a", 5, "No"),
                                      Asked(kReadOnlyHeader, "dst/b", 3, "src/b", 5, "Yes")}));
  EXPECT_EQ(ReadFile(dir_ / "dst/a"), "old");
  EXPECT_EQ(ReadFile(dir_ / "dst/b"), "new b");

  // Yes to All for protected files: the next one is asked the plain question.
  File("dst/a", "old", kNoon, attr::kReadOnly);
  File("dst/b", "old", kNoon, attr::kReadOnly);
  Answers("Yes to All;Yes");
  log = Run(FileOperationKind::kCopy, {"src/a", "src/b"}, {"dst/a", "dst/b"},
            file_op::kSeveralDestinations | file_op::kSilent);
  EXPECT_EQ(log, (std::vector<std::string>{Copied("src/a", "dst/a"), Copied("src/b", "dst/b")}));
  EXPECT_EQ(Transcript(),
            (std::vector<std::string>{Asked(kReadOnlyHeader, "dst/a", 3, "src/a", 5, "Yes to All"),
                                      Asked(kOverwrite, "dst/b", 3, "src/b", 5, "Yes")}));

  File("dst/a", "old", kNoon, attr::kReadOnly);
  log = Run(FileOperationKind::kCopy, {"src/a"}, {"dst/a"},
            file_op::kSeveralDestinations | file_op::kSilent | file_op::kNoConfirmation);
  EXPECT_EQ(log, std::vector<std::string>{Copied("src/a", "dst/a")});
  EXPECT_EQ(Transcript(), std::vector<std::string>{});
  EXPECT_EQ(ReadFile(dir_ / "dst/a"), "new a");
  std::uint32_t attributes = 0;
  ASSERT_TRUE(Files().GetAttributes(dir_ / "dst/a", &attributes).ok());
  EXPECT_FALSE(attributes & attr::kReadOnly);  // the source's attributes
}

// The copy keeps the source's time; new folders are made; a folder's files follow at the end.
TEST_F(FileOperationTest, CopiesKeepTimesAndExpandFolders) {
  File("src/a.txt", "a", kNoon + 7 * kSecond);
  File("src/tree/x.txt", "x");
  File("src/tree/deep/y.txt", "y");
  std::vector<std::string> log =
      Run(FileOperationKind::kCopy, {"src/tree", "src/a.txt"}, {"dst/copy", "dst/new/a.txt"},
          file_op::kSeveralDestinations | file_op::kSilent);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], Copied("src/a.txt", "dst/new/a.txt"));
  EXPECT_EQ(std::set<std::string>(log.begin() + 1, log.end()),
            (std::set<std::string>{Copied("src/tree/x.txt", "dst/copy/x.txt"),
                                   Copied("src/tree/deep/y.txt", "dst/copy/deep/y.txt")}));
  DirEntry entry;
  ASSERT_TRUE(Files().GetEntry(dir_ / "dst/new/a.txt", &entry).ok());
  EXPECT_EQ(entry.modified, kNoon + 7 * kSecond);
  EXPECT_EQ(ReadFile(dir_ / "dst/copy/deep/y.txt"), "y");
  EXPECT_FALSE(none_done_);

  // One destination folder for every file, and a folder marker.
  log = Run(FileOperationKind::kCopy, {"src/a.txt", "src/tree/x.txt"}, {"flat"}, file_op::kSilent);
  EXPECT_EQ(log, (std::vector<std::string>{Copied("src/a.txt", "flat/a.txt"),
                                           Copied("src/tree/x.txt", "flat/x.txt")}));
  log = Run(FileOperationKind::kCopy, {"src/tree/."}, {"made/here/."},
            file_op::kSeveralDestinations | file_op::kSilent);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(PathExists(dir_ / "made/here"));
}

// A folder's expansion walks as the scans and the deletes do: folders whose names begin with `.`
// are not entered.
TEST_F(FileOperationTest, FolderExpansionPassesOverDotFolders) {
  File("src/tree/x.txt", "x");
  File("src/tree/.git/config", "c");
  File("src/tree/sub/.cache/y.txt", "y");
  File("src/tree/sub/.z", "z");
  std::vector<std::string> log = Run(FileOperationKind::kCopy, {"src/tree"}, {"dst/copy"},
                                     file_op::kSeveralDestinations | file_op::kSilent);
  EXPECT_EQ(std::set<std::string>(log.begin(), log.end()),
            (std::set<std::string>{Copied("src/tree/x.txt", "dst/copy/x.txt"),
                                   Copied("src/tree/sub/.z", "dst/copy/sub/.z")}));
  EXPECT_FALSE(PathExists(dir_ / "dst/copy/.git"));
}

// A failed copy: its line carries the system's text, the old file stays, the error list shows
// the line unless the batch asked for no confirmation and has a log.
TEST_F(FileOperationTest, FailuresAreLoggedAndListed) {
  File("src/a", "new");
  File("src/b", "new");
  File("dst/a", "old");
  std::string full = SystemErrorText(ErrorOfKind(ErrorKind::kDiskFull).code);
  std::string error =
      "Error \"" + full + "\" copying file: " + dir_ / "src/a" + " to " + dir_ / "dst/a";
  struct Case {
    unsigned flags;
    bool with_log;
    bool listed;
  } cases[] = {
      {file_op::kNoConfirmation, true, false},
      {file_op::kNoConfirmation, false, true},
      {0, true, true},
  };
  for (const Case& c : cases) {
    FailingCopies faulty(dir_ / "dst/a", ErrorKind::kDiskFull);
    ScopedFileSystem scope(faulty);
    Answers("Yes");
    std::vector<std::string> log =
        Run(FileOperationKind::kCopy, {"src/a", "src/b"}, {"dst/a", "dst/b"},
            c.flags | file_op::kSeveralDestinations | file_op::kSilent, c.with_log);
    if (c.with_log) {
      EXPECT_EQ(log, (std::vector<std::string>{error, Copied("src/b", "dst/b")}));
    }
    std::vector<std::string> transcript = Transcript();
    std::string listed = "Question: File Operations Errors: " + TranscriptText(error) + " -> OK";
    EXPECT_EQ(!transcript.empty() && transcript.back() == listed, c.listed) << c.flags;
    EXPECT_EQ(ReadFile(dir_ / "dst/a"), "old");
    EXPECT_FALSE(none_done_);  // one file was copied
    RealFileSystem().RemoveFile(dir_ / "dst/b");
  }
}

TEST_F(FileOperationTest, DeleteAsksOnceForTheBatch) {
  File("dst/a", "a");
  File("dst/b", "b", kNoon, attr::kReadOnly);
  Answers("No");
  std::vector<std::string> log =
      Run(FileOperationKind::kDelete, {"dst/a", "dst/b", "dst/gone"}, {}, file_op::kSilent);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(aborted_);
  EXPECT_TRUE(PathExists(dir_ / "dst/a"));
  EXPECT_EQ(Transcript(), std::vector<std::string>{
                              "MessageBox: Are you sure you want to delete the file(s)? -> No"});
  Answers("Yes");
  log = Run(FileOperationKind::kDelete, {"dst/a", "dst/b", "dst/gone"}, {}, file_op::kSilent);
  EXPECT_EQ(log, (std::vector<std::string>{"File " + dir_ / "dst/a" + " was deleted",
                                           "File " + dir_ / "dst/b" + " was deleted",
                                           "File " + dir_ / "dst/gone" + " was deleted"}));
  EXPECT_FALSE(aborted_);
  EXPECT_FALSE(PathExists(dir_ / "dst/a"));
  EXPECT_FALSE(PathExists(dir_ / "dst/b"));
  EXPECT_EQ(Transcript(), std::vector<std::string>{
                              "MessageBox: Are you sure you want to delete the file(s)? -> Yes"});
}

TEST_F(FileOperationTest, MoveAndRename) {
  File("src/a", "a");
  File("src/b", "b");
  File("dst/b", "old");
  std::vector<std::string> log =
      Run(FileOperationKind::kMove, {"src/a", "src/b"}, {"dst/a", "dst/b"},
          file_op::kSeveralDestinations | file_op::kSilent | file_op::kNoConfirmation);
  EXPECT_EQ(log, (std::vector<std::string>{
                     "File " + dir_ / "src/a" + " was moved to " + dir_ / "dst/a",
                     "File " + dir_ / "src/b" + " was moved to " + dir_ / "dst/b"}));
  EXPECT_FALSE(PathExists(dir_ / "src/a"));
  EXPECT_EQ(ReadFile(dir_ / "dst/b"), "b");

  Answers("No");
  log = Run(FileOperationKind::kRename, {"dst/a", "dst/b"}, {"dst/c", "dst/a"},
            file_op::kSeveralDestinations | file_op::kSilent);
  EXPECT_EQ(log, (std::vector<std::string>{
                     "File " + dir_ / "dst/a" + " was renamed to " + dir_ / "dst/c",
                     "File " + dir_ / "dst/b" + " was renamed to " + dir_ / "dst/a"}));
  EXPECT_TRUE(Transcript().empty());  // dst/a was gone by the time dst/b took its name
  log = Run(FileOperationKind::kRename, {"dst/c"}, {"dst/a"},
            file_op::kSeveralDestinations | file_op::kSilent);
  EXPECT_EQ(log, std::vector<std::string>{"Operation aborted: moving " + dir_ / "dst/c" + " to " +
                                          dir_ / "dst/a"});
  log = Run(FileOperationKind::kRename, {"dst/none"}, {"dst/z"},
            file_op::kSeveralDestinations | file_op::kSilent);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].rfind("Error " + std::to_string(ErrorOfKind(ErrorKind::kNotFound).code) +
                             " renaming file: ",
                         0),
            0u)
      << log[0];
}

// The progress window: 100 units per item, the title or the custom message, and its Cancel.
TEST_F(FileOperationTest, ProgressWindowAndItsCancel) {
  for (const char* name : {"a", "b", "c"}) File(std::string("src/") + name, name);
  std::vector<std::string> log = Run(FileOperationKind::kCopy, {"src/a", "src/b", "src/c"},
                                     {"dst/a", "dst/b", "dst/c"}, file_op::kSeveralDestinations);
  EXPECT_EQ(log.size(), 3u);
  EXPECT_EQ(services_.progress_log,
            (std::vector<std::string>{"open 300 Copy Files", "close at 200"}));
  services_.progress_log.clear();
  custom_message_ = "Backing up";
  services_.cancel_at_steps = {1};  // Cancel pressed while the second item is shown
  log = Run(FileOperationKind::kCopy, {"src/a", "src/b", "src/c"}, {"e/a", "e/b", "e/c"},
            file_op::kSeveralDestinations);
  EXPECT_EQ(log, std::vector<std::string>{Copied("src/a", "e/a")});
  EXPECT_TRUE(aborted_);
  EXPECT_EQ(services_.progress_log, (std::vector<std::string>{"open 300 Backing up", "cancel"}));
  EXPECT_FALSE(PathExists(dir_ / "e/b"));
}

// With use system operations, Windows hands the batch to the shell (no log lines); Linux has no
// shell operation and takes its own path, with its lines.
TEST_F(FileOperationTest, SystemOperationsWhereTheSystemHasThem) {
  File("src/a", "a");
  FileOperationRequest request{FileOperationKind::kCopy,
                               {dir_ / "src/a"},
                               {dir_ / "dst/a"},
                               file_op::kSeveralDestinations | file_op::kSilent |
                                   file_op::kNoConfirmation | file_op::kNoFolderConfirmation};
  testing::CollectingOutput log(&log_text_);
  FileOperationContext context{services_, "", true};
  FileOperationResult result = RunFileOperation(request, &log, context);
  EXPECT_FALSE(result.none_done);
  EXPECT_EQ(ReadFile(dir_ / "dst/a"), "a");
  EXPECT_FALSE(result.aborted);
  if (HasShellFileOperation()) {
    EXPECT_EQ(log_text_, "");
  } else {
    EXPECT_EQ(log_text_, Copied("src/a", "dst/a") + "\r\n");
  }
}

}  // namespace
}  // namespace tsl
