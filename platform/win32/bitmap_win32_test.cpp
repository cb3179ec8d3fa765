// Pictures of the progress window on Windows.
#include "platform/win32/bitmap_win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

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

}  // namespace
}  // namespace tsl
