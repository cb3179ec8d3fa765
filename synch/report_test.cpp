#include "synch/report.h"

#include <gtest/gtest.h>

#include "platform/locale.h"
#include "services/test_job_services.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::Native;

class NoTimes : public TimeFormatter {
 public:
  const std::string& Date(FileTime) override { return date_; }
  const std::string& Time(FileTime) override { return time_; }

 private:
  std::string date_ = "date", time_ = "time";
};

// The texts of the records the tests make, kept for the whole run.
RecordTexts& Texts() {
  static RecordTexts texts;
  return texts;
}

FileRecord Record(const std::string& root, const std::string& relative, std::uint64_t size) {
  FileRecord r;
  r.SetPath(Texts(), Native(root), Native(relative));
  r.size = size;
  return r;
}

class ReportTest : public ::testing::Test {
 protected:
  std::string Report(const std::string& columns_text) {
    EscapeCoding coding{[this](std::string_view t) { return services_.DecodeEscapes(t); },
                        [this](std::string_view t) { return services_.EncodeControls(t); }};
    ColumnList columns = ParseColumns(columns_text, coding);
    if (columns.empty()) columns = DefaultColumns();
    std::string text;
    testing::CollectingOutput out(&text);
    ReportContext context{settings_, columns, coding, times_, services_, &cancel_};
    WriteReport(lists_, context, out);
    return text;
  }

  // The body lines only: what follows the title, the options and the header lines.
  std::vector<std::string> Body(const std::string& report) {
    std::vector<std::string> lines = testing::SplitLines(report);
    return std::vector<std::string>(lines.begin() + 4, lines.end() - 1);
  }

  SynchSettings settings_;
  FileLists lists_;
  NoTimes times_;
  testing::TestServices services_;
  bool cancel_ = false;
};

TEST_F(ReportTest, HalvesJoinAtTheLiteralColumns) {
  settings_.source_folder = Native("/s/");
  settings_.target_folder = Native("/t/");
  settings_.show_progress = 0;
  lists_.pairs.push_back(FilePair{Record("/s/", "a.txt", 10), Record("/t/", "a.txt", 12), false});
  std::string report =
      Report("|<DT_COL=N><DT_FIELD=Name></DT_COL>|<DT_COL=S><DT_FIELD=Size></DT_COL>|");
  EXPECT_EQ(Body(report), std::vector<std::string>{"|a.txt|10|a.txt|12|"});
  EXPECT_EQ(testing::SplitLines(report)[3], "|N|S|N|S|");

  ColumnList columns = ParseColumns(
      "[<DT_COL=A><DT_FIELD=Name></DT_COL>-<DT_COL=B><DT_FIELD=Size></DT_COL>]", EscapeCoding{});
  HalfColumns halves = SplitHalves(columns);
  EXPECT_EQ(halves.source.back().text, "-");
  EXPECT_EQ(halves.target.front().text, "");
  EXPECT_EQ(halves.target.back().text, "]");
  // Without a literal column at both ends nothing changes.
  halves = SplitHalves(ParseColumns("<DT_COL=A><DT_FIELD=Name></DT_COL>;", EscapeCoding{}));
  EXPECT_EQ(halves.source.back().text, ";");
  EXPECT_EQ(halves.target.back().text, ";");
}

TEST_F(ReportTest, OptionsLine) {
  EXPECT_EQ(OptionsLine(settings_),
            "Display Identical Files, Display Different Files with Matched Names, "
            "Display Files in Only 1 Directory");
  settings_.match_in_subfolders = 1;
  settings_.check_same_size_files = 1;
  settings_.show_identical = 0;
  EXPECT_EQ(OptionsLine(settings_),
            "Match different duplicate files, Display Different Files with Matched Names, "
            "Display Files in Only 1 Directory, Binary Compare Files");
  SynchSettings none;
  none.show_identical = none.show_different = none.show_files_in_one_folder = 0;
  EXPECT_EQ(OptionsLine(none), "");
}

