#include "synch/synch_job.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "services/test_job_services.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::Native;
using testing::ScopedTempDir;
using testing::WriteFile;

constexpr FileTime kSecond = 10000000;
// 2021-03-04 12:00:00 UTC: the same calendar day in every time zone within 11 hours of UTC.
constexpr FileTime kNoon = 132593328000000000LL;

class SynchJobTest : public ::testing::Test {
 protected:
  SynchJobTest() : job_(services_) {}

  void Answers(const std::string& answers) { questions_.Answers(answers); }

  void File(const std::string& relative, const std::string& content, FileTime modified,
            bool read_only = false) {
    std::string path = dir_ / relative;
    std::string folder = dir_.path();
    for (std::size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
      Files().MakeFolder(dir_ / relative.substr(0, slash));  // already there is fine
    }
    WriteFile(path, content);
    ASSERT_TRUE(Files().SetTimes(path, modified, modified).ok());
    if (read_only) {
      ASSERT_TRUE(Files().SetAttributes(path, attr::kReadOnly).ok());
    }
  }

  std::string Script(const std::string& text) {
    WriteFile(dir_ / "job.ini", text);
    return dir_ / "job.ini";
  }

  std::vector<std::string> Transcript() {
    std::string text;
    RealFileSystem().ReadWholeFile(dir_ / "transcript.txt", &text);
    return testing::SplitLines(text);
  }

  std::string Folder(const std::string& name) { return dir_ / name + testing::Separator(); }

  ScopedTempDir dir_;
  testing::ScriptedQuestions questions_{dir_ / "transcript.txt"};
  testing::TestServices services_;
  SynchJob job_;
};

TEST_F(SynchJobTest, DefaultColumnsReport) {
  File("src/same.txt", "12345", kNoon);
  File("src/newer.txt", "new!", kNoon + 3600 * kSecond);
  File("src/only1.txt", "1", kNoon, true);
  File("src/sub/deep.txt", "deep", kNoon);
  File("dst/same.txt", "12345", kNoon + 2 * kSecond);
  File("dst/NEWER.TXT", "old", kNoon);
  File("dst/sub/deep.txt", "deeper", kNoon);
  File("dst/only2.txt", "22", kNoon);
  job_.RunSynchronizationScript(Script("[Default]\nPath1=" + dir_ / "src" +
                                       "\nPath2=" + dir_ / "dst" +
                                       "\nOutput File=report.txt\nSort Compare=0\nOperation=6\n"
                                       "Group Files=1\nShow progress=0\n[Action1]\n"));
  std::string src = Folder("src"), dst = Folder("dst");
  std::optional<CalendarTime> t = ToCalendar(UtcToLocal(kNoon));
  std::optional<CalendarTime> t2 = ToCalendar(UtcToLocal(kNoon + 2 * kSecond));
  std::optional<CalendarTime> t3 = ToCalendar(UtcToLocal(kNoon + 3600 * kSecond));
  auto when = [](const CalendarTime& c) {
    return FormatWithPicture("M/d/yyyy", c) + " " + FormatWithPicture("h:mm:ss tt", c);
  };
  std::string at = when(*t), at2 = when(*t2), at3 = when(*t3);
  std::string header = "Description\tFile Name\tSize\tModified\tAttrib\t";
  EXPECT_EQ(services_.outputs["report.txt"],
            "File Comparison using mask (*.*)\r\nSource: " + src + "\t\t\t\t\tTarget: " + dst +
                "\r\nDisplay Identical Files, Display Different Files with Matched Names, "
                "Display Files in Only 1 Directory\r\n" +
                header + header + "\r\n" + "Only in Dir 1\tonly1.txt\t1\t" + at +
                "\tra  \t\t\t\t\t\t\r\n" + "Different\t" + Native("sub/") + "deep.txt\t4\t" + at +
                "\t a  \t\t" + Native("sub/") + "deep.txt\t6\t" + at + "\t a  \t\r\n" +
                "File 1 is newer\tnewer.txt\t4\t" + at3 + "\t a  \t\tNEWER.TXT\t3\t" + at +
                "\t a  \t\r\n" + "Identical\tsame.txt\t5\t" + at + "\t a  \t\tsame.txt\t5\t" + at2 +
                "\t a  \t\r\n" + "Only in Dir 2\t\t\t\t\t\tonly2.txt\t2\t" + at + "\t a  \t\r\n" +
                "\r\n");
  EXPECT_TRUE(Transcript().empty());
}

