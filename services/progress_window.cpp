#include "services/progress_window.h"

#include <limits>

#include "platform/progress_display.h"
#include "resources/string_table.h"

namespace tsl {
namespace {

// What the window says until the caller gives a text.
constexpr const char* kInitialText = "Matching file names";

}  // namespace

std::int64_t BarUnits(std::int64_t value, std::int64_t total) {
  if (total <= 0) return 0;
  constexpr std::int64_t kLimit =
      std::numeric_limits<std::int64_t>::max() / ProgressWindow::kBarRange;
  if (value <= kLimit && value >= -kLimit) return value * ProgressWindow::kBarRange / total;
  long double scaled = static_cast<long double>(value) * ProgressWindow::kBarRange / total;
  constexpr auto kMax = static_cast<long double>(std::numeric_limits<std::int64_t>::max());
  if (scaled >= kMax) return std::numeric_limits<std::int64_t>::max();
  if (scaled <= -kMax) return -std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(scaled);
}

ProgressWindow::ProgressWindow(ProgressWindow** slot, std::int64_t total, int* cancel_flag,
                               const std::string& text, const ProgressLook& look)
    : slot_(slot),
      total_(total),
      cancel_flag_(cancel_flag),
      allow_cancel_(look.allow_cancel),
      text_(text.empty() ? kInitialText : text) {
  ProgressDisplaySetup setup;
  setup.text = text_;
  setup.bitmap_file = look.bitmap_file;
  setup.cancel_enabled = allow_cancel_ && cancel_flag_ != nullptr;
  display_ = OpenProgressDisplay(setup);  // none: the job runs on without a window
  if (slot_) *slot_ = this;
}

ProgressWindow::ProgressWindow(ProgressWindow** slot, std::int64_t total, int* cancel_flag,
                               int text_id, const ProgressLook& look)
    : ProgressWindow(slot, total, cancel_flag, TableText(text_id), look) {}

ProgressWindow::~ProgressWindow() {
  if (open_) Close();
}

void ProgressWindow::SetPosition(std::int64_t position) {
  if (!open_) return;
  bar_ = BarUnits(position, total_);
  if (display_) display_->SetBar(bar_);
  PumpMessages();
}

void ProgressWindow::Advance(std::int64_t amount) {
  if (!open_) return;
  std::int64_t step = BarUnits(amount, total_);
  if (step > 0 && bar_ > std::numeric_limits<std::int64_t>::max() - step) {
    bar_ = std::numeric_limits<std::int64_t>::max();
  } else {
    bar_ += step;
  }
  if (display_) display_->SetBar(bar_);
  PumpMessages();
}

void ProgressWindow::SetText(const std::string& text) {
  if (!open_) return;
  text_ = text;
  if (display_) display_->SetText(text_);
  PumpMessages();
}

void ProgressWindow::SetText(int text_id) { SetText(TableText(text_id)); }

void ProgressWindow::Close() {
  if (!open_) return;
  cancel_flag_ = nullptr;  // closing never counts as a cancel
  TakeDown();
}

void ProgressWindow::PumpMessages() {
  if (!open_ || !display_ || !display_->Pump()) return;
  // The user asked to cancel.
  if (!allow_cancel_ || cancel_flag_ == nullptr) {
    display_->RefuseCancel();
    return;
  }
  int* flag = cancel_flag_;
  TakeDown();
  *flag = 1;
}

void ProgressWindow::TakeDown() {
  open_ = false;
  if (display_) display_->Close();
  display_.reset();
  if (slot_ && *slot_ == this) *slot_ = nullptr;
}

}  // namespace tsl
