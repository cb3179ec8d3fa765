// The search engine over files laid out here, with the test services: what the results say about
// patterns and UTF-16 text across chunk ends, whitespace and HTML searches, and a cancel.
#include "filereplace/search_engine.h"

#include <gtest/gtest.h>

#include "filereplace/result_output.h"
#include "services/test_job_services.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

std::string Wide(const std::string& ansi) {
  std::string bytes = "\xFF\xFE";
  for (char c : ansi) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

class SearchEngineTest : public ::testing::Test {
 protected:
  // Runs a script of `blocks` (search and replace blocks) over `mask` in the scratch folder and
  // gives the plain-text results without their header block.
  std::vector<std::string> Run(const std::string& blocks, const std::string& mask,
                               const std::string& options = "") {
    std::string script = "[Test]\r\n[Options]\r\nOutput_File=out\r\nDisplay File Stats=0\r\n" +
                         options + blocks + "[Path]\r\n" + dir_.path() + Separator() + mask +
                         "\r\n[End of Findmend Script]\r\n";
    FileReplaceScript loaded;
    loaded.LoadFromMemory("script", script, services_);
    FileReplaceEngine engine(services_);
    engine.Run(loaded);
    std::vector<std::string> lines = SplitLines(services_.outputs["out"]);
    EXPECT_GE(lines.size(), 6u);
    if (lines.size() >= 6) lines.erase(lines.begin(), lines.begin() + 6);
    return lines;
  }
  std::string File(const std::string& name) { return "Processing file : " + (dir_ / name); }

  ScopedTempDir dir_;
  TestServices services_;
};

TEST_F(SearchEngineTest, PatternAndUtf16OccurrencesAcrossTheChunkEnd) {
  constexpr std::size_t kChunk = 102400;
  // A pattern match that crosses the first chunk's end.
  std::string text(kChunk - 4, 'x');
  text += " id12345\r\nid9\r\n";
  WriteFile(dir_ / "a.txt", text);
  EXPECT_EQ(Run("[Search /X]\r\nid+[0-9]\r\n[Replace]\r\n%%FMFOUND%%\r\n", "a.txt",
                "Max Display Chars=3\r\n"),
            (std::vector<std::string>{File("a.txt"), "Line   1 - xx <id12345>",
                                      "Line   2 - <id9>",
                                      "Searched 1 file(s), found 2 occurrences in 1 file(s)"}));

  // UTF-16: a CR LF split by the chunk's end, whole words and accented capitals after it.
  std::string wide = Wide(std::string(kChunk / 2 - 2, 'y') + "\r\nplanning, Plan \xC9T\xC9\r\n");
  ASSERT_EQ(wide.substr(kChunk - 1, 2), std::string("\0\n", 2));
  WriteFile(dir_ / "w.txt", wide);
  EXPECT_EQ(Run("[Search /IW]\r\nplan\r\n[Replace]\r\n%%FMFOUND%%\r\n[Search /I]\r\n\xE9t\xE9\r\n"
                "[Replace]\r\n%%FMFOUND%%\r\n",
                "w.txt"),
            (std::vector<std::string>{File("w.txt"), "Line   2 - planning, <Plan> \xC9T\xC9",
                                      "Line   2 - planning, Plan <\xC9T\xC9>",
                                      "Searched 1 file(s), found 2 occurrences in 1 file(s)"}));
}

TEST_F(SearchEngineTest, WhitespaceAndHtmlSearchesBecomePatterns) {
  WriteFile(dir_ / "h.txt", "hello   world\r\nhello\r\n\tworld\r\nhelloworld\r\n");
  EXPECT_EQ(Run("[Search /H]\r\nhello world\r\n[Replace]\r\n%%FMFOUND%%\r\n", "h.txt"),
            (std::vector<std::string>{File("h.txt"), "Line   1 - <hello   world>",
                                      // Line breaks inside a hit are shown as spaces.
                                      "Line   2 - <hello   world>",
                                      "Searched 1 file(s), found 2 occurrences in 1 file(s)"}));
  // An HTML search finds the text written with character references, and only that text.
  WriteFile(dir_ / "p.htm", "<p>a &lt;b&gt; c &lt;i&gt; (x+y)</p>\r\n");
  EXPECT_EQ(Run("[Search /T]\r\n<b>\r\n[Replace]\r\n%%FMFOUND%%\r\n[Search /T]\r\n> (x+y)\r\n"
                "[Replace]\r\n%%FMFOUND%%\r\n",
                "p.htm"),
            (std::vector<std::string>{File("p.htm"), "Line   1 - <p>a <&lt;b&gt;> c &lt;i&gt; (x+y)</p>",
                                      "Line   1 - <p>a &lt;b&gt; c &lt;i<&gt; (x+y)></p>",
                                      "Searched 1 file(s), found 2 occurrences in 1 file(s)"}));
}

TEST_F(SearchEngineTest, ACancelEndsTheRunAndSaysSo) {
  WriteFile(dir_ / "1.txt", "one hit\r\n");
  WriteFile(dir_ / "2.txt", "one hit\r\n");
  services_.cancel_at_steps = {2};  // the second file's progress text
  EXPECT_EQ(Run("[Search]\r\nhit\r\n[Replace]\r\n%%FMFOUND%%\r\n", "*.txt",
                "Show Progress Dialog=1\r\nSort File Names=1\r\n"),
            (std::vector<std::string>{File("1.txt"), "Line   1 - one <hit>",
                                      "Searched 1 file(s), found 1 occurrences in 1 file(s)",
                                      "Execution interrupted by the user!"}));
}

}  // namespace
}  // namespace tsl::testing
