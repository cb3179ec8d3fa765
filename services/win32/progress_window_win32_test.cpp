// A progress window on Windows, also where no window can be created (Wine without a display).
#include <gtest/gtest.h>

#include "services/progress_window.h"

namespace tsl {
namespace {

TEST(ProgressWindowWin32Test, TheJobRunsOnWithOrWithoutAWindow) {
  // Under Wine without a display no window can be created; elsewhere the real dialog opens,
  // with a picture file that cannot be read (the built-in picture stays).
  ProgressWindow* slot = nullptr;
  int cancel = 0;
  {
    ProgressWindow window(&slot, 1000, &cancel, "Creating Report",
                          ProgressLook{"Z:\\no\\such\\picture.bmp", true});
    EXPECT_EQ(slot, &window);
    for (int i = 0; i <= 1500; i += 100) window.SetPosition(i);
    window.SetText("Copy Files");
    EXPECT_EQ(window.bar(), 300);
    EXPECT_TRUE(window.is_open());
    window.Close();
  }
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(cancel, 0);
}

}  // namespace
}  // namespace tsl
