// The comparison job as users run it: TslRun on folder trees laid out by the test, with scripted
// answers and a transcript, checked by the whole report it writes.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

constexpr FileTime kSecond = 10000000;
constexpr FileTime kNoon = 132593328000000000LL;  // 2021-03-04 12:00:00 UTC

class SynchReportTest : public ::testing::Test {
 protected:
  // Lays out a file with a fixed modified time, making its folders.
  void File(const std::string& relative, const std::string& content, FileTime modified) {
    for (std::size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
      Files().MakeFolder(dir_ / relative.substr(0, slash));
    }
    WriteFile(dir_ / relative, content);
    ASSERT_TRUE(Files().SetTimes(dir_ / relative, modified, modified).ok());
  }

  // Runs TslRun on the script with local time = UTC; gives the report's text.
  std::string Run(const std::string& script, const std::string& answers = "",
                  const std::string& report = "report.txt") {
    WriteFile(dir_ / "job.ini", script);
    RemoveFile(report);
    ProcessResult result = RunTslRun(dir_ / "job.ini" + "|||", dir_.path(), answers, &transcript_,
                                     {{"TZ", "UTC"}, {"TESSALINE_REGISTRY", dir_ / "registry.db"}});
    EXPECT_TRUE(result.error.ok());
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    std::string text;
    RealFileSystem().ReadWholeFile(dir_ / report, &text);
    return text;
  }
  void RemoveFile(const std::string& name) { RealFileSystem().RemoveFile(dir_ / name); }

  std::string Folder(const std::string& name) { return dir_ / name + Separator(); }
  std::string Paths() { return "Path1=" + dir_ / "src" + "\r\nPath2=" + dir_ / "dst" + "\r\n"; }
  // A UTC time as the report shows it when local time is UTC.
  std::string When(FileTime utc) {
    std::optional<CalendarTime> c = ToCalendar(utc);
    return FormatShortDate(*c) + " " + FormatTime(*c);
  }

  ScopedTempDir dir_;
  std::vector<std::string> transcript_;
};

const char kOptions[] =
    "Display Identical Files, Display Different Files with Matched Names, Display Files in Only "
    "1 Directory\r\n";

TEST_F(SynchReportTest, DefaultColumnsGroupedBySortOrder) {
  File("src/same.txt", "12345", kNoon);
  File("src/newer.txt", "new!", kNoon + 3600 * kSecond);
  File("src/only1.txt", "1", kNoon);
  File("src/sub/deep.txt", "deep", kNoon);
  File("src/.hidden/skipped.txt", "x", kNoon);
  File("dst/same.txt", "12345", kNoon + 2 * kSecond);
  File("dst/NEWER.TXT", "old", kNoon);
  File("dst/sub/deep.txt", "deeper", kNoon);
  File("dst/only2.txt", "22", kNoon);
  std::string report = Run("[Default]\r\n" + Paths() +
                           "Output File=report.txt\r\nOperation=6\r\nShow progress=0\r\n"
                           "Sort Compare=0\r\nGroup Files=1\r\n[Action1]\r\n");
  std::string header = "Description\tFile Name\tSize\tModified\tAttrib\t";
  std::string at = When(kNoon), at2 = When(kNoon + 2 * kSecond);
  std::string at3 = When(kNoon + 3600 * kSecond);
  std::string sub = Native("sub/");
  EXPECT_EQ(report, "File Comparison using mask (*.*)\r\nSource: " + Folder("src") +
                        "\t\t\t\t\tTarget: " + Folder("dst") + "\r\n" + kOptions + header + header +
                        "\r\n" + "Only in Dir 1\tonly1.txt\t1\t" + at + "\t a  \t\t\t\t\t\t\r\n" +
                        "Different\t" + sub + "deep.txt\t4\t" + at + "\t a  \t\t" + sub +
                        "deep.txt\t6\t" + at + "\t a  \t\r\n" + "File 1 is newer\tnewer.txt\t4\t" +
                        at3 + "\t a  \t\tNEWER.TXT\t3\t" + at + "\t a  \t\r\n" +
                        "Identical\tsame.txt\t5\t" + at + "\t a  \t\tsame.txt\t5\t" + at2 +
                        "\t a  \t\r\n" + "Only in Dir 2\t\t\t\t\t\tonly2.txt\t2\t" + at +
                        "\t a  \t\r\n\r\n");
  EXPECT_TRUE(transcript_.empty());
}

