#include "platform/print_layout.h"

#include <algorithm>

namespace tsl {
namespace {

// The pieces in which the file's lines are read: line ends removed, long lines cut.
std::vector<std::string_view> ReadPieces(std::string_view content) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    std::size_t next = end == std::string_view::npos ? content.size() : end + 1;
    std::string_view line = content.substr(start, next - start);
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    do {
      pieces.push_back(line.substr(0, kMaxPrintedLineLength));
      line.remove_prefix(std::min(line.size(), kMaxPrintedLineLength));
    } while (!line.empty());
    start = next;
  }
  return pieces;
}

// The longest front part of `text` that ends no further right than `right` (at least one
// character, so that every line makes progress).
std::size_t FittingLength(std::string_view text, int right, const std::vector<int>& stops,
                          const MeasureText& measure) {
  int end = 0;
  PlaceRuns(text, stops, measure, &end);
  if (end <= right) return text.size();
  std::size_t low = 1, high = text.size() - 1, best = 1;  // widths grow with the length
  while (low <= high) {
    std::size_t middle = low + (high - low) / 2;
    PlaceRuns(text.substr(0, middle), stops, measure, &end);
    if (end <= right) {
      best = middle;
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  return best;
}

}  // namespace

std::vector<int> PrintTabStops(int page_width) {
  return {page_width / 4, page_width * 2 / 5, page_width * 3 / 5, page_width};
}

std::vector<PrintedRun> PlaceRuns(std::string_view line, const std::vector<int>& stops,
                                  const MeasureText& measure, int* end) {
  std::vector<PrintedRun> runs;
  int x = kPrintLeftMargin;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = line.find('\t', start);
    std::string_view text = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
    if (!text.empty()) {
      runs.push_back({x, std::string(text)});
      x += measure(text);
    }
    if (tab == std::string_view::npos) break;
    auto stop = std::upper_bound(stops.begin(), stops.end(), x);
    if (stop != stops.end()) x = *stop;
    start = tab + 1;
  }
  *end = x;
  return runs;
}

std::vector<PrintedLine> LayOutPrintedText(std::string_view content, const PrintPage& page,
                                           const MeasureText& measure) {
  std::vector<PrintedLine> lines;
  int line_height = std::max(page.line_height, 1);
  int per_page = std::max(page.height / line_height - 1, 1);
  std::vector<int> stops = PrintTabStops(page.width);
  int index = 0;
  for (std::string_view piece : ReadPieces(content)) {
    do {
      std::size_t length = piece.empty() ? 0 : FittingLength(piece, page.width, stops, measure);
      PrintedLine line;
      line.page = index / per_page;
      line.y = (index % per_page + 1) * line_height;
      int end = 0;
      line.runs = PlaceRuns(piece.substr(0, length), stops, measure, &end);
      lines.push_back(std::move(line));
      ++index;
      piece.remove_prefix(length);
    } while (!piece.empty());
  }
  return lines;
}

}  // namespace tsl
