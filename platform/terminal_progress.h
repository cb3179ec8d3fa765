// The progress line of a terminal: the status text and a bar with its percentage on one line,
// redrawn in place with a carriage return. Redraws are limited to about ten a second, however
// often the caller moves the bar, and the last state is always drawn when the line ends.
//
// Portable: the Linux progress display feeds it standard error and the monotonic clock; tests
// feed it a string and a clock of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tsl {

/// One drawing of the line for a terminal `width` columns wide: `\r`, the content (never wider
/// than width - 1, so that it cannot wrap) and the code that clears the rest of the line. A
/// range of 0 draws the text alone, without bar or percentage.
std::string FormatProgressLine(const std::string& text, std::int64_t bar, std::int64_t range,
                               int width);

class TerminalProgressLine {
 public:
  using Sink = std::function<void(const std::string&)>;
  /// Milliseconds of a monotonic clock.
  using Clock = std::function<std::int64_t()>;

  static constexpr std::int64_t kRedrawIntervalMs = 100;

  /// A range of 0: the text alone (see FormatProgressLine).
  TerminalProgressLine(Sink sink, Clock clock, std::int64_t range, int width);

  void SetBar(std::int64_t bar);
  void SetText(const std::string& text);
  void set_width(int width) { width_ = width; }

  /// Draws the line when it changed and the last drawing is old enough; the first drawing is
  /// immediate.
  void Update();
  /// Writes `message` on a line of its own; the progress line follows it again.
  void Say(const std::string& message);
  /// Ends the progress line (when one is shown) so that other text starts on a fresh line; the
  /// next update draws it anew.
  void BreakLine();
  /// Draws the last state when it was not drawn yet and ends the line. Later calls do nothing.
  void Finish();

  int drawings() const { return drawings_; }

 private:
  void Draw();

  Sink sink_;
  Clock clock_;
  std::int64_t range_;
  int width_;
  std::string text_;
  std::int64_t bar_ = 0;
  bool changed_ = true;
  bool shown_ = false;  // a drawing is on the terminal's current line
  bool finished_ = false;
  bool ever_drawn_ = false;
  std::int64_t last_drawing_ = 0;
  int drawings_ = 0;
};

}  // namespace tsl