TEST_F(SynchJobTest, CustomColumnsExtraDataAndDtoFormatLine) {
  File("src/a.txt", "123456789", kNoon);
  File("dst/a.txt", "123456789", kNoon);
  File("dst/b.txt", "", kNoon);
  job_.RunSynchronizationScript(Script(
      "[Default]\nPath1=" + dir_ / "src" + "\nPath2=" + dir_ / "dst" +
      "\nOutput File=out.dto\nShow progress=0\nOperation=6\nOutput "
      "Columns=<DT_COL=Name><DT_FIELD=Name>"
      "</DT_COL>,<DT_COL=CRC><DT_FIELD=CRC32></DT_COL>,<DT_COL=Sum><DT_FIELD=Checksum></DT_COL>"
      "\\n\nMask=*.txt\n[Action1]\n"));
  EXPECT_TRUE(job_.extra().crc32 && job_.extra().checksum && !job_.extra().version);
  EXPECT_EQ(services_.outputs["out.dto"],
            "Format=<DT_COL=Name><DT_FIELD=Name></DT_FIELD></DT_COL>,<DT_COL=CRC><DT_FIELD=CRC32>"
            "</DT_FIELD></DT_COL>,<DT_COL=Sum><DT_FIELD=Checksum></DT_FIELD></DT_COL>\\n\r\n"
            "File Comparison using mask (*.txt)\r\nSource: " +
                Folder("src") + "\t\t\t\t\tTarget: " + Folder("dst") +
                "\r\nDisplay Identical Files, Display Different Files with Matched "
                "Names, Display Files in Only 1 Directory\r\nName,CRC,Sum\nName,CRC,Sum\n\r\n"
                "a.txt,cbf43926,1dd\na.txt,cbf43926,1dd\n\r\n"
                ",,\nb.txt,,\n\r\n\r\n");
}

TEST_F(SynchJobTest, ActionsRunInNumberOrderWithTheirOwnSettings) {
  File("src/a.txt", "a", kNoon);
  File("src/b.doc", "b", kNoon);
  job_.RunSynchronizationScript(
      Script("[Default]\nPath1=" + dir_ / "src" + "\nPath2=" + dir_ / "dst" +
             "\nMask=*.txt\nShow progress=0\nOperation=6\n"
             "Output Columns=<DT_COL=N><DT_FIELD=Name></DT_COL>;\n"
             "[Action3]\nMask=*.doc\nOutput File=three\n[Action1]\nOutput File=one\n"));
  EXPECT_EQ(testing::SplitLines(services_.outputs["one"]).at(4), "a.txt;;");
  EXPECT_EQ(testing::SplitLines(services_.outputs["three"]).at(4), "b.doc;;");
}

// An action with an operation code runs it: the copy is made and logged, nothing is asked.
TEST_F(SynchJobTest, OperationCodesRunTheirOperation) {
  File("src/a.txt", "a", kNoon);
  job_.RunSynchronizationScript(Script("[Default]\nPath1=" + dir_ / "src" +
                                       "\nPath2=" + dir_ / "dst" +
                                       "\nOperation=3\nOutput File=log\nShow progress=0\n"
                                       "Confirm Updates=0\n[Action1]\n"));
  EXPECT_EQ(testing::ReadFile(dir_ / "dst/a.txt"), "a");
  std::vector<std::string> log = testing::SplitLines(services_.outputs["log"]);
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2], "File " + dir_ / "src/a.txt" + " was copied to " + dir_ / "dst/a.txt");
  EXPECT_EQ(log[3], "Operation complete!");
  EXPECT_TRUE(Transcript().empty());
}

TEST_F(SynchJobTest, TheOperationDialogChoosesOrSkips) {
  File("src/a.txt", "a", kNoon);
  std::string script = Script("[Default]\nPath1=" + dir_ / "src" + "\nPath2=" + dir_ / "dst" +
                              "\nOperation=-1\nShow progress=0\nOutput File=r\n"
                              "Output Columns=<DT_COL=R><DT_FIELD=Root></DT_COL>;\n[Action1]\n");
  Answers("Swap;OK");
  job_.RunSynchronizationScript(script);
  std::string src = Folder("src"), dst = Folder("dst");
  std::string shown =
      "Question: Synchronize Directories: Source Directory: " + testing::TranscriptText(src) +
      "\\nTarget Directory: " + testing::TranscriptText(dst) + "\\nPreselected: -1 -> Swap";
  std::string swapped =
      "Question: Synchronize Directories: Source Directory: " + testing::TranscriptText(dst) +
      "\\nTarget Directory: " + testing::TranscriptText(src) + "\\nPreselected: -1 -> OK";
  EXPECT_EQ(Transcript(), (std::vector<std::string>{shown, swapped}));
  // After one swap the job compares the folders the other way round.
  EXPECT_EQ(testing::SplitLines(services_.outputs["r"]).at(4), ";" + src + ";");

  services_.outputs.clear();
  Answers("Cancel");
  job_.RunSynchronizationScript(script);
  EXPECT_TRUE(services_.outputs.empty());
  Answers("");
  job_.RunSynchronizationScript(script);  // no answer left: the window's closing answer
  EXPECT_TRUE(services_.outputs.empty());
  EXPECT_EQ(Transcript().back().substr(Transcript().back().size() - 9), "-> Cancel");
}

