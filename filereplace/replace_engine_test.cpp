// Replace runs of the engine over files laid out here: the files byte for byte afterwards, the
// questions asked, backups and the undo script, and runs with the file service failing.
#include <gtest/gtest.h>

#include <cstdlib>

#include "filereplace/backup_and_undo.h"
#include "filereplace/search_engine.h"
#include "platform/fault_injection.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "services/settings.h"
#include "services/test_job_services.h"
#include "tests/support/registry_support.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

class ReplaceEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolders(dir_ / "tmp");
    MakeFolders(dir_ / "work");
    saved_work_path_ = ReadSettingString("Settings", "Work Path");
    WriteSettingString("Settings", "Work Path", dir_ / "work");
    ForgetEmptiedUndoScripts();
  }
  void TearDown() override { WriteSettingString("Settings", "Work Path", saved_work_path_); }

  // Runs a script of `blocks` over the pairs with the options (Prompt_flag 2 unless given) and
  // gives the results without their header block (none with several pairs).
  std::vector<std::string> Run(const std::string& blocks, const std::vector<std::string>& pairs,
                               const std::vector<std::string>& options = {},
                               const std::string& description = "") {
    std::vector<std::string> lines = {"[Test]"};
    if (!description.empty()) lines.push_back(description);
    lines.insert(lines.end(), {"[Options]", "Output_File=out", "Show Progress Dialog=0",
                               "Display File Stats=0", "Sort File Names=1"});
    bool prompt = false;
    for (const std::string& option : options) prompt |= option.rfind("Prompt_flag", 0) == 0;
    if (!prompt) lines.push_back("Prompt_flag=2");
    lines.insert(lines.end(), options.begin(), options.end());
    std::string script = JoinLines(lines) + blocks;
    for (const std::string& pair : pairs) script += "[Path]\r\n" + pair + "\r\n";
    script += "[End of Findmend Script]\r\n";
    FileReplaceScript loaded;
    loaded.LoadFromMemory("script", script, services_);
    {
      ScopedEnvironment tmpdir("TMPDIR", dir_ / "tmp");
      ScopedEnvironment tmp("TMP", dir_ / "tmp");
      ScopedEnvironment temp("TEMP", dir_ / "tmp");
      FileReplaceEngine engine(services_);
      engine.Run(loaded);
    }
    EXPECT_EQ(Names(dir_ / "tmp"), std::vector<std::string>{}) << "temporary files left";
    std::vector<std::string> result = SplitLines(services_.outputs["out"]);
    if (pairs.size() == 1 && result.size() >= 6) result.erase(result.begin(), result.begin() + 6);
    return result;
  }
  std::string Pair(const std::string& folder, const std::string& mask) {
    return (dir_ / folder) + Separator() + mask;
  }
  std::string UndoScriptPath() {
    return dir_ / ("work/" + std::string(UndoScriptName(NativePathStyle())));
  }

  ScopedRegistry registry_;  // the settings of Linux runs; on Windows the Work Path is put back
  ScopedTempDir dir_;
  TestServices services_;
  ScriptedQuestions questions_{dir_ / "transcript.txt"};
  std::string saved_work_path_;
};

// Replacements that grow and shrink a file around the 102,400-byte chunk ends, and a second
// entry that finds what the first one wrote.
TEST_F(ReplaceEngineTest, PassesGrowAndShrinkAcrossChunksAndChain) {
  constexpr std::size_t kChunk = 102400;
  std::string text;
  for (std::size_t at : {kChunk - 3, 2 * kChunk - 1, 2 * kChunk + 5000}) {
    text += std::string(at - text.size(), '.');
    text += "cat";
  }
  text += "\r\nend";
  MakeFolders(dir_ / "d");
  WriteFile(dir_ / "d/big.txt", text);
  WriteFile(dir_ / "d/small.txt", "a cat, a dog\r\n");
  std::vector<std::string> results =
      Run("[Search]\r\ncat\r\n[Replace]\r\nlarge tiger\r\n[Search]\r\ntiger\r\n[Replace]\r\nT\r\n",
          {Pair("d", "*.txt")}, {"Show_Files=0"});
  std::string expected = text;
  for (std::size_t at = expected.find("cat"); at != std::string::npos;
       at = expected.find("cat", at)) {
    expected.replace(at, 3, "large T");
  }
  EXPECT_EQ(ReadFile(dir_ / "d/big.txt"), expected);
  EXPECT_EQ(ReadFile(dir_ / "d/small.txt"), "a large T, a dog\r\n");
  EXPECT_TRUE(Contains(results, "Replaced 8 occurrences in 2 file(s)")) << JoinLines(results);
}

