// The system's side of a progress window: a modeless Windows dialog, or on Linux one line on the
// terminal with Ctrl-C as its Cancel button. app/progress_window.h decides what is shown and what
// a Cancel does; a display only shows it and reports the user's request.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tsl {

/// Which window: the progress window with its picture and bar, or the registry job's
/// "Searching" window (a moving bar, "Searching...", a status line; SetBar does nothing).
enum class ProgressDisplayKind { kProgress, kSearching };

/// What a display shows when it opens.
struct ProgressDisplaySetup {
  std::string text;         // the first status text
  std::string bitmap_file;  // a .bmp file shown instead of the built-in picture; empty: none
  bool cancel_enabled = true;
  ProgressDisplayKind kind = ProgressDisplayKind::kProgress;
};

class ProgressDisplay {
 public:
  /// The bar's full value.
  static constexpr std::int64_t kBarRange = 200;

  virtual ~ProgressDisplay() = default;  // closes like Close()

  /// Moves the bar; values outside 0..kBarRange show as empty or full.
  virtual void SetBar(std::int64_t value) = 0;
  virtual void SetText(const std::string& text) = 0;
  /// Handles every pending event of the thread without waiting. True when the user asked to
  /// cancel (the Cancel button, Ctrl-C) since the last call.
  virtual bool Pump() = 0;
  /// Tells the user that this job cannot be cancelled (Cancel is refused).
  virtual void RefuseCancel() = 0;
  /// Takes the window away; later calls do nothing.
  virtual void Close() = 0;
};

/// Opens the system's display; nothing when no window can be created (no display): the job then
/// runs on without one.
std::unique_ptr<ProgressDisplay> OpenSystemProgressDisplay(const ProgressDisplaySetup& setup);

/// Ends a progress line that is being drawn on the terminal, so that a message written there
/// starts on a line of its own (Linux; nothing on Windows, where the window stays apart).
void EndProgressLineForMessage();

using ProgressDisplayFactory =
    std::function<std::unique_ptr<ProgressDisplay>(const ProgressDisplaySetup&)>;

/// Opens a display through the factory in force: the system's, unless a test has put another
/// one in force (ScopedProgressDisplayFactory).
std::unique_ptr<ProgressDisplay> OpenProgressDisplay(const ProgressDisplaySetup& setup);

/// Puts another display factory in force for its lifetime.
class ScopedProgressDisplayFactory {
 public:
  explicit ScopedProgressDisplayFactory(ProgressDisplayFactory factory);
  ~ScopedProgressDisplayFactory();
  ScopedProgressDisplayFactory(const ScopedProgressDisplayFactory&) = delete;
  ScopedProgressDisplayFactory& operator=(const ScopedProgressDisplayFactory&) = delete;

 private:
  ProgressDisplayFactory previous_;
};

}  // namespace tsl
