#include "platform/paths.h"

#include <gtest/gtest.h>

namespace tsl {
namespace {

TEST(PathsTest, BaseFolderRuleFollowsTheStyle) {
  struct Case {
    const char* path;
    bool windows;
    bool posix;
  } cases[] = {
      {"links.ini", true, true},
      {"", false, false},
      {"\\rel\\x.ini", true, true},
      {"C:\\Jobs\\x.ini", false, true},
      {"D:x.ini", false, true},
      {"\\\\server\\share\\x.ini", false, true},
      {"/etc/x.ini", true, false},
      {"sub/x.ini", true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NeedsBaseFolder(c.path, PathStyle::kWindows), c.windows) << c.path;
    EXPECT_EQ(NeedsBaseFolder(c.path, PathStyle::kPosix), c.posix) << c.path;
  }
}

TEST(PathsTest, FolderAndNameParts) {
  EXPECT_EQ(FolderPart("C:\\Jobs\\sync.ini", PathStyle::kWindows), "C:\\Jobs\\");
  EXPECT_EQ(NamePart("C:\\Jobs\\sync.ini", PathStyle::kWindows), "sync.ini");
  EXPECT_EQ(FolderPart("a/b/c", PathStyle::kWindows), "");
  EXPECT_EQ(FolderPart("a/b/c", PathStyle::kPosix), "a/b/");
  EXPECT_EQ(NamePart("plain", PathStyle::kPosix), "plain");
  EXPECT_EQ(WithClosingSeparator("/tmp", PathStyle::kPosix), "/tmp/");
  EXPECT_EQ(WithClosingSeparator("C:\\", PathStyle::kWindows), "C:\\");
  EXPECT_EQ(JoinPath("C:\\a", "b.txt", PathStyle::kWindows), "C:\\a\\b.txt");
  EXPECT_EQ(JoinPath("/a/", "b.txt", PathStyle::kPosix), "/a/b.txt");
}

}  // namespace
}  // namespace tsl
