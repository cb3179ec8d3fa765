#include "synch/folder_tree.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::Native;
using testing::ScopedTempDir;
using testing::WriteFile;

// Every folder and file below `root`, relative, folders with a closing `/`, sorted.
std::vector<std::string> Tree(const std::string& root) {
  std::vector<std::string> found, pending{""};
  while (!pending.empty()) {
    std::string relative = pending.back();
    pending.pop_back();
    std::vector<DirEntry> entries;
    RealFileSystem().ListFolder(root + testing::Separator() + Native(relative), &entries);
    for (const DirEntry& entry : entries) {
      std::string path = relative + entry.name + (entry.is_folder() ? "/" : "");
      found.push_back(path);
      if (entry.is_folder()) pending.push_back(path);
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

void MakeFolders(const ScopedTempDir& dir, const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    std::string path;
    for (std::size_t slash = folder.find('/'); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
      RealFileSystem().MakeFolder(dir / folder.substr(0, slash));
    }
    RealFileSystem().MakeFolder(dir / folder);
  }
}

std::string Folder(const ScopedTempDir& dir, const std::string& name) {
  return dir / name + testing::Separator();
}

TEST(FolderTreeTest, RecreatesTheFoldersButNotWhatTheJobNeverSees) {
  ScopedTempDir dir;
  MakeFolders(dir, {"src/a/b/c", "src/a/d", "src/e", "src/.git/objects", "dst/e"});
  WriteFile(dir / "src/a/file.txt", "not copied");
  RecreateFolderTree(Folder(dir, "src"), Folder(dir, "dst"));
  EXPECT_EQ(Tree(dir / "dst"), (std::vector<std::string>{"a/", "a/b/", "a/b/c/", "a/d/", "e/"}));
}

// Hidden is a folder attribute only Windows keeps; Linux folders are hidden by their names.
TEST(FolderTreeTest, RecreatedFoldersTakeTheirCounterpartsAttributes) {
  ScopedTempDir dir;
  MakeFolders(dir, {"src/outer/inner", "dst"});
  std::uint32_t attributes = 0;
  RealFileSystem().SetAttributes(dir / "src/outer", attr::kHidden);
  ASSERT_TRUE(RealFileSystem().GetAttributes(dir / "src/outer", &attributes).ok());
  if (!(attributes & attr::kHidden)) GTEST_SKIP() << "no hidden attribute for folders here";
  RecreateFolderTree(Folder(dir, "src"), Folder(dir, "dst"));
  std::uint32_t made = 0;
  ASSERT_TRUE(RealFileSystem().GetAttributes(dir / "dst/outer", &made).ok());
  EXPECT_TRUE(made & attr::kHidden);  // although it was made as the parent of inner
  std::uint32_t inner = 0;
  ASSERT_TRUE(RealFileSystem().GetAttributes(dir / "dst/outer/inner", &inner).ok());
  EXPECT_FALSE(inner & attr::kHidden);
}

TEST(FolderTreeTest, RemovesEmptyFoldersAndTheRootWhenAllWereEmpty) {
  ScopedTempDir dir;
  MakeFolders(dir, {"t/a/b/c", "t/a/d", "t/keep/x", "t/.cache/y", "t/readonly"});
  WriteFile(dir / "t/keep/file.txt", "stays");
  ASSERT_TRUE(RealFileSystem().SetAttributes(dir / "t/readonly", attr::kReadOnly).ok());
  RemoveEmptyFolders(Folder(dir, "t"));
  EXPECT_EQ(Tree(dir / "t"),
            (std::vector<std::string>{".cache/", ".cache/y/", "keep/", "keep/file.txt"}));
  MakeFolders(dir, {"u/a/b", "u/c"});
  RemoveEmptyFolders(Folder(dir, "u"));
  EXPECT_FALSE(PathExists(dir / "u"));
  RemoveEmptyFolders(Folder(dir, "none"));  // nothing to do, nothing fails
}

TEST(FolderTreeTest, RemovesOnlyEmptyFoldersThatTheSourceLacks) {
  ScopedTempDir dir;
  MakeFolders(dir, {"src/both", "dst/both/orphan", "dst/gone/deeper", "dst/full", "dst/.hidden"});
  WriteFile(dir / "dst/full/file.txt", "stays");
  RemoveOrphanFolders(Folder(dir, "dst"), Folder(dir, "src"));
  EXPECT_EQ(Tree(dir / "dst"),
            (std::vector<std::string>{".hidden/", "both/", "full/", "full/file.txt"}));
}

}  // namespace
}  // namespace tsl
