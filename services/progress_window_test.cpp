#include "services/progress_window.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/progress_display.h"
#include "resources/string_table.h"

namespace tsl {
namespace {

// What the fake display saw; it outlives the display, which the window destroys.
struct DisplayLog {
  ProgressDisplaySetup setup;
  std::vector<std::int64_t> bars;
  std::vector<std::string> texts;
  int pumps = 0;
  int refusals = 0;
  bool closed = false;
  bool press_cancel = false;  // the user presses Cancel before the next pump
};

class FakeDisplay : public ProgressDisplay {
 public:
  explicit FakeDisplay(DisplayLog* log) : log_(log) {}
  void SetBar(std::int64_t value) override { log_->bars.push_back(value); }
  void SetText(const std::string& text) override { log_->texts.push_back(text); }
  bool Pump() override {
    ++log_->pumps;
    return std::exchange(log_->press_cancel, false);
  }
  void RefuseCancel() override { ++log_->refusals; }
  void Close() override { log_->closed = true; }

 private:
  DisplayLog* log_;
};

class ProgressWindowTest : public ::testing::Test {
 protected:
  ProgressWindowTest()
      : factory_([this](const ProgressDisplaySetup& setup) -> std::unique_ptr<ProgressDisplay> {
          log_.setup = setup;
          if (no_display_) return nullptr;
          return std::make_unique<FakeDisplay>(&log_);
        }) {}