// Each answer of the Replace Confirmation window, with the file question after it.
TEST_F(ReplaceEngineTest, ConfirmationAnswers) {
  const std::vector<std::string> files = {"q/1.txt",  "q/2.txt",  "q/3.txt",  "q2/4.txt",
                                          "q2/5.txt", "q3/6.txt", "q3/7.txt", "q4/8.txt"};
  for (const std::string& name : files) {
    MakeFolders(dir_ / name.substr(0, name.find('/')));
    WriteFile(dir_ / name, "x x x\r\n");
  }
  questions_.Answers(
      "Replace This;Skip This;Replace This;Yes;"  // 1.txt: the first and the last
      "Repl. Rest In File;"                       // 2.txt: all, without a file question
      "Skip Rest of File;"                        // 3.txt: none, and no file question
      "Skip Rest in Dir.;"                        // q2: no file replaced, 5.txt not asked for
      "Repl. Rest In Dir;"                        // q3: everything, without questions
      "Skip This;Repl. All Remaining");           // q4/8.txt: all but the first
  Run("[Search]\r\nx\r\n[Replace]\r\ny\r\n",
      {Pair("q", "*.txt"), Pair("q2", "*.txt"), Pair("q3", "*.txt"), Pair("q4", "*.txt")},
      {"Prompt_flag=0", "Show_Files=1"});
  const std::vector<std::string> expected = {"y x y", "y y y", "x x x", "x x x",
                                             "x x x", "y y y", "y y y", "x y y"};
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(ReadFile(dir_ / files[i]), expected[i] + "\r\n") << files[i];
  }
  std::vector<std::string> transcript = questions_.TakeTranscript();
  ASSERT_EQ(transcript.size(), 10u) << JoinLines(transcript);
  EXPECT_EQ(transcript[0],
            "Question: Replace - " + (dir_ / "q/1.txt") + ": Line   1 - <x> x x -> Replace This");
  EXPECT_EQ(transcript[3], "MessageBox: Replace 2 occurences in file " +
                               TranscriptText(dir_ / "q/1.txt") + "? -> Yes");
  EXPECT_EQ(transcript[9], "Question: Replace - " + (dir_ / "q4/8.txt") +
                               ": Line   1 - x <x> x -> Repl. All Remaining");

  // Cancel Remaining, and a closed window, leave the file as it was.
  WriteFile(dir_ / "q/1.txt", "x x\r\n");
  questions_.Answers("Replace This;Cancel Remaining");
  std::vector<std::string> results =
      Run("[Search]\r\nx\r\n[Replace]\r\ny\r\n", {Pair("q", "1.txt")}, {"Prompt_flag=0"});
  EXPECT_EQ(ReadFile(dir_ / "q/1.txt"), "x x\r\n");
  EXPECT_EQ(results.back(), "Execution interrupted by the user!");
}

// A read-only file is replaced after its question and is read-only again; a binary file asks
// first; "No" leaves either as it was.
TEST_F(ReplaceEngineTest, ReadOnlyAndBinaryFilesAsk) {
  MakeFolders(dir_ / "r");
  WriteFile(dir_ / "r/locked.txt", "old text\r\n");
  WriteFile(dir_ / "r/tool.bin", std::string("old\x01\x02", 5));
  ASSERT_TRUE(Files().SetAttributes(dir_ / "r/locked.txt", attr::kReadOnly).ok());
  questions_.Answers("Yes;Yes;Yes;No");
  Run("[Search]\r\nold\r\n[Replace]\r\nnew\r\n", {Pair("r", "*.*")}, {"Prompt_flag=1"});
  EXPECT_EQ(ReadFile(dir_ / "r/locked.txt"), "new text\r\n");
  std::uint32_t attributes = 0;
  ASSERT_TRUE(Files().GetAttributes(dir_ / "r/locked.txt", &attributes).ok());
  EXPECT_TRUE(attributes & attr::kReadOnly);
  EXPECT_EQ(ReadFile(dir_ / "r/tool.bin"), std::string("old\x01\x02", 5));
  std::vector<std::string> transcript = questions_.TakeTranscript();
  ASSERT_EQ(transcript.size(), 4u);
  EXPECT_EQ(transcript[1],
            "Question: Confirmation Required: File is Read-Only, System or Hidden.\\nReplace "
            "anyway? -> Yes");
  EXPECT_NE(transcript[3].find("You are replacing in a binary file."), std::string::npos);
  Files().SetAttributes(dir_ / "r/locked.txt", 0);
}

