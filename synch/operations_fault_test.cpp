// A small Update and a small Synch run again and again with the file service failing its k-th
// operation (k = 1, 2, ... until a run completes), once or from then on. After every run no
// file may be lost, half-written, or replaced by an older one; no temporary file may be left;
// and every failed copy is in the log and in the error list.
#include <gtest/gtest.h>

#include <map>

#include "platform/fault_injection.h"
#include "synch/synch_job.h"
#include "services/test_job_services.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::ScopedTempDir;
using testing::SplitLines;

constexpr FileTime kSecond = 10000000;
constexpr FileTime kNoon = 132593328000000000LL;  // 2021-03-04 12:00:00 UTC

struct FileState {
  std::string content;
  FileTime modified = 0;
};
using Side = std::map<std::string, FileState>;  // relative path ("/" style) -> state

// Files on both sides: changed, new, newer on either side, the same, in subfolders.
const std::map<std::string, Side> kTrees = {
    {"src",
     {{"changed.txt", {"changed in the source, longer", kNoon + 600 * kSecond}},
      {"new.txt", {"new file", kNoon}},
      {"sub/deep.txt", {"deep new file", kNoon}},
      {"sub/both.txt", {"newer in the source", kNoon + 60 * kSecond}},
      {"same.txt", {"same", kNoon}},
      {"older.txt", {"older in the source", kNoon}}}},
    {"dst",
     {{"changed.txt", {"old", kNoon}},
      {"sub/both.txt", {"older in the target", kNoon}},
      {"same.txt", {"same", kNoon}},
      {"older.txt", {"newer in the target", kNoon + 900 * kSecond}},
      {"target-only.txt", {"only in the target", kNoon}}}},
};

bool IsTemporary(const std::string& name) {
  bool tmp = name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
  return tmp && (name.rfind(".tsl-", 0) == 0 || name.rfind("tsl", 0) == 0);
}

class OperationsFaultTest : public ::testing::Test {
 protected:
  void LayOut() {
    testing::RemoveTree(dir_ / "src");
    testing::RemoveTree(dir_ / "dst");
    for (const auto& [side, files] : kTrees) {
      RealFileSystem().MakeFolder(dir_ / side);
      RealFileSystem().MakeFolder(dir_ / (side + "/sub"));
      for (const auto& [relative, state] : files) {
        testing::WriteFile(dir_ / (side + "/" + relative), state.content);
        RealFileSystem().SetTimes(dir_ / (side + "/" + relative), state.modified, state.modified);
      }
    }
  }

  // Every file of a side as it is now; temporary files are reported as failures.
  Side Read(const std::string& side) {
    Side found;
    for (const std::string& folder : {side, side + "/sub"}) {
      std::vector<DirEntry> entries;
      RealFileSystem().ListFolder(dir_ / folder, &entries);
      for (const DirEntry& entry : entries) {
        EXPECT_FALSE(IsTemporary(entry.name)) << entry.name << " left in " << folder;
        if (entry.is_folder()) continue;
        std::string relative = (folder == side ? "" : "sub/") + entry.name;
        found[relative] = {testing::ReadFile(dir_ / (side + "/" + relative)), entry.modified};
      }
    }
    return found;
  }

  // Each file is what it was, or a whole copy of its counterpart that was not older; nothing
  // is lost.
  void CheckSide(const std::string& side, const std::string& other, const std::string& when) {
    const Side& before = kTrees.at(side);
    const Side& other_before = kTrees.at(other);
    Side now = Read(side);
    for (const auto& [relative, state] : before) {
      EXPECT_TRUE(now.count(relative)) << side << "/" << relative << " lost " << when;
    }
    for (const auto& [relative, state] : now) {
      auto old = before.find(relative);
      auto counterpart = other_before.find(relative);
      bool unchanged = old != before.end() && state.content == old->second.content;
      bool copied = counterpart != other_before.end() &&
                    state.content == counterpart->second.content &&
                    state.modified == counterpart->second.modified &&
                    (old == before.end() || counterpart->second.modified >= old->second.modified);
      EXPECT_TRUE(unchanged || copied)
          << side << "/" << relative << " is \"" << state.content << "\" " << when;
    }
  }

