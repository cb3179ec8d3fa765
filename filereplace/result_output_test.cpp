#include "filereplace/result_output.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "services/test_job_services.h"

namespace tsl {
namespace {

const std::string kS(result_marker::kHitStart), kE(result_marker::kHitEnd);

std::string Hit(std::string_view chunk, std::int64_t at, std::int64_t length, bool binary = false,
                std::int64_t line = 1, bool utf16 = false, int most = 512) {
  HitLineInput hit;
  hit.chunk = chunk.data();
  hit.chunk_length = static_cast<std::int64_t>(chunk.size());
  hit.offset_in_chunk = at;
  hit.found_length = length;
  hit.binary = binary;
  hit.utf16 = utf16;
  hit.file_offset = at;
  hit.line_number = line;
  hit.max_display_chars = most;
  return FormatHitLine(hit);
}

TEST(HitLineTest, ContextOfTextAndBinaryHits) {
  using namespace std::string_literals;
  struct Case {
    std::string got, expected;
  } cases[] = {
      {Hit("abc foo def\r\nnext", 4, 3), "Line   1 - abc " + kS + "foo" + kE + " def"},
      // The line of the hit only; a hit over a line break shows the break as spaces.
      {Hit("one\r\ntwo HIT three\nfour", 9, 3, false, 2), "Line   2 - two " + kS + "HIT" + kE +
                                                              " three"},
      {Hit("ab\r\ncd\r\n", 1, 4, false, 12), "Line  12 - a" + kS + "b  c" + kE + "d"},
      // Tabs and control bytes become spaces.
      {Hit("a\tb\x07" "c\x01", 2, 1), "Line   1 - a " + kS + "b" + kE + " c "},
      // Binary: the context runs between bytes that are not text.
      {Hit("\x05xy\x00" "ab"s + std::string(249, 'q') + "HIT" + "cd\x00zz"s, 255, 3, true),
       "Offset 0xff     - ab" + std::string(249, 'q') + kS + "HIT" + kE + "cd"},
      // UTF-16: the byte order mark and zero bytes are left out.
      {Hit("\xFF\xFEh\0i\0 \0X\0Y\0\r\0\n\0z\0"s, 8, 4, false, 1, true),
       "Line   1 - hi " + kS + "XY" + kE},
      // At most M bytes before and after the hit.
      {Hit("abcdefXghij", 6, 1, false, 1, false, 3), "Line   1 - def" + kS + "X" + kE + "ghi"},
      {Hit("abc", 1, 9), "Line   1 - a" + kS + "bc" + kE},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);

  std::string line(2000, 'a');
  line.replace(1000, 3, "XYZ");
  EXPECT_EQ(PlainResultText(Hit(line, 1000, 3), "<", ">"),
            "Line   1 - " + std::string(512, 'a') + "<XYZ>" + std::string(512, 'a'));
}

TEST(ResultTextTest, PlainAndHtmlConversions) {
  const std::string hit = "Line   3 - say \"" + kS + "R&D" + kE + "\" <now> caf\xE9";
  EXPECT_EQ(PlainResultText(hit, "[[", "]]"), "Line   3 - say \"[[R&D]]\" <now> caf\xE9");
  EXPECT_EQ(HtmlResultText(hit),
            "<NOBR>Line   3 &#45; say \"<B><FONT COLOR=\"#dc3403\">R&#38;D</FONT></B>\" &#60;now&#62; "
            "caf&#233;</NOBR><BR>");
  EXPECT_EQ(PlainResultText(MessageLine("Found 2 occurrences."), "<", ">"),
            "Found 2 occurrences.");
  EXPECT_EQ(HtmlResultText(MessageLine("50% done")), "<NOBR>50&#37; done</NOBR><BR>");
  EXPECT_EQ(PlainResultText(SummaryLine("1 files"), "<", ">"), "1 files");
  EXPECT_EQ(HtmlResultText(SummaryLine("a&b")),
            "<BR><NOBR><B><FONT COLOR=\"#0000ff\">a&b</FONT></B></NOBR><BR>");
  EXPECT_EQ(PlainResultText(FileLine("/x/y.txt"), "<", ">"), "Processing file : /x/y.txt");
  EXPECT_EQ(HtmlResultText(FileLine("/x/y.txt")),
            "<BR><NOBR>Processing file : <A HREF=\"file:///x/y.txt\"><B><FONT "
            "COLOR=\"#0000ff\">/x/y.txt</FONT></B></A></NOBR><BR>");
}

TEST(ResultTextTest, DateLineShowsTheWholeSize) {
  testing::TestServices services;
  FileTime time = *FromCalendar(CalendarTime{2023, 12, 31, 0, 23, 5, 9, 0});
  EXPECT_EQ(DateLine(time, 5000000000ULL, services),
            std::string(result_marker::kMessage) + "12/31/2023 11:05:09 PM, 5000000000 bytes");
  EXPECT_EQ(DateLine(0, 7, services), std::string(result_marker::kMessage) + "7 bytes");
}

class ResultOutputTest : public ::testing::Test {
 protected:
  // One file without lines, one with a hit and a count, and the summary.
  void Run(ResultOutput& out, const std::string& name, bool append) {
    out.Open(name, append, "<", ">");
    out.WriteHeader({"a&b", "c", "/d", "*.txt", {"Search Subdirectories", "Case Sensitive"}});
    out.BeginFile("/d/quiet.txt", "");
    out.EndFile();
    out.BeginFile("/d/x.txt", MessageLine("1/2/2024 3:04:05 AM, 9 bytes"));
    out.AddLine(Hit("a&b", 0, 3));
    out.AddLine(MessageLine("Found 1 occurrences."));
    out.BeginFile("/d/y.txt", "");
    out.AddLine(SummaryLine("Found 1 occurrences in 1 files"));
    out.Close();
  }
  testing::TestServices services_;
};

TEST_F(ResultOutputTest, PlainTextFileLinesOnlyBeforeAFilesLinesAndAppend) {
  const std::string run =
      "Processing file : /d/x.txt\r\n"
      "1/2/2024 3:04:05 AM, 9 bytes\r\n"
      "Line   1 - <a&b>\r\n"
      "Found 1 occurrences.\r\n"
      "Found 1 occurrences in 1 files\r\n";
  const std::string header =
      "5/6/2024 2:30:15 PM\r\nSearch String: a&b\r\nReplace String: c\r\nPath: /d\r\n"
      "File Mask: *.txt\r\nSearch Subdirectories, Case Sensitive\r\n";
  ResultOutput first(services_);
  Run(first, "out.txt", false);
  EXPECT_EQ(services_.outputs["out.txt"], header + run);
  // Lines that went out are not also kept: a run with many hits must not grow in memory.
  EXPECT_TRUE(first.lines().empty());
  ResultOutput second(services_);
  Run(second, "out.txt", true);
  EXPECT_EQ(services_.outputs["out.txt"], header + run + header + run);
}

TEST_F(ResultOutputTest, HtmlFileAndAnOutputThatCannotOpen) {
  ResultOutput out(services_);
  Run(out, "r.HTML", false);
  EXPECT_EQ(services_.outputs["r.HTML"],
            "<html>\r\n<head><title>Findmend Search Results</title></head>\r\n"
            "<body vlink=\"#ff0080\">\r\n"
            "<NOBR>5&#47;6&#47;2024 2&#58;30&#58;15 PM</NOBR><BR><NOBR>Search String&#58; "
            "a&#38;b</NOBR><BR><NOBR>Replace String&#58; c</NOBR><BR><NOBR>Path&#58; "
            "&#47;d</NOBR><BR><NOBR>File Mask&#58; &#42;&#46;txt</NOBR><BR><NOBR>Search "
            "Subdirectories&#44; Case Sensitive</NOBR><BR>\r\n"
            "<BR><NOBR>Processing file : <A HREF=\"file:///d/x.txt\"><B><FONT "
            "COLOR=\"#0000ff\">/d/x.txt</FONT></B></A></NOBR><BR>\r\n"
            "<NOBR>1&#47;2&#47;2024 3&#58;04&#58;05 AM&#44; 9 bytes</NOBR><BR>\r\n"
            "<NOBR>Line   1 &#45; <B><FONT COLOR=\"#dc3403\">a&#38;b</FONT></B></NOBR><BR>\r\n"
            "<NOBR>Found 1 occurrences&#46;</NOBR><BR>\r\n"
            "<BR><NOBR><B><FONT COLOR=\"#0000ff\">Found 1 occurrences in 1 "
            "files</FONT></B></NOBR><BR>\r\n");

  services_.failing_outputs.insert("locked.txt");
  ResultOutput failed(services_);
  failed.Open("locked.txt", false, "<", ">");
  EXPECT_FALSE(failed.is_open());
  failed.AddLine(SummaryLine("done"));
  EXPECT_EQ(failed.lines(), (std::vector<std::string>{"Error writing to output file locked.txt",
                                                      SummaryLine("done")}));
}

}  // namespace
}  // namespace tsl