  DisplayLog log_;
  bool no_display_ = false;
  ScopedProgressDisplayFactory factory_;
};

TEST(BarUnitsTest, PositionsAndTotals) {
  struct Case {
    std::int64_t value, total, bar;
  } cases[] = {
      {0, 1000, 0},
      {500, 1000, 100},
      {999, 1000, 199},
      {1000, 1000, 200},
      {1500, 1000, 300},  // more files than the nominal total: above the bar's range
      {100 * 3, 100 * 7, 85},
      {1, 3, 66},  // integer division
      {5, 0, 0},   // no total: no progress rather than a division by zero
      {5, -4, 0},
      {std::int64_t{1} << 40, std::int64_t{1} << 41, 100},                // beyond 32 bits
      {INT64_C(9000000000000000000), INT64_C(9000000000000000000), 200},  // value × 200 overflows
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BarUnits(c.value, c.total), c.bar) << c.value << " / " << c.total;
  }
}

TEST_F(ProgressWindowTest, UpdatesReachTheDisplayAndPump) {
  ProgressWindow* slot = nullptr;
  int cancel = 0;
  ProgressWindow window(&slot, 1000, &cancel, "Creating Report");
  EXPECT_EQ(slot, &window);
  EXPECT_EQ(log_.setup.text, "Creating Report");
  EXPECT_TRUE(log_.setup.cancel_enabled);
  EXPECT_TRUE(log_.setup.bitmap_file.empty());

  window.SetPosition(250);
  window.SetPosition(1500);
  window.SetText("Found 10 files");
  window.SetText(text_id::kCopyFilesTitle);
  EXPECT_EQ(log_.bars, (std::vector<std::int64_t>{50, 300}));
  EXPECT_EQ(window.bar(), 300);
  EXPECT_EQ(log_.texts, (std::vector<std::string>{"Found 10 files", "Copy Files"}));
  EXPECT_EQ(log_.pumps, 4);  // every update ends with a pump
}

TEST_F(ProgressWindowTest, AdvanceAddsScaledAmounts) {
  ProgressWindow* slot = nullptr;
  ProgressWindow window(&slot, 300, nullptr, "x");
  window.Advance(100);  // 66
  window.Advance(100);  // each step rounds down on its own: 132, not 133
  window.Advance(150);
  EXPECT_EQ(log_.bars, (std::vector<std::int64_t>{66, 132, 232}));
}

TEST_F(ProgressWindowTest, TextFromTheStringTableAndTheInitialText) {
  ProgressWindow* slot = nullptr;
  {
    ProgressWindow window(&slot, 1000, nullptr, text_id::kCreatingReport);
    EXPECT_EQ(log_.setup.text, "Creating Report");
    EXPECT_EQ(window.text(), "Creating Report");
  }
  ProgressWindow window(&slot, 1000, nullptr, std::string());
  EXPECT_EQ(log_.setup.text, "Matching file names");
}

TEST_F(ProgressWindowTest, CloseNeverCountsAsCancel) {
  ProgressWindow* slot = nullptr;
  int cancel = 0;
  ProgressWindow window(&slot, 100, &cancel, "x");
  log_.press_cancel = true;  // pressed, but the pump that would see it never comes
  window.Close();
  EXPECT_EQ(cancel, 0);
  EXPECT_EQ(slot, nullptr);
  EXPECT_TRUE(log_.closed);
  EXPECT_FALSE(window.is_open());
  window.SetPosition(50);  // after Close: nothing happens
  EXPECT_TRUE(log_.bars.empty());
  EXPECT_EQ(cancel, 0);
}

TEST_F(ProgressWindowTest, DestroyingClosesWithoutCancel) {
  ProgressWindow* slot = nullptr;
  int cancel = 0;
  {
    ProgressWindow window(&slot, 100, &cancel, "x");
    log_.press_cancel = true;
  }
  EXPECT_EQ(cancel, 0);
  EXPECT_EQ(slot, nullptr);
  EXPECT_TRUE(log_.closed);
}

TEST_F(ProgressWindowTest, CancelSetsTheFlagAndClearsTheSlot) {
  ProgressWindow* slot = nullptr;
  int cancel = 0;
  ProgressWindow window(&slot, 5, &cancel, "Copy Files");
  int items_done = 0;
  for (int item = 0; item < 5; ++item) {
    if (slot) slot->SetPosition(item);  // the way the jobs reach the window
    if (cancel) break;
    ++items_done;
    if (item == 1) log_.press_cancel = true;
  }
  EXPECT_EQ(items_done, 2);
  EXPECT_EQ(cancel, 1);
  EXPECT_EQ(slot, nullptr);
  EXPECT_TRUE(log_.closed);
  EXPECT_FALSE(window.is_open());
  window.Close();  // the caller's usual Close after its loop changes nothing
  EXPECT_EQ(cancel, 1);
}

TEST_F(ProgressWindowTest, CancelIsRefusedWithoutPermissionOrFlag) {
  struct Case {
    bool allow_cancel;
    bool with_flag;
  } cases[] = {{false, true}, {true, false}, {false, false}};
  for (const Case& c : cases) {
    log_ = {};
    ProgressWindow* slot = nullptr;
    int cancel = 0;
    ProgressWindow window(&slot, 10, c.with_flag ? &cancel : nullptr, "x",
                          ProgressLook{"", c.allow_cancel});
    EXPECT_FALSE(log_.setup.cancel_enabled);
    log_.press_cancel = true;
    window.SetPosition(1);
    EXPECT_EQ(log_.refusals, 1);
    EXPECT_EQ(cancel, 0);
    EXPECT_EQ(slot, &window);
    EXPECT_TRUE(window.is_open());
    EXPECT_FALSE(log_.closed);
  }
}

TEST_F(ProgressWindowTest, BitmapFileComesFromTheJobSettings) {
  ProgressWindow* slot = nullptr;
  ProgressWindow window(&slot, 10, nullptr, "x", ProgressLook{"/pictures/logo.bmp", true});
  EXPECT_EQ(log_.setup.bitmap_file, "/pictures/logo.bmp");
}

TEST_F(ProgressWindowTest, WithoutADisplayTheJobRunsOn) {
  no_display_ = true;
  ProgressWindow* slot = nullptr;
  int cancel = 0;
  ProgressWindow window(&slot, 1000, &cancel, "x");
  EXPECT_FALSE(window.has_display());
  EXPECT_EQ(slot, &window);
  window.SetPosition(400);
  window.SetText("y");
  EXPECT_EQ(window.bar(), 80);
  EXPECT_EQ(window.text(), "y");
  window.Close();
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(cancel, 0);
}

}  // namespace
}  // namespace tsl