TEST_F(ReportTest, GroupedAndMergedBodies) {
  settings_.show_progress = 0;
  lists_.source = {Record("/s/", "b", 1), Record("/s/", "e", 1)};
  lists_.pairs = {FilePair{Record("/s/", "a", 1), Record("/t/", "a", 1), true},
                  FilePair{Record("/s/", "d", 1), Record("/t/", "d", 1), false}};
  lists_.pairs[1].target.compare_state = kOlder;
  lists_.target = {Record("/t/", "c", 1), Record("/t/", "f", 1)};
  const std::string columns =
      "<DT_COL=S><DT_FIELD=Description></DT_COL>:<DT_COL=N><DT_FIELD=Name></DT_COL>;";
  std::vector<std::string> grouped = {"Only in Dir 1:b;:;", "Only in Dir 1:e;:;",
                                      "Identical:a;:a;",    "File 1 is newer:d;:d;",
                                      "Only in Dir 2:;:c;", "Only in Dir 2:;:f;"};
  EXPECT_EQ(Body(Report(columns)), grouped);  // no sort key
  settings_.sort_key = 0;
  settings_.group_files = 1;
  EXPECT_EQ(Body(Report(columns)), grouped);
  settings_.group_files = 0;
  EXPECT_EQ(Body(Report(columns)),
            (std::vector<std::string>{"Identical:a;:a;", "Only in Dir 1:b;:;", "Only in Dir 2:;:c;",
                                      "File 1 is newer:d;:d;", "Only in Dir 1:e;:;",
                                      "Only in Dir 2:;:f;"}));
}

TEST_F(ReportTest, TitleHeaderAndFooter) {
  settings_.show_progress = 0;
  settings_.mask = "*.txt";
  settings_.source_folder = "S";
  settings_.target_folder = "T";
  settings_.output_header = "Compare <dt_path1> with <DT_PATH2> (<DT_MASK>, <DT_Mask>)\r\n";
  settings_.output_footer = "-- end --\r\n";
  EXPECT_EQ(Report("<DT_COL=N><DT_FIELD=Name></DT_COL>"),
            "Compare S with T (*.txt, *.txt)\r\n"
            "Display Identical Files, Display Different Files with Matched Names, Display Files "
            "in Only 1 Directory\r\nNN\r\n-- end --\r\n");
  settings_.output_header.clear();
  settings_.output_footer.clear();
  settings_.output_file = "report.DTO";
  EXPECT_EQ(Report("<DT_COL=N><DT_FIELD=Name></DT_COL>\\t"),
            "Format=<DT_COL=N><DT_FIELD=Name></DT_FIELD></DT_COL>\\t\r\n"
            "File Comparison using mask (*.txt)\r\nSource: S\t\t\t\t\tTarget: T\r\n"
            "Display Identical Files, Display Different Files with Matched Names, Display Files "
            "in Only 1 Directory\r\nN\tN\t\r\n\r\n");
}

TEST_F(ReportTest, TheBodyHasAProgressWindowOfItsOwnThatCanCancel) {
  for (int i = 0; i < 5; ++i) lists_.source.push_back(Record("/s/", std::to_string(i), 1));
  services_.cancel_at_steps = {2};
  std::string report = Report("<DT_COL=N><DT_FIELD=Name></DT_COL>");
  EXPECT_EQ(Body(report), (std::vector<std::string>{"0", "1"}));
  EXPECT_TRUE(cancel_);
  EXPECT_EQ(services_.progress_log, (std::vector<std::string>{"open 5 Creating Report", "cancel"}));
}

// The quick time formatter gives what the locale's picture formatter gives, for every second
// of a day.
TEST(TimePictureFormatterTest, AgreesWithThePictureFormatter) {
  for (const char* picture :
       {"h:mm:ss tt", "HH:mm:ss", "H.m.s", "hh 'o''clock' t", "tt h:mm", "HH' h 'mm", "s-m-h x"}) {
    TimePictureFormatter quick(picture);
    ASSERT_FALSE(quick.needs_date()) << picture;
    for (int second = 0; second < 86400; ++second) {
      CalendarTime time;
      time.hour = second / 3600;
      time.minute = second / 60 % 60;
      time.second = second % 60;
      std::string text;
      quick.Append(&text, time.hour, time.minute, time.second);
      ASSERT_EQ(text, FormatWithPicture(picture, time)) << picture << " at " << second;
    }
  }
  EXPECT_TRUE(TimePictureFormatter("d h").needs_date());
}

}  // namespace
}  // namespace tsl