  // The lines of the error list, from the transcript (which escapes `\`, LF, CR and tab).
  std::vector<std::string> ErrorList() {
    const std::string prefix = "Question: File Operations Errors: ", suffix = " -> OK";
    for (const std::string& line : questions_.TakeTranscript()) {
      if (line.rfind(prefix, 0) != 0) continue;
      std::string listed;
      for (std::size_t i = prefix.size(); i < line.size() - suffix.size(); ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
          char next = line[++i];
          c = next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
        }
        listed += c;
      }
      return SplitLines(listed);
    }
    return {};
  }

  // Runs the operation with the k-th file operation failing; true when the fault was reached.
  bool RunFailing(int code, std::int64_t k, ErrorKind error, bool persistent) {
    LayOut();
    questions_.Answers("Yes to All");
    testing::TestServices services;
    SynchJob job(services);
    FaultInjectingFileSystem faulty(RealFileSystem());
    faulty.FailAt(k, error, persistent);
    {
      ScopedFileSystem scope(faulty);
      job.RunSynchronizationScript(Script(code));
    }
    std::string when = "when operation " + std::to_string(k) + " failed" +
                       (persistent ? " and all after it" : "") + " (" +
                       (faulty.fired() ? faulty.log()[k - 1] : "none") + ")";
    CheckSide("dst", "src", when);
    if (code == op::kSynchronize) CheckSide("src", "dst", when);
    CheckErrors(services.outputs["log"], faulty, k, error, when);
    return faulty.fired();
  }

  // The log's error lines are the error list; a failed copy step is among them, with the text
  // of the error.
  void CheckErrors(const std::string& log, const FaultInjectingFileSystem& faulty, std::int64_t k,
                   ErrorKind error, const std::string& when) {
    std::vector<std::string> errors;
    for (const std::string& line : SplitLines(log)) {
      if (line.rfind("Error ", 0) == 0) errors.push_back(line);
    }
    EXPECT_EQ(ErrorList(), errors) << when;
    if (!faulty.fired() || faulty.log()[k - 1].rfind("Copy:", 0) != 0) return;
    std::string failed = faulty.log()[k - 1];
    std::string paths =
        failed.substr(failed.find(' ') + 1, failed.find("  <-") - failed.find(' ') - 1);
    std::string from = paths.substr(0, paths.find(" -> "));
    std::string to = paths.substr(paths.find(" -> ") + 4);
    std::string expected = "Error \"" + SystemErrorText(ErrorOfKind(error).code) +
                           "\" copying file: " + from + " to " + to;
    EXPECT_NE(log.find(expected), std::string::npos) << expected << "\n" << log << when;
  }

  std::string Script(int code) {
    std::string path = dir_ / "job.ini";
    testing::WriteFile(path, "[Default]\nPath1=" + dir_ / "src" + "\nPath2=" + dir_ / "dst" +
                                 "\nOutput File=log\nShow progress=0\nOperation=" +
                                 std::to_string(code) + "\n[Action1]\n");
    return path;
  }

  ScopedTempDir dir_;
  testing::ScriptedQuestions questions_{dir_ / "transcript.txt"};
};

TEST_F(OperationsFaultTest, EveryFailureOfAnUpdateOrASynchLeavesWholeFiles) {
  struct Mode {
    ErrorKind error;
    bool persistent;
  } modes[] = {{ErrorKind::kDiskFull, false}, {ErrorKind::kAccessDenied, true}};
  for (int code : {op::kUpdate, op::kSynchronize}) {
    for (const Mode& mode : modes) {
      std::int64_t k = 1;
      while (RunFailing(code, k, mode.error, mode.persistent)) {
        ASSERT_LT(++k, 1000) << "the run never completes";
      }
      EXPECT_GT(k, 20) << code;  // the runs did reach the copies
      // The run that completed made both sides what the operation wants.
      Side dst = Read("dst");
      EXPECT_EQ(dst["changed.txt"].content, "changed in the source, longer");
      EXPECT_EQ(dst["sub/deep.txt"].content, "deep new file");
      EXPECT_EQ(dst["older.txt"].content, "newer in the target");
      if (code == op::kSynchronize) {
        EXPECT_EQ(Read("src")["older.txt"].content, "newer in the target");
        EXPECT_EQ(Read("src")["target-only.txt"].content, "only in the target");
      }
    }
  }
}

}  // namespace
}  // namespace tsl