TEST_F(SynchJobTest, OperationDialogPreselection) {
  for (auto [code, preselected] :
       {std::pair{-5, 3}, {-2, 0}, {-7, 5}, {-9, 7}, {-8, -1}, {-1, -1}}) {
    File("src/a.txt", "a", kNoon);
    WriteFile(dir_ / "transcript.txt", "");
    Answers("OK");
    job_.RunSynchronizationScript(
        Script("[Action1]\nPath1=" + dir_ / "src" + "\nPath2=" + dir_ / "dst" +
               "\nShow progress=0\nOperation=" + std::to_string(code) + "\n"));
    std::string last = Transcript().empty() ? "" : Transcript().front();
    EXPECT_NE(last.find("Preselected: " + std::to_string(preselected) + " -> OK"),
              std::string::npos)
        << code << ": " << last;
  }
}

TEST_F(SynchJobTest, CancelAsksAboutTheRemainingActions) {
  File("src/a.txt", "a", kNoon);
  std::string common = "Path1=" + dir_ / "src" + "\nPath2=" + dir_ / "dst" +
                       "\nShow progress=0\nOutput Columns=x\nOperation=6\n";
  std::string script =
      Script("[Default]\n" + common + "Display Error Messages=1\n" +
             "[Action1]\nOutput File=1\n[Action2]\nOutput File=2\nShow progress=1\n"
             "[Action3]\nOutput File=3\n[Action4]\nOutput File=4\n"
             "[Action5]\nOutput File=5\n");
  // The first progress window (action 2's) is cancelled at its first update.
  services_.cancel_at_steps = {0};
  Answers("No");
  job_.RunSynchronizationScript(script);
  EXPECT_EQ(services_.outputs.size(), 4u);  // every action but the second wrote its report
  EXPECT_EQ(services_.outputs.count("2"), 0u);
  std::string path = testing::TranscriptText(dir_ / "job.ini");
  EXPECT_EQ(Transcript(),
            (std::vector<std::string>{
                "MessageBox: Cancel remaining 3 action(s)? -> No",
                "MessageBox: 5 action(s) in script file\\n" + path + "\\nwere processed. -> OK"}));

  services_.outputs.clear();
  services_.cancel_at_steps = {0};
  Answers("Yes");
  WriteFile(dir_ / "transcript.txt", "");
  job_.RunSynchronizationScript(script);
  EXPECT_EQ(services_.outputs.size(), 1u);
  EXPECT_EQ(Transcript(),
            std::vector<std::string>{"MessageBox: Cancel remaining 3 action(s)? -> Yes"});

  // Without display error messages the run ends at once, quietly.
  services_.outputs.clear();
  services_.cancel_at_steps = {0};
  WriteFile(dir_ / "transcript.txt", "");
  job_.RunSynchronizationScript(Script("[Default]\n" + common +
                                       "[Action1]\nOutput File=1\nShow progress=1\n"
                                       "[Action2]\nOutput File=2\n"));
  EXPECT_TRUE(services_.outputs.empty());
  EXPECT_TRUE(Transcript().empty());
}

TEST_F(SynchJobTest, AnEmptyFolderTextCancelsTheJob) {
  job_.RunSynchronizationScript(Script("[Action1]\nPath1=" + dir_ / "src" +
                                       "\nOutput File=r\nShow progress=0\n"
                                       "Display Error Messages=1\nOperation=6\n[Action2]\n"
                                       "Path2=x\nDisplay Error Messages=1\nShow progress=0\n"
                                       "Operation=6\n"));
  EXPECT_TRUE(services_.outputs.empty());
  EXPECT_EQ(Transcript(),
            std::vector<std::string>{"MessageBox: Cancel remaining 1 action(s)? -> No"});
}

TEST_F(SynchJobTest, InvalidDatesAreReportedAndLeaveTheFilterUnset) {
  job_.RunSynchronizationScript(
      Script("[Action1]\nMin Date Filter=13/1/2001\nMax Date Filter=2/30/2004\n"
             "Show progress=0\nOperation=6\n"));
  EXPECT_EQ(Transcript(), (std::vector<std::string>{"MessageBox: Invalid month -> OK",
                                                    "MessageBox: Invalid day -> OK"}));
  EXPECT_EQ(job_.settings().min_date, 0);
  EXPECT_EQ(job_.settings().max_date, 0);
}

