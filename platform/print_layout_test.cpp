#include "platform/print_layout.h"

#include <gtest/gtest.h>

namespace tsl {
namespace {

// Every character 10 units wide.
int Fixed(std::string_view text) { return static_cast<int>(text.size()) * 10; }

// The lines as "page/y: x:text x:text".
std::vector<std::string> Describe(const std::vector<PrintedLine>& lines) {
  std::vector<std::string> out;
  for (const PrintedLine& line : lines) {
    std::string s = std::to_string(line.page) + "/" + std::to_string(line.y) + ":";
    for (const PrintedRun& run : line.runs) s += " " + std::to_string(run.x) + ":" + run.text;
    out.push_back(s);
  }
  return out;
}

TEST(PrintLayoutTest, TabStopsAreFractionsOfThePage) {
  EXPECT_EQ(PrintTabStops(1000), (std::vector<int>{250, 400, 600, 1000}));
  EXPECT_EQ(PrintTabStops(4961), (std::vector<int>{1240, 1984, 2976, 4961}));
}

TEST(PrintLayoutTest, RunsBetweenTabs) {
  std::vector<int> stops = PrintTabStops(1000);
  struct Case {
    std::string line;
    std::string runs;
    int end;
  } cases[] = {
      {"abc", " 50:abc", 80},
      {"a\tb", " 50:a 250:b", 260},
      {"a\t\tb", " 50:a 400:b", 410},
      {"\tx", " 250:x", 260},
      {std::string(20, 'w') + "\tx", " 50:wwwwwwwwwwwwwwwwwwww 400:x", 410},  // 250 reached: next
      {"a\t\t\t\t\tb", " 50:a 1000:b", 1010},  // past the last stop a tab stays put
      {"", "", 50},
  };
  for (const Case& c : cases) {
    int end = 0;
    std::string runs;
    for (const PrintedRun& r : PlaceRuns(c.line, stops, Fixed, &end)) {
      runs += " " + std::to_string(r.x) + ":" + r.text;
    }
    EXPECT_EQ(runs, c.runs) << c.line;
    EXPECT_EQ(end, c.end) << c.line;
  }
}

TEST(PrintLayoutTest, PagesLinesAndBreaks) {
  // 1000 wide: 95 characters fit after the margin. 100 high with lines of 20: 4 lines a page.
  PrintPage page{1000, 100, 20};
  std::string long_line(200, 'x');
  std::string text = "one\r\ntwo\n\r\n" + long_line + "\r\nlast";
  std::vector<std::string> expected = {
      "0/20: 50:one",
      "0/40: 50:two",
      "0/60:",  // an empty line takes its place
      "0/80: 50:" + std::string(95, 'x'),
      "1/20: 50:" + std::string(95, 'x'),
      "1/40: 50:" + std::string(10, 'x'),
      "1/60: 50:last",
  };
  EXPECT_EQ(Describe(LayOutPrintedText(text, page, Fixed)), expected);
}

TEST(PrintLayoutTest, LongFileLinesAreReadInPiecesOf1023) {
  PrintPage page{100000, 100000, 10};  // wide enough for any piece
  std::string text = std::string(1023, 'a') + std::string(1023, 'b') + "cc\r\n";
  std::vector<PrintedLine> lines = LayOutPrintedText(text, page, Fixed);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].runs[0].text, std::string(1023, 'a'));
  EXPECT_EQ(lines[1].runs[0].text, std::string(1023, 'b'));
  EXPECT_EQ(lines[2].runs[0].text, "cc");
}

TEST(PrintLayoutTest, BreaksFollowTheMeasuredWidths) {
  // Proportional widths: 'W' is 40 units, others 10. 250 units fit after the margin.
  auto measure = [](std::string_view t) {
    int w = 0;
    for (char c : t) w += c == 'W' ? 40 : 10;
    return w;
  };
  PrintPage page{300, 1000, 10};
  std::vector<PrintedLine> lines = LayOutPrintedText("WWWWWWiiiiiiiiii\ta", page, measure);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].runs[0].text, "WWWWWWi");  // 240 + 10 = 250
  EXPECT_EQ(lines[1].runs[0].text, "iiiiiiiii");
  ASSERT_EQ(lines[1].runs.size(), 2u);
  EXPECT_EQ(lines[1].runs[1].x, 180);  // 50 + 90 = 140, next stop 3/5 of 300
}

TEST(PrintLayoutTest, ACharacterWiderThanThePageStillMovesOn) {
  PrintPage page{60, 1000, 10};
  std::vector<PrintedLine> lines = LayOutPrintedText("abc", page, Fixed);
  EXPECT_EQ(lines.size(), 3u);
  // Degenerate page sizes never divide by zero and keep one line a page.
  EXPECT_EQ(LayOutPrintedText("a\nb", PrintPage{1000, 5, 0}, Fixed).size(), 2u);
}

}  // namespace
}  // namespace tsl
