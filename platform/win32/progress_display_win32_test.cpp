// The progress window on Windows, where a window can be made: its texts, its bar, its Cancel
// button and its picture.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include "platform/progress_display.h"
#include "platform/win32/window_test_support.h"

namespace tsl {
namespace {

using testing::OwnWindow;
using testing::PressButton;
using testing::TextOf;

constexpr int kPicture = 1097;
constexpr int kStatus = 1090;
constexpr int kBar = 1088;

long BarPosition(HWND window) {
  return static_cast<long>(SendDlgItemMessageA(window, kBar, PBM_GETPOS, 0, 0));
}

TEST(ProgressDisplayWin32Test, ShowsTextAndBarAndReportsCancel) {
  if (!testing::WindowsCanBeMade()) GTEST_SKIP() << "no window can be made here";
  std::unique_ptr<ProgressDisplay> display = OpenSystemProgressDisplay({"Copy Files", "", true});
  ASSERT_NE(display, nullptr);
  HWND window = OwnWindow("Tessaline");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(TextOf(GetDlgItem(window, kStatus)), "Copy Files");
  EXPECT_EQ(SendDlgItemMessageA(window, kBar, PBM_GETRANGE, FALSE, 0), ProgressDisplay::kBarRange);
  EXPECT_EQ(BarPosition(window), 0);
  EXPECT_NE(SendDlgItemMessageA(window, kPicture, STM_GETIMAGE, IMAGE_BITMAP, 0), 0)
      << "the built-in picture";

  display->SetText("Delete Files");
  EXPECT_EQ(TextOf(GetDlgItem(window, kStatus)), "Delete Files");
  display->SetBar(150);
  EXPECT_EQ(BarPosition(window), 150);
  display->SetBar(1000);
  EXPECT_EQ(BarPosition(window), ProgressDisplay::kBarRange);
  display->SetBar(-3);
  EXPECT_EQ(BarPosition(window), 0);

  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDCANCEL)));
  EXPECT_FALSE(display->Pump());
  PressButton(window, IDCANCEL);
  EXPECT_TRUE(display->Pump());
  EXPECT_FALSE(display->Pump()) << "one press, one request";

  display->Close();
  EXPECT_FALSE(IsWindow(window));
  display->Close();  // again: nothing happens
}

TEST(ProgressDisplayWin32Test, CancelCanBeDisabledAndAnUnreadablePictureKeepsTheDefault) {
  if (!testing::WindowsCanBeMade()) GTEST_SKIP() << "no window can be made here";
  std::unique_ptr<ProgressDisplay> display =
      OpenSystemProgressDisplay({"Matching file names", "Z:\\no\\such\\picture.bmp", false});
  ASSERT_NE(display, nullptr);
  HWND window = OwnWindow("Tessaline");
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDCANCEL)));
  EXPECT_NE(SendDlgItemMessageA(window, kPicture, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  display.reset();  // closes
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace tsl
