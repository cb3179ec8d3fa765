// The page layout of printed text files: which text goes on which page, at which height and
// where each tab-separated run starts. Portable, so that the rules are tested everywhere; the
// Windows printer draws what it gives with the printer's default font.
//
// A page holds (page height / line height) - 1 lines, the first one line height from the top.
// Lines start 50 units from the left; tab stops lie at 1/4, 2/5 and 3/5 of the page width and at
// the full width. A file line is read in pieces of at most 1023 characters (its line end
// removed); a piece wider than the page width less 50 units is broken at the longest front part
// that fits, the rest going on the next line.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tsl {

inline constexpr int kPrintLeftMargin = 50;
inline constexpr std::size_t kMaxPrintedLineLength = 1023;

/// A printer page in device units.
struct PrintPage {
  int width = 0;
  int height = 0;
  int line_height = 0;  // the font's height plus its external leading
};

/// Text without tabs, drawn with its left edge at x.
struct PrintedRun {
  int x = 0;
  std::string text;
};

struct PrintedLine {
  int page = 0;  // from 0
  int y = 0;     // top of the line, from the top of the page
  std::vector<PrintedRun> runs;
};

/// The width of a text without tabs, in device units.
using MeasureText = std::function<int(std::string_view)>;

/// The tab stops of a page: 1/4, 2/5, 3/5 and all of its width.
std::vector<int> PrintTabStops(int page_width);

/// Places the runs of one line (tabs split it) from x = 50; `*end` gets the x where it ends. A
/// tab moves to the first stop to the right of the text before it (past the last stop it moves
/// nowhere).
std::vector<PrintedRun> PlaceRuns(std::string_view line, const std::vector<int>& stops,
                                  const MeasureText& measure, int* end);

/// Lays out a whole text file.
std::vector<PrintedLine> LayOutPrintedText(std::string_view content, const PrintPage& page,
                                           const MeasureText& measure);

}  // namespace tsl