TEST_F(SynchJobTest, MaxDateFilterOfAnActionKeepsTheWholeDay) {
  std::optional<FileTime> start = job_.ReadDate("3/4/2021", false);
  std::optional<FileTime> end = job_.ReadDate("3/4/2021", true);
  ASSERT_TRUE(start && end);
  EXPECT_EQ(*end - *start, (23 * 3600 + 59 * 60 + 59) * kSecond);
  std::optional<CalendarTime> local = ToCalendar(UtcToLocal(*start));
  ASSERT_TRUE(local);
  EXPECT_EQ(local->day, 4);
  EXPECT_EQ(local->hour, 0);

  File("src/in.txt", "x", *end);
  File("src/after.txt", "x", *end + kSecond);
  job_.RunSynchronizationScript(
      Script("[Action1]\nPath1=" + dir_ / "src" + "\nPath2=" + dir_ / "d" +
             "\nMax Date Filter=3/4/2021\nOutput File=r\nShow progress=0\nOperation=6\n"
             "Output Columns=<DT_COL=N><DT_FIELD=Name></DT_COL>;\n"));
  std::vector<std::string> lines = testing::SplitLines(services_.outputs["r"]);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end() - 1),
            std::vector<std::string>{"in.txt;;"});
}

TEST_F(SynchJobTest, DirectoryInfoScriptRunsOneJobWithoutTheDialog) {
  File("src/a.txt", "a", kNoon);
  File("src/x.txt", "a", kNoon);
  job_.RunSynchronizationScript(
      Script("[Directory Info]\nSource=" + dir_ / "src" + "\nTarget=" + dir_ / "dst" +
             "\nInclude Mask=*.txt\nExclude Mask=x*\n[Options]\nLog File=r\nNo Progress=1\n"
             "Output Columns=<DT_COL=N><DT_FIELD=Name></DT_COL>;\nDisplay Error Messages=1\n"));
  std::vector<std::string> lines = testing::SplitLines(services_.outputs["r"]);
  EXPECT_EQ(lines.at(0), "File Comparison using mask (*.txt;~x*)");
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end() - 1),
            std::vector<std::string>{"a.txt;;"});
  EXPECT_TRUE(Transcript().empty());  // no dialog, no summary
  EXPECT_EQ(services_.progress_log.size(), 0u);
}

TEST_F(SynchJobTest, PreparationExpandsFoldersAndSetsTheProgressLook) {
  testing::ScopedEnvironment root("TSL_SYNCH_ROOT", dir_.path());
  job_.settings().source_folder = "%TSL_SYNCH_ROOT%" + Native("/a");
  job_.settings().bitmap_file = "pic.bmp";
  job_.settings().allow_cancel = 0;
  job_.PrepareJob();
  EXPECT_EQ(job_.settings().source_folder, Folder("a"));
  EXPECT_EQ(job_.settings().target_folder, "");
  EXPECT_EQ(services_.look, "pic.bmp no cancel");
  EXPECT_FALSE(job_.extra().crc32);  // no output file: no extra data
}

// The comparison judges how the folders lie by what they are; the outer folder's scan leaves
// the inner folder out, so that the inner files are not also seen as the outer folder's own.
TEST_F(SynchJobTest, FoldersRelationAndTheInnerFolderLeftOut) {
  File("x/a.txt", "a", kNoon);
  File("x/sub/b.txt", "b", kNoon);
  auto compare = [&](const std::string& source, const std::string& target) {
    job_.RunSynchronizationScript(Script("[Default]\nPath1=" + source + "\nPath2=" + target +
                                         "\nOperation=6\nShow progress=0\n[Action1]\n"));
    std::vector<std::string> seen;
    for (const FileRecord& r : job_.lists().source) seen.push_back("1 " + r.Path());
    for (const FilePair& p : job_.lists().pairs) seen.push_back("= " + p.source.Path());
    for (const FileRecord& r : job_.lists().target) seen.push_back("2 " + r.Path());
    return seen;
  };
  std::string x = dir_ / "x", sub = dir_ / "x/sub", sep(1, testing::Separator());
  EXPECT_EQ(compare(x, sub),
            (std::vector<std::string>{"1 " + x + sep + "a.txt", "2 " + sub + sep + "b.txt"}));
  EXPECT_EQ(job_.lists().relation, FolderRelation::kTargetInsideSource);
  EXPECT_EQ(compare(sub, x),
            (std::vector<std::string>{"1 " + sub + sep + "b.txt", "2 " + x + sep + "a.txt"}));
  EXPECT_EQ(job_.lists().relation, FolderRelation::kSourceInsideTarget);
  compare(x, x + sep + ".");
  EXPECT_EQ(job_.lists().relation, FolderRelation::kSame);
  EXPECT_EQ(job_.lists().pairs.size(), 2u);
  compare(x, dir_ / "none");
  EXPECT_EQ(job_.lists().relation, FolderRelation::kApart);
}

}  // namespace
}  // namespace tsl
