// Pictures of the progress window on Windows, and a progress window where no window can be
// created (Wine without a display).
#include "platform/win32/bitmap_win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "services/progress_window.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

std::string ProgramPicturePath() {
  const char* source = std::getenv("TSL_TEST_SOURCE_DIR");
  return source ? testing::BuiltProgram(std::string(source) + "/resources/progress.bmp") : "";
}

BITMAP Describe(const OwnedBitmap& bitmap) {
  BITMAP info{};
  GetObjectA(bitmap.get(), sizeof info, &info);
  return info;
}

TEST(BitmapWin32Test, ABmpFileIsReadWhole) {
  std::string picture = ProgramPicturePath();
  if (picture.empty()) GTEST_SKIP() << "TSL_TEST_SOURCE_DIR is not set";
  testing::ScopedTempDir dir;
  std::string bytes = testing::ReadFile(picture);
  testing::WriteFile(dir / "logo.bmp", bytes);
  OwnedBitmap bitmap = ReadBitmapFile(dir / "logo.bmp");
  ASSERT_TRUE(bitmap);
  BITMAP info = Describe(bitmap);
  EXPECT_EQ(info.bmWidth, 48);
  EXPECT_EQ(info.bmHeight, 48);
  EXPECT_EQ(info.bmBitsPixel, 24);
  // The pixels are the file's: the first row in the file is the picture's bottom row.
  ASSERT_NE(info.bmBits, nullptr);
  EXPECT_EQ(std::memcmp(info.bmBits, bytes.data() + 54, 48 * 3), 0);
}

TEST(BitmapWin32Test, UnreadableFilesGiveNoBitmap) {
  testing::ScopedTempDir dir;
  testing::WriteFile(dir / "text.bmp", "just some text, not a picture");
  std::string picture = ProgramPicturePath();
  if (!picture.empty()) {
    testing::WriteFile(dir / "cut.bmp", testing::ReadFile(picture).substr(0, 2000));
  }
  for (const char* name : {"missing.bmp", "text.bmp", "cut.bmp"}) {
    EXPECT_FALSE(ReadBitmapFile(dir / name)) << name;
  }
  EXPECT_FALSE(ReadBitmapFile(dir.path()));  // a folder
}

TEST(BitmapWin32Test, TheBuiltInPictureIsInTheProgram) {
  OwnedBitmap bitmap = BuiltInProgressPicture();
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(Describe(bitmap).bmWidth, 48);
}

TEST(ProgressWindowWin32Test, TheJobRunsOnWithOrWithoutAWindow) {
  // Under Wine without a display no window can be created; elsewhere the real dialog opens,
  // with a picture file that cannot be read (the built-in picture stays).
  CurrentJobProgressSettings().bitmap_file = "Z:\\no\\such\\picture.bmp";
  ProgressWindow* slot = nullptr;
  int cancel = 0;
  {
    ProgressWindow window(&slot, 1000, &cancel, "Creating Report");
    EXPECT_EQ(slot, &window);
    for (int i = 0; i <= 1500; i += 100) window.SetPosition(i);
    window.SetText("Copy Files");
    EXPECT_EQ(window.bar(), 300);
    EXPECT_TRUE(window.is_open());
    window.Close();
  }
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(cancel, 0);
  CurrentJobProgressSettings() = {};
}

}  // namespace
}  // namespace tsl
