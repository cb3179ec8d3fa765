#include "platform/terminal_progress.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tsl {
namespace {

TEST(FormatProgressLineTest, Layouts) {
  struct Case {
    std::string text;
    std::int64_t bar;
    int width;
    std::string line;
  } cases[] = {
      {"Copy Files", 100, 80, "\rCopy Files  [##########..........]  50%\x1b[K"},
      {"Copy Files", 0, 80, "\rCopy Files  [....................]   0%\x1b[K"},
      {"Copy Files", 300, 80, "\rCopy Files  [####################] 100%\x1b[K"},  // clamped
      {"Copy Files", -5, 80, "\rCopy Files  [....................]   0%\x1b[K"},
      {"Copy Files", 199, 80, "\rCopy Files  [###################.]  99%\x1b[K"},
      // Narrow terminal: no bar, the text shortened so that the line cannot wrap.
      {"Matching file names", 100, 16, "\rMatchin...  50%\x1b[K"},
      {"a\tb\r\nc", 200, 30, "\ra b  c 100%\x1b[K"},  // control characters become spaces
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatProgressLine(c.text, c.bar, 200, c.width), c.line) << c.text << " " << c.width;
  }
  // Never wider than the terminal, however narrow.
  for (int width = 0; width < 60; ++width) {
    EXPECT_LE(FormatProgressLine("Matching file names", 20, 200, width).size(),
              1 + std::max(width - 1, 0) + 3u);
  }
  // A long text on a normal terminal keeps the bar and stays within the width.
  std::string line = FormatProgressLine(std::string(200, 'x'), 40, 200, 80);
  EXPECT_EQ(line.size(), 1 + 79 + 3u);
  EXPECT_NE(line.find("...  [####"), std::string::npos);
  // A range of 0 (the Searching line): the text alone, shortened to the width.
  EXPECT_EQ(FormatProgressLine("Searching... 5 keys\n3 found", 0, 0, 80),
            "\rSearching... 5 keys 3 found\x1b[K");
  EXPECT_EQ(FormatProgressLine("Searching... 5 keys", 0, 0, 10), "\rSearch...\x1b[K");
}

class TerminalProgressLineTest : public ::testing::Test {
 protected:
  TerminalProgressLineTest()
      : line_([this](const std::string& s) { out_ += s; }, [this] { return now_; }, 200, 80) {}

  std::string out_;
  std::int64_t now_ = 1000;
  TerminalProgressLine line_;
};

TEST_F(TerminalProgressLineTest, RedrawsAtMostTenTimesASecond) {
  line_.SetText("Copy Files");
  line_.Update();
  EXPECT_EQ(line_.drawings(), 1);  // the first drawing is immediate
  // A caller that updates every millisecond for two seconds.
  for (int ms = 1; ms <= 2000; ++ms) {
    now_ = 1000 + ms;
    line_.SetBar(ms % 201);
    line_.Update();
  }
  EXPECT_GE(line_.drawings(), 19);
  EXPECT_LE(line_.drawings(), 21);
}

TEST_F(TerminalProgressLineTest, NothingIsRedrawnWithoutAChange) {
  line_.SetText("x");
  line_.Update();
  now_ += 5000;
  line_.SetBar(0);
  line_.SetText("x");
  line_.Update();
  EXPECT_EQ(line_.drawings(), 1);
}

TEST_F(TerminalProgressLineTest, TheLastStateIsDrawnAtTheEnd) {
  line_.SetText("Copy Files");
  line_.Update();
  now_ += 10;
  line_.SetBar(200);  // too soon for a redraw
  line_.Update();
  EXPECT_EQ(line_.drawings(), 1);
  line_.Finish();
  EXPECT_EQ(line_.drawings(), 2);
  EXPECT_EQ(out_.substr(out_.rfind('\r')), "\rCopy Files  [####################] 100%\x1b[K\n");
  line_.Finish();
  line_.SetBar(5);
  line_.Update();
  EXPECT_EQ(line_.drawings(), 2);  // nothing after the end
}

TEST_F(TerminalProgressLineTest, MessagesGetALineOfTheirOwn) {
  line_.SetText("Copy Files");
  line_.Update();
  out_.clear();
  line_.Say("This job cannot be cancelled.");
  EXPECT_EQ(out_, "\nThis job cannot be cancelled.\n");
  out_.clear();
  now_ += 1;  // the line comes back at once, not after the redraw interval
  line_.Update();
  EXPECT_EQ(out_, FormatProgressLine("Copy Files", 0, 200, 80));
  line_.BreakLine();
  line_.BreakLine();  // a second break adds no empty line
  EXPECT_EQ(out_.substr(out_.size() - 1), "\n");
  EXPECT_EQ(out_.find("\n\n"), std::string::npos);
}

}  // namespace
}  // namespace tsl
