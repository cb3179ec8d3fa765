#include "services/folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "platform/fault_injection.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::ScopedTempDir;
using testing::WriteFile;

TEST(EnsureParentFoldersTest, CreatesWhatIsMissing) {
  ScopedTempDir dir;
  EXPECT_TRUE(EnsureParentFolders(dir / "a/b/c/file.txt"));
  EXPECT_TRUE(PathExists(dir / "a/b/c"));
  EXPECT_FALSE(PathExists(dir / "a/b/c/file.txt"));  // only the folders
  EXPECT_TRUE(EnsureParentFolders(dir / "a/b/c/other.txt"));
  EXPECT_TRUE(EnsureParentFolders("no-folder-part.txt"));
  // A file standing where a folder must go.
  WriteFile(dir / "blocker", "x");
  EXPECT_FALSE(EnsureParentFolders(dir / "blocker/sub/file.txt"));
  // An existing path succeeds at once, even a folder.
  EXPECT_TRUE(EnsureParentFolders(dir / "a"));
}

TEST(EnsureParentFoldersTest, StopsAtTheFirstFolderThatCannotBeCreated) {
  ScopedTempDir dir;
  FaultInjectingFileSystem faulty(RealFileSystem());
  ScopedFileSystem scope(faulty);
  faulty.FailAt(1, ErrorKind::kAccessDenied, /*persistent=*/true);
  EXPECT_FALSE(EnsureParentFolders(dir / "x/y/z.txt"));
  faulty.FailAt(0, ErrorKind::kNone);
  EXPECT_FALSE(PathExists(dir / "x"));
}

// Builds a tree of folders (names ending in "/") and files (the rest, holding their own name).
void MakeTree(const ScopedTempDir& dir, const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    if (entry.back() == '/') {
      ASSERT_TRUE(RealFileSystem().MakeFolder(dir / entry.substr(0, entry.size() - 1)).ok())
          << entry;
    } else {
      WriteFile(dir / entry, entry);
    }
  }
}

TEST(DeleteFolderTreeTest, DeletesEverythingBelowTheFolder) {
  ScopedTempDir dir;
  MakeTree(dir, {"t/", "t/a.txt", "t/sub/", "t/sub/b.txt", "t/sub/deeper/", "t/sub/deeper/c",
                 "keep.txt"});
  EXPECT_TRUE(DeleteFolderTree(dir / "t").ok());
  EXPECT_FALSE(PathExists(dir / "t"));
  EXPECT_TRUE(PathExists(dir / "keep.txt"));
  EXPECT_TRUE(DeleteFolderTree(dir / "missing").failed());
}

TEST(DeleteFolderTreeTest, FoldersBeginningWithADotAreNotEntered) {
  ScopedTempDir dir;
  MakeTree(dir, {"t/", "t/a.txt", "t/.git/", "t/.git/config"});
  EXPECT_TRUE(DeleteFolderTree(dir / "t").failed());  // the folder stays
  EXPECT_TRUE(PathExists(dir / "t/.git/config"));
  EXPECT_FALSE(PathExists(dir / "t/a.txt"));
}

// A link to a folder goes as a link, even one whose name begins with `.`; its target stays whole.
TEST(DeleteFolderTreeTest, LinksToFoldersGoAsLinks) {
  ScopedTempDir dir;
  MakeTree(dir, {"t/", "t/a.txt", "target/", "target/kept.txt"});
  std::error_code error;
  std::filesystem::create_directory_symlink(dir / "target", dir / "t/link", error);
  if (error) GTEST_SKIP() << "no links to folders here";
  std::filesystem::create_directory_symlink(dir / "target", dir / "t/.dotted", error);
  ASSERT_FALSE(error);
  EXPECT_TRUE(DeleteFolderTree(dir / "t").ok());
  EXPECT_FALSE(PathExists(dir / "t"));
  EXPECT_TRUE(PathExists(dir / "target/kept.txt"));
}

TEST(DeleteFolderTreeTest, DeepTreesDoNotExhaustTheStack) {
  ScopedTempDir dir;
  std::string relative = "d";
  ASSERT_TRUE(RealFileSystem().MakeFolder(dir / relative).ok());
  for (int i = 0; i < 60; ++i) {
    relative += "/d";
    ASSERT_TRUE(RealFileSystem().MakeFolder(dir / relative).ok());
  }
  WriteFile(dir / (relative + "/leaf.txt"), "x");
  EXPECT_TRUE(DeleteFolderTree(dir / "d").ok());
  EXPECT_FALSE(PathExists(dir / "d"));
}

}  // namespace
}  // namespace tsl
