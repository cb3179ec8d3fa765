#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

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

// Links: one to a file is listed as that file, one to a folder as a folder marked as a link,
// a broken one not at all; and a broken link is no failure of the listing.
TEST(PosixFileSystemTest, ListingFollowsLinksAndSkipsBrokenOnes) {
  testing::ScopedTempDir dir;
  testing::WriteFile(dir / "file.txt", "12345");
  ASSERT_TRUE(RealFileSystem().MakeFolder(dir / "sub").ok());
  ASSERT_EQ(::symlink((dir / "file.txt").c_str(), (dir / "to-file").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "sub").c_str(), (dir / "to-sub").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "broken").c_str()), 0);
  std::vector<DirEntry> entries;
  ASSERT_TRUE(RealFileSystem().ListFolder(dir.path(), &entries).ok());
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, "file.txt");
  EXPECT_EQ(entries[1].name, "sub");
  EXPECT_EQ(entries[1].attributes, attr::kDirectory);
  EXPECT_EQ(entries[2].name, "to-file");
  EXPECT_EQ(entries[2].attributes, attr::kArchive);
  EXPECT_EQ(entries[2].size, 5u);
  EXPECT_EQ(entries[3].name, "to-sub");
  EXPECT_EQ(entries[3].attributes, attr::kDirectory | attr::kReparsePoint);

  // A broken link as the last entry of a folder.
  ASSERT_TRUE(RealFileSystem().MakeFolder(dir / "lonely").ok());
  ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "lonely/broken").c_str()), 0);
  EXPECT_TRUE(RealFileSystem().ListFolder(dir / "lonely", &entries).ok());
  EXPECT_TRUE(entries.empty());
}

}  // namespace
}  // namespace tsl
