#include "platform/terminal_progress.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace tsl {
namespace {

constexpr int kBarCells = 20;
constexpr const char* kClearToEnd = "\x1b[K";

// Control characters would break the line: they are shown as spaces.
std::string Printable(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return result;
}

}  // namespace

std::string FormatProgressLine(const std::string& text, std::int64_t bar, std::int64_t range,
                               int width) {
  if (range == 0) {
    int usable = std::max(width - 1, 0);
    std::string shown = Printable(text);
    if (shown.size() > static_cast<std::size_t>(usable)) {
      shown = usable >= 3 ? shown.substr(0, static_cast<std::size_t>(usable) - 3) + "..." : "";
    }
    return "\r" + shown + kClearToEnd;
  }
  if (range < 0) range = 1;
  std::int64_t clamped = std::clamp<std::int64_t>(bar, 0, range);
  int percent = static_cast<int>(clamped * 100 / range);
  char number[8];
  std::snprintf(number, sizeof number, "%3d%%", percent);

  // "text  [#####.....] 25%": the bar is dropped on narrow terminals, the text shortened.
  std::string tail;
  int usable = std::max(width - 1, 0);
  if (usable >= kBarCells + 24) {
    int filled = static_cast<int>(clamped * kBarCells / range);
    tail = "  [" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(kBarCells - filled), '.') + "] " + number;
  } else {
    tail = std::string(" ") + number;
  }
  std::string shown = Printable(text);
  std::size_t room =
      usable > static_cast<int>(tail.size()) ? static_cast<std::size_t>(usable) - tail.size() : 0;
  if (shown.size() > room) shown = room >= 3 ? shown.substr(0, room - 3) + "..." : "";
  std::string line = "\r" + shown + tail;
  if (line.size() - 1 > static_cast<std::size_t>(usable)) line.resize(1 + usable);
  return line + kClearToEnd;
}

TerminalProgressLine::TerminalProgressLine(Sink sink, Clock clock, std::int64_t range, int width)
    : sink_(std::move(sink)), clock_(std::move(clock)), range_(range), width_(width) {}

void TerminalProgressLine::SetBar(std::int64_t bar) {
  if (bar == bar_) return;
  bar_ = bar;
  changed_ = true;
}

void TerminalProgressLine::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  changed_ = true;
}

void TerminalProgressLine::Update() {
  if (finished_ || !changed_) return;
  std::int64_t now = clock_();
  if (ever_drawn_ && now - last_drawing_ < kRedrawIntervalMs) return;
  Draw();
  last_drawing_ = now;
}

void TerminalProgressLine::Say(const std::string& message) {
  BreakLine();
  sink_(message + "\n");
}

void TerminalProgressLine::BreakLine() {
  if (!shown_) return;
  sink_("\n");
  shown_ = false;
  changed_ = true;
  ever_drawn_ = false;  // draw again at the next update, without waiting
}

void TerminalProgressLine::Finish() {
  if (finished_) return;
  if (changed_ || !shown_) Draw();
  sink_("\n");
  shown_ = false;
  finished_ = true;
}

void TerminalProgressLine::Draw() {
  sink_(FormatProgressLine(text_, bar_, range_, width_));
  shown_ = true;
  changed_ = false;
  ever_drawn_ = true;
  ++drawings_;
}

}  // namespace tsl
