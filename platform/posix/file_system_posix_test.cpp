#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

// A full disk that the buffered writer only meets when it flushes: the failure must reach Close.
TEST(PosixFileSystemTest, FullDiskIsReportedAtClose) {
  std::unique_ptr<WritableFile> file;
  ASSERT_TRUE(RealFileSystem().OpenForWriting("/dev/full", WriteMode::kAppend, &file).ok());
  EXPECT_TRUE(file->Write("abc", 3).ok());  // still in the buffer
  EXPECT_EQ(file->Close().kind, ErrorKind::kDiskFull);
}

TEST(PosixFileSystemTest, AttributesFollowPermissionsAndNames) {
  testing::ScopedTempDir dir;
  testing::WriteFile(dir / ".hidden", "x");
  std::uint32_t attributes = 0;
  ASSERT_TRUE(RealFileSystem().GetAttributes(dir / ".hidden", &attributes).ok());
  EXPECT_EQ(attributes, attr::kHidden | attr::kArchive);
  ASSERT_TRUE(RealFileSystem().GetAttributes(dir.path(), &attributes).ok());
  EXPECT_EQ(attributes, attr::kDirectory);
}

}  // namespace
}  // namespace tsl