TEST_F(SynchReportTest, MergedBySortOrderWithCustomColumnsAndHeader) {
  File("src/b.txt", "b", kNoon);
  File("src/d.txt", "d", kNoon);
  File("dst/a.txt", "a", kNoon);
  File("dst/d.txt", "dd", kNoon);
  File("src/c.txt", "c", kNoon);
  std::string report = Run(
      "[Default]\r\n" + Paths() +
      "Output File=report.txt\r\nOperation=6\r\nShow progress=0\r\n"
      "Sort Compare=0\r\nMask=*.txt\r\nOutput Header=Compare <DT_PATH1> and <dt_path2> "
      "(<DT_MASK>)\\r\\n\r\n"
      "Output Footer=-- end --\\r\\n\r\n"
      "Output Columns=|<DT_COL=What><DT_FIELD=Description></DT_COL>|<DT_COL=Name><DT_FIELD=Name>"
      "</DT_COL>|<DT_COL=Bytes><DT_RIGHT_JUST><DT_FIELD=Size></DT_COL>|\r\n[Action1]\r\n");
  EXPECT_EQ(report, "Compare " + Folder("src") + " and " + Folder("dst") + " (*.txt)\r\n" +
                        kOptions + "|What|Name|Bytes|What|Name|Bytes|\r\n" +
                        "|Only in Dir 2||||a.txt|1|\r\n"
                        "|Only in Dir 1|b.txt|1||||\r\n"
                        "|Only in Dir 1|c.txt|1||||\r\n"
                        "|Different|d.txt|1||d.txt|2|\r\n"
                        "-- end --\r\n");
}

TEST_F(SynchReportTest, DtoReportStartsWithItsFormatLine) {
  File("src/a.txt", "123456789", kNoon);
  File("dst/a.txt", "123456789", kNoon);
  std::string report = Run("[Default]\r\n" + Paths() +
                               "Output File=report.dto\r\nOperation=6\r\nShow progress=0\r\n"
                               "Output Columns=<DT_COL=N><DT_FIELD=Name></DT_COL>\\t<DT_COL=CRC>"
                               "<DT_FIELD=CRC32></DT_COL>\\t\r\n[Action1]\r\n",
                           "", "report.dto");
  EXPECT_EQ(report,
            "Format=<DT_COL=N><DT_FIELD=Name></DT_FIELD></DT_COL>\\t<DT_COL=CRC><DT_FIELD=CRC32>"
            "</DT_FIELD></DT_COL>\\t\r\n"
            "File Comparison using mask (*.*)\r\nSource: " +
                Folder("src") + "\t\t\t\t\tTarget: " + Folder("dst") + "\r\n" + kOptions +
                "N\tCRC\tN\tCRC\t\r\n" + "a.txt\tcbf43926\ta.txt\tcbf43926\t\r\n\r\n");
}

TEST_F(SynchReportTest, DirectoryInfoScriptWithProgressAndAppend) {
  File("src/a.txt", "a", kNoon);
  File("src/x.txt", "x", kNoon);
  WriteFile(dir_ / "keep.txt", "before\r\n");
  WriteFile(dir_ / "job.ini", "");
  std::string script =
      "[Directory Info]\r\nSource=" + dir_ / "src" + "\r\nTarget=" + dir_ / "dst" +
      "\r\nInclude Mask=*.txt\r\nExclude Mask=x*\r\n[Options]\r\nLog File=" + dir_ / "keep.txt" +
      "\r\nAppend to Output File=1\r\nSynch Option=Upd\r\n"
      "Output Columns=<DT_COL=N><DT_FIELD=Name></DT_COL>;\r\n";
  WriteFile(dir_ / "job.ini", script);
  ProcessResult result =
      RunTslRun(dir_ / "job.ini" + "|||", dir_.path(), "", &transcript_, {{"TZ", "UTC"}});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadFile(dir_ / "keep.txt"),
            "before\r\nFile Comparison using mask (*.txt;~x*)\r\nSource: " + Folder("src") +
                "\t\t\t\t\tTarget: " + Folder("dst") + "\r\n" + kOptions +
                "N;N;\r\na.txt;;\r\n\r\n");
  EXPECT_TRUE(transcript_.empty());
}

TEST_F(SynchReportTest, OperationDialogAnswersAndTranscript) {
  File("src/a.txt", "a", kNoon);
  std::string script = "[Default]\r\n" + Paths() +
                       "Output File=report.txt\r\nShow progress=0\r\nOperation=-1\r\n"
                       "Output Columns=<DT_COL=R><DT_FIELD=Root></DT_COL>;\r\n[Action1]\r\n";
  std::string report = Run(script, "Swap;OK");
  std::string src = TranscriptText(Folder("src")), dst = TranscriptText(Folder("dst"));
  EXPECT_EQ(transcript_, (std::vector<std::string>{
                             "Question: Synchronize Directories: Source Directory: " + src +
                                 "\\nTarget Directory: " + dst + "\\nPreselected: -1 -> Swap",
                             "Question: Synchronize Directories: Source Directory: " + dst +
                                 "\\nTarget Directory: " + src + "\\nPreselected: -1 -> OK"}));
  EXPECT_EQ(SplitLines(report).at(4), ";" + Folder("src") + ";");

  EXPECT_EQ(Run(script, "Cancel"), "");
  EXPECT_EQ(transcript_.size(), 1u);
}