// UTF-16 text gets UTF-16 replacements, a pattern's replacement uses what it found, and the
// last-write time stays when asked.
TEST_F(ReplaceEngineTest, Utf16PatternsAndTimeStamp) {
  MakeFolders(dir_ / "u");
  const FileTime noon = 132593328000000000LL;  // 2021-03-04 12:00:00 UTC
  WriteFileAt(dir_ / "u/w.txt",
              std::string("\xFF\xFEi\0d\0"
                          "7\0 \0",
                          10),
              noon);
  WriteFileAt(dir_ / "u/n.txt", "id42 id7", noon);
  Run("[Search /X]\r\nid+[0-9]\r\n[Replace]\r\n<%%FMFOUND%%>\r\n", {Pair("u", "*.txt")},
      {"Keep file time stamp=1"});
  EXPECT_EQ(ReadFile(dir_ / "u/w.txt"), std::string("\xFF\xFE<\0i\0d\0"
                                                    "7\0>\0 \0",
                                                    14));
  EXPECT_EQ(ReadFile(dir_ / "u/n.txt"), "<id42> <id7>");
  DirEntry entry;
  ASSERT_TRUE(Files().GetEntry(dir_ / "u/n.txt", &entry).ok());
  EXPECT_EQ(entry.modified, noon);
  // A UTF-16 file is not reformatted: it is left as it was.
  std::vector<std::string> results =
      Run("[Search /B]\r\n%%FMFORMAT%%=10\r\n[Replace]\r\n\r\n", {Pair("u", "w.txt")});
  EXPECT_EQ(ReadFile(dir_ / "u/w.txt"), std::string("\xFF\xFE<\0i\0d\0"
                                                    "7\0>\0 \0",
                                                    14));
  EXPECT_TRUE(Contains(results, "Error reading file")) << JoinLines(results);
}

// The whole-file modes: prepend (after a UTF-16 file's byte order mark), append, reformat, and a
// character conversion whose texts change the size.
TEST_F(ReplaceEngineTest, WholeFileModes) {
  MakeFolders(dir_ / "s");
  WriteFile(dir_ / "s/a.txt", "body\r\n");
  WriteFile(dir_ / "s/w.txt", std::string("\xFF\xFEh\0i\0", 6));
  Run("[Search /B]\r\n%%FMPREPEND%%\r\n[Replace]\r\ntop\r\n", {Pair("s", "*.txt")});
  EXPECT_EQ(ReadFile(dir_ / "s/a.txt"), "topbody\r\n");
  EXPECT_EQ(ReadFile(dir_ / "s/w.txt"), std::string("\xFF\xFEt\0o\0p\0h\0i\0", 12));

  Run("[Search /B]\r\n%%FMAPPEND%%\r\n[Replace]\r\n!\r\n", {Pair("s", "a.txt")});
  EXPECT_EQ(ReadFile(dir_ / "s/a.txt"), "topbody\r\n!");
  // "No" to the append question counts nothing: the entry before it still replaces.
  questions_.Answers("Replace This;No;Yes");
  Run("[Search]\r\nbody\r\n[Replace]\r\nBODY\r\n[Search /B]\r\n%%FMAPPEND%%\r\n[Replace]\r\n?\r\n",
      {Pair("s", "a.txt")}, {"Prompt_flag=0"});
  EXPECT_EQ(ReadFile(dir_ / "s/a.txt"), "topBODY\r\n!");
  EXPECT_EQ(questions_.TakeTranscript().back(), "MessageBox: Replace 1 occurences in file " +
                                                    TranscriptText(dir_ / "s/a.txt") + "? -> Yes");

  WriteFile(dir_ / "s/p.txt", "  one two three\r\nfour\r\n\r\nfive six\r\n");
  std::vector<std::string> results =
      Run("[Search /B]\r\n%%FMFORMAT%%=10\r\n[Replace]\r\n\r\n", {Pair("s", "p.txt")});
  EXPECT_EQ(ReadFile(dir_ / "s/p.txt"), "  one two\r\n  three\r\n  four\r\n\r\nfive six\r\n");
  EXPECT_TRUE(Contains(results, "File was reformatted to a maximum of 10 columns"));

  WriteFile(dir_ / "s/c.txt", "a-b-c");
  results =
      Run("[Search /B]\r\n-\r\n[Replace /B]\r\n--\r\n[Search /B]\r\nc\r\n[Replace /B]\r\nC\r\n",
          {Pair("s", "c.txt")}, {}, "Character conversion: dashes doubled, c capital");
  EXPECT_EQ(ReadFile(dir_ / "s/c.txt"), "a--b--C");
  EXPECT_TRUE(Contains(results, "File was converted!")) << JoinLines(results);
}

