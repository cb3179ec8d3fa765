#include "platform/mapped_file.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

TEST(MappedFileTest, MapsAFileAsItIs) {
  testing::ScopedTempDir dir;
  std::string bytes(3 * 4096 + 17, '\0');  // beyond a page, with every byte value
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31);
  testing::WriteFile(dir / "a.bin", bytes);
  testing::WriteFile(dir / "b.txt", "second");
  MappedFile file;
  ASSERT_TRUE(file.Open(dir / "a.bin").ok());
  EXPECT_TRUE(file.mapped());
  EXPECT_EQ(file.content(), bytes);
  // Opening again lets the first file go.
  ASSERT_TRUE(file.Open(dir / "b.txt").ok());
  EXPECT_EQ(file.content(), "second");
}

TEST(MappedFileTest, AnEmptyFileIsReadNotMapped) {
  testing::ScopedTempDir dir;
  testing::WriteFile(dir / "empty", "");
  MappedFile file;
  ASSERT_TRUE(file.Open(dir / "empty").ok());
  EXPECT_FALSE(file.mapped());
  EXPECT_EQ(file.content(), "");
}

TEST(MappedFileTest, FailuresAreThoseOfReadingTheWholeFile) {
  testing::ScopedTempDir dir;
  testing::WriteFile(dir / "a.txt", "abc");
  MappedFile file;
  ASSERT_TRUE(file.Open(dir / "a.txt").ok());
  SysError e = file.Open(dir / "nope.txt");
  EXPECT_EQ(e.kind, ErrorKind::kNotFound);
  EXPECT_STREQ(e.operation, "MapFile");
  EXPECT_EQ(e.path, dir / "nope.txt");
  EXPECT_EQ(file.content(), "");  // nothing left of the file before

  std::string ignored;
  ErrorKind folder_kind = RealFileSystem().ReadWholeFile(dir.path(), &ignored).kind;
  ASSERT_NE(folder_kind, ErrorKind::kNone);
  EXPECT_EQ(file.Open(dir.path()).kind, folder_kind);  // a folder is not a file
  EXPECT_FALSE(file.mapped());
}

}  // namespace
}  // namespace tsl