TEST_F(SynchReportTest, UnreadableOutputFileIsReported) {
  File("src/a.txt", "a", kNoon);
  Run("[Default]\r\n" + Paths() + "Output File=" + dir_ / "no/such/folder/r.txt" +
      "\r\nOperation=6\r\nShow progress=0\r\n[Action1]\r\n");
  ASSERT_EQ(transcript_.size(), 1u);
  EXPECT_NE(transcript_[0].find("MessageBox: "), std::string::npos);
  EXPECT_NE(transcript_[0].find("r.txt"), std::string::npos);
}

// Links on Linux: a link to a file is scanned as that file, a link to a folder is never entered
// (no loops), a broken link is skipped.
TEST_F(SynchReportTest, SymbolicLinksOnLinux) {
  if (Separator() == '\\') GTEST_SKIP() << "links are a Linux matter here";
  File("src/real.txt", "real", kNoon);
  File("src/folder/inner.txt", "inner", kNoon);
  for (const auto& [target, link] : std::vector<std::pair<std::string, std::string>>{
           {dir_ / "src/real.txt", dir_ / "src/file-link.txt"},
           {dir_ / "src", dir_ / "src/folder/loop"},
           {dir_ / "src/gone.txt", dir_ / "src/broken.txt"}}) {
    ProcessResult made = RunProcess("ln", {"-s", target, link});
    ASSERT_EQ(made.exit_code, 0) << made.errors;
  }
  std::string report = Run("[Default]\r\n" + Paths() +
                           "Output File=report.txt\r\nOperation=6\r\nShow progress=0\r\n"
                           "Sort Compare=4\r\nOutput Columns=<DT_COL=F><DT_FIELD=Subdirectory>"
                           "<DT_FIELD=Name></DT_COL>;<DT_COL=S><DT_FIELD=Size></DT_COL>;\r\n"
                           "[Action1]\r\n");
  std::vector<std::string> lines = SplitLines(report);
  EXPECT_EQ(
      std::vector<std::string>(lines.begin() + 4, lines.end() - 1),
      (std::vector<std::string>{"file-link.txt;4;;;", "real.txt;4;;;", "folder/inner.txt;5;;;"}));
}

// The operation dialog on a Linux terminal (a pseudo-terminal made by `script`): `s` swaps the
// folders, Enter accepts.
TEST_F(SynchReportTest, OperationPromptOnALinuxTerminal) {
  if (Separator() == '\\') GTEST_SKIP() << "the terminal prompt is the Linux dialog";
  File("src/a.txt", "a", kNoon);
  WriteFile(dir_ / "job.ini",
            "[Default]\r\n" + Paths() +
                "Output File=report.txt\r\nShow progress=0\r\nOperation=-1\r\n"
                "Output Columns=<DT_COL=R><DT_FIELD=Root></DT_COL>;\r\n[Action1]\r\n");
  WriteFile(dir_ / "keys.txt", "s\n\n");
  ProcessOptions options;
  options.working_folder = dir_.path();
  options.stdin_file = dir_ / "keys.txt";
  options.unset_environment = {"TESSALINE_ANSWERS"};
  options.environment = {{"TESSALINE_TRANSCRIPT", dir_ / "transcript.txt"}};
  ProcessResult result = RunProcess(
      "script", {"-qec", "'" + TslRunProgram() + "' '" + dir_ / "job.ini" + "|||'", "/dev/null"},
      options);
  if (result.error.failed()) GTEST_SKIP() << "no script command to make a terminal";
  EXPECT_EQ(result.exit_code, 0) << result.output << result.errors;
  EXPECT_EQ(SplitLines(ReadFile(dir_ / "report.txt")).at(4), ";" + Folder("src") + ";");
  EXPECT_EQ(SplitLines(ReadFile(dir_ / "transcript.txt")),
            std::vector<std::string>{"Question: Synchronize Directories: Source Directory: " +
                                     TranscriptText(Folder("src")) + "\\nTarget Directory: " +
                                     TranscriptText(Folder("dst")) + "\\nPreselected: -1 -> -1"});
}

}  // namespace
}  // namespace tsl::testing
