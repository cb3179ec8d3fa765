// The progress window of long steps: a picture, a status text, a bar of 0 to 200 and a Cancel
// button, shown modeless while the one thread works. Every update ends with a message pump, so
// that the window stays alive and its Cancel is serviced between two steps of work.
//
// Ownership: the caller owns the ProgressWindow (usually as a local object or a member) and
// keeps a slot, a plain pointer through which the rest of the job reaches "the current progress
// window". The window puts itself in the slot when it opens and clears it when it goes away: at
// Close, or when the user cancels. Code that updates the window through the slot therefore skips
// every update after a cancel. A cancel also sets the caller's user-cancel flag to 1; Close never
// does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tsl {

class ProgressDisplay;

/// How a job's progress windows look: the .bmp file shown instead of the built-in picture
/// (empty: none) and whether Cancel is offered. A synchronization job sets them from its script;
/// other jobs keep these defaults.
struct ProgressLook {
  std::string bitmap_file;
  bool allow_cancel = true;
};

class ProgressWindow {
 public:
  /// The bar's full value.
  static constexpr std::int64_t kBarRange = 200;

  /// Opens the window with `total` units of the caller's work and the status text. The slot
  /// receives the window; `cancel_flag` (may be null: then Cancel is not offered) is set to 1
  /// when the user cancels.
  ProgressWindow(ProgressWindow** slot, std::int64_t total, int* cancel_flag,
                 const std::string& text, const ProgressLook& look = {});
  /// The same with a status text from the string table.
  ProgressWindow(ProgressWindow** slot, std::int64_t total, int* cancel_flag, int text_id,
                 const ProgressLook& look = {});
  ~ProgressWindow();  // closes like Close() when still open

  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  /// Bar = position × 200 / total; then pumps.
  void SetPosition(std::int64_t position);
  /// Adds amount × 200 / total to the bar; then pumps.
  void Advance(std::int64_t amount);
  void SetText(const std::string& text);
  void SetText(int text_id);
  /// The normal end: takes the window away without counting as a cancel.
  void Close();
  /// Handles every pending window message of the thread, without waiting; a Cancel is acted on.
  void PumpMessages();

  /// The bar's value; above 200 when the caller passes its total (the display shows it full).
  std::int64_t bar() const { return bar_; }
  std::int64_t total() const { return total_; }
  const std::string& text() const { return text_; }
  /// False after Close or a cancel.
  bool is_open() const { return open_; }
  /// True when a system window (or terminal line) is shown; false when none could be created.
  bool has_display() const { return display_ != nullptr; }

 private:
  void TakeDown();

  ProgressWindow** slot_;
  std::int64_t total_;
  int* cancel_flag_;
  bool allow_cancel_;
  std::int64_t bar_ = 0;
  std::string text_;
  bool open_ = true;
  std::unique_ptr<ProgressDisplay> display_;
};

/// value × 200 / total with 64-bit integer division, without overflow for large values; 0 for a
/// total that is not positive.
std::int64_t BarUnits(std::int64_t value, std::int64_t total);

}  // namespace tsl
