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
      {"links.ini", true, true},    {"", false, false},
      {"\\rel\\x.ini", true, true}, {"C:\\Jobs\\x.ini", false, true},
      {"D:x.ini", false, true},     {"\\\\server\\share\\x.ini", false, true},
      {"/etc/x.ini", true, false},  {"sub/x.ini", true, true},
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

// The root that the synchronization operations check before they start.
TEST(PathsTest, FolderRootOfBothStyles) {
  struct Case {
    const char* folder;
    PathStyle style;
    const char* root;
  } cases[] = {
      {"C:\\Data\\Work\\", PathStyle::kWindows, "C:\\"},
      {"\\\\server\\share\\sub\\", PathStyle::kWindows, "\\\\server\\share\\"},
      {"\\\\server\\share", PathStyle::kWindows, ""},
      {"rel\\sub\\", PathStyle::kWindows, "rel\\"},
      {"\\top\\", PathStyle::kWindows, "\\"},
      {"nothing", PathStyle::kWindows, ""},
      {"", PathStyle::kWindows, ""},
      {"/home/u/data/", PathStyle::kPosix, "/"},
      {"rel/sub/", PathStyle::kPosix, "rel/"},
      {"C:\\x\\", PathStyle::kPosix, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FolderRoot(c.folder, c.style), c.root) << c.folder;
}

}  // namespace
}  // namespace tsl

namespace tsl {
namespace {

TEST(PathsTest, FolderChainResolvesTheText) {
  using Chain = std::vector<std::string>;
  constexpr PathStyle kWin = PathStyle::kWindows;
  EXPECT_EQ(FolderChain("C:\\a\\b", "D:\\cwd", kWin), (Chain{"C:\\a\\b", "C:\\a", "C:\\"}));
  EXPECT_EQ(FolderChain("C:\\a\\b\\", "D:\\cwd", kWin), (Chain{"C:\\a\\b", "C:\\a", "C:\\"}));
  EXPECT_EQ(FolderChain("C:\\a\\..\\b\\.\\c", "D:\\", kWin), (Chain{"C:\\b\\c", "C:\\b", "C:\\"}));
  EXPECT_EQ(FolderChain("C:/a//b", "D:\\", kWin), (Chain{"C:\\a\\b", "C:\\a", "C:\\"}));
  EXPECT_EQ(FolderChain("C:\\..\\..", "D:\\", kWin), (Chain{"C:\\"}));
  EXPECT_EQ(FolderChain("C:\\", "D:\\", kWin), (Chain{"C:\\"}));
  EXPECT_EQ(FolderChain("\\\\srv\\share\\x", "D:\\", kWin),
            (Chain{"\\\\srv\\share\\x", "\\\\srv\\share\\"}));
  EXPECT_EQ(FolderChain("\\\\srv\\share\\x\\..\\..", "D:\\", kWin), (Chain{"\\\\srv\\share\\"}));
  EXPECT_EQ(FolderChain("sub\\..\\x", "D:\\cwd", kWin), (Chain{"D:\\cwd\\x", "D:\\cwd", "D:\\"}));
  EXPECT_EQ(FolderChain("\\top", "D:\\cwd", kWin), (Chain{"D:\\top", "D:\\"}));
  EXPECT_EQ(FolderChain("/a/./b/../c", "/cwd", PathStyle::kPosix), (Chain{"/a/c", "/a", "/"}));
  EXPECT_EQ(FolderChain("x", "/cwd", PathStyle::kPosix), (Chain{"/cwd/x", "/cwd", "/"}));
}

}  // namespace
}  // namespace tsl