// Backups go under Path1, Path2 ... by path pair, once per run from the original content even
// over several passes, and the undo script puts every replaced file back.
TEST_F(ReplaceEngineTest, BackupsAndUndoScript) {
  const std::vector<std::string> names = {"one.txt", "it's 100% $HOME; done.txt"};
  for (const char* folder : {"p1", "p2/sub"}) {
    MakeFolders(dir_ / folder);
    for (const std::string& name : names)
      WriteFile(dir_ / (std::string(folder) + "/" + name), "aa\r\n");
  }
  // Each pass doubles nothing but turns one "a" into "b": two passes change "aa" into "bb".
  std::vector<std::string> results =
      Run("[Search]\r\na\r\n[Replace]\r\nb\r\n", {Pair("p1", "*.txt"), Pair("p2", "*.txt")},
          {"Backup Path=" + (dir_ / "bak"), "Search_subdir=1", "Script Loop=2", "One hit=1"});
  for (const char* folder : {"p1", "p2/sub"}) {
    for (const std::string& name : names) {
      EXPECT_EQ(ReadFile(dir_ / (std::string(folder) + "/" + name)), "bb\r\n") << name;
    }
  }
  EXPECT_EQ(ReadFile(dir_ / ("bak/Path1/" + names[1])), "aa\r\n");
  EXPECT_EQ(ReadFile(dir_ / ("bak/Path2/sub/" + names[1])), "aa\r\n");
  std::vector<std::string> undo = SplitLines(ReadFile(UndoScriptPath()));
  if (NativePathStyle() == PathStyle::kPosix) {
    ASSERT_EQ(undo.size(), 5u) << JoinLines(undo);  // the shell line and one line per file
  } else {
    ASSERT_EQ(undo.size(), 4u) << JoinLines(undo);
    EXPECT_TRUE(Contains(undo, "\\p1\\it's 100%% $HOME; done.txt\"")) << JoinLines(undo);
  }
  ProcessResult undone = NativePathStyle() == PathStyle::kPosix
                             ? RunProcess("sh", {UndoScriptPath()})
                             : RunProcess("cmd.exe", {"/c", UndoScriptPath()});
  EXPECT_EQ(undone.exit_code, 0) << undone.output << undone.errors;
  for (const char* folder : {"p1", "p2/sub"}) {
    for (const std::string& name : names) {
      EXPECT_EQ(ReadFile(dir_ / (std::string(folder) + "/" + name)), "aa\r\n") << name;
    }
  }

  // A backup folder that is the searched folder itself backs nothing up, so nothing is replaced.
  results = Run("[Search]\r\na\r\n[Replace]\r\nc\r\n", {Pair("p1", "one.txt")},
                {"Backup Path=" + (dir_ / "p1")});
  EXPECT_EQ(ReadFile(dir_ / "p1/one.txt"), "aa\r\n");
  EXPECT_TRUE(Contains(results, "Error creating/writing file to backup directory"))
      << JoinLines(results);

  // Written to the backup folder: the searched files stay, the undo line copies them back.
  ForgetEmptiedUndoScripts();
  WriteFile(dir_ / "p1/one.txt", "aa\r\n");
  Run("[Search]\r\na\r\n[Replace]\r\nc\r\n", {Pair("p1", "one.txt")},
      {"Backup Path=" + (dir_ / "out"), "Write to Backup Dir=1"});
  EXPECT_EQ(ReadFile(dir_ / "p1/one.txt"), "aa\r\n");
  EXPECT_EQ(ReadFile(dir_ / "out/one.txt"), "cc\r\n");
  EXPECT_EQ(SplitLines(ReadFile(UndoScriptPath())).size(),
            NativePathStyle() == PathStyle::kPosix ? 2u : 1u);
}

// The file service fails its k-th operation (k = 1, 2, ...), once or from then on. Every file is
// then its old or its new content, the undo script puts back every replaced one, no temporary
// file is left (when removing it was not itself made to fail), and the results say what failed.
TEST_F(ReplaceEngineTest, FailingFileOperationsLoseNothing) {
  const std::string old_text = "alpha beta alpha\r\n", new_text = "omega beta omega\r\n";
  for (bool persistent : {false, true}) {
    bool fired = true;
    for (std::int64_t k = 1; fired && k < 400; ++k) {
      RemoveTree(dir_ / "f");
      RemoveTree(dir_ / "bak");
      MakeFolders(dir_ / "f");
      for (const char* name : {"a.txt", "b.txt", "c.txt"})
        WriteFile(dir_ / ("f/" + std::string(name)), old_text);
      ForgetEmptiedUndoScripts();
      Files().RemoveFile(UndoScriptPath());
      FaultInjectingFileSystem faulty(RealFileSystem());
      faulty.FailAt(k, ErrorKind::kDiskFull, persistent);
      std::vector<std::string> results;
      {
        ScopedFileSystem scope(faulty);
        services_.outputs.clear();
        std::string script = JoinLines({"[Test]", "[Options]", "Output_File=out", "Prompt_flag=2",
                                        "Show Progress Dialog=0", "Backup Path=" + (dir_ / "bak"),
                                        "[Search]", "alpha", "[Replace]", "omega", "[Path]",
                                        Pair("f", "*.txt"), "[End of Findmend Script]"});
        FileReplaceScript loaded;
        loaded.LoadFromMemory("script", script, services_);
        ScopedEnvironment tmpdir("TMPDIR", dir_ / "tmp");
        ScopedEnvironment tmp("TMP", dir_ / "tmp");
        FileReplaceEngine engine(services_);
        engine.Run(loaded);
        results = SplitLines(services_.outputs["out"]);
      }
      fired = faulty.fired();
      std::string when = "operation " + std::to_string(k) + (persistent ? " and after" : "") +
                         " failing (" +
                         (fired ? faulty.log()[static_cast<std::size_t>(k - 1)] : "none") + ")";
      int replaced = 0;
      for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        std::string now = ReadFile(dir_ / ("f/" + std::string(name)));
        EXPECT_TRUE(now == old_text || now == new_text) << name << " damaged, " << when;
        replaced += now == new_text;
      }
      for (const std::string& name : Names(dir_ / "f")) {
        EXPECT_TRUE(name == "a.txt" || name == "b.txt" || name == "c.txt") << name << ", " << when;
      }
      bool removal_failed = false;
      for (std::size_t i = static_cast<std::size_t>(k - 1); fired && i < faulty.log().size(); ++i) {
        removal_failed |= faulty.log()[i].rfind("RemoveFile", 0) == 0;
        if (!persistent) break;
      }
      if (!removal_failed) {
        EXPECT_EQ(Names(dir_ / "tmp"), std::vector<std::string>{}) << when;
      }
      for (const std::string& name : Names(dir_ / "tmp"))
        Files().RemoveFile(dir_ / ("tmp/" + name));
      std::vector<std::string> transcript = questions_.TakeTranscript();
      if (replaced < 3 && fired) {
        EXPECT_TRUE(Contains(results, "Error") || Contains(results, "Mismatch") ||
                    Contains(transcript, "Error opening temp file"))
            << JoinLines(results) << when;
      }
      if (replaced > 0 && NativePathStyle() == PathStyle::kPosix) {
        ASSERT_EQ(std::system(("sh '" + UndoScriptPath() + "'").c_str()), 0) << when;
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
          EXPECT_EQ(ReadFile(dir_ / ("f/" + std::string(name))), old_text)
              << name << " not put back, " << when;
        }
      }
    }
    EXPECT_FALSE(fired) << "the run never completed";
  }
}

}  // namespace
}  // namespace tsl::testing
