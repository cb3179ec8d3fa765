#include "shortcuts/drive_map.h"

#include <gtest/gtest.h>

namespace tsl {
namespace {

TEST(DriveMapTest, PrefixesMapIgnoringCaseAtPathBoundaries) {
  const std::string map = "C:=/mnt/c;\\\\server\\share=/srv/share/;c:\\data=/data;bad;=x";
  EXPECT_EQ(MapWindowsPath("C:\\Program Files\\a.exe", map), "/mnt/c/Program Files/a.exe");
  EXPECT_EQ(MapWindowsPath("c:\\DATA\\x\\y.txt", map), "/data/x/y.txt");  // the longest prefix
  EXPECT_EQ(MapWindowsPath("\\\\SERVER\\Share\\dir\\f", map), "/srv/share/dir/f");
  EXPECT_EQ(MapWindowsPath("\\\\server\\share", map), "/srv/share");
  EXPECT_EQ(MapWindowsPath("\\\\server\\share2\\f", map), std::nullopt);  // not a boundary
  EXPECT_EQ(MapWindowsPath("D:\\x", map), std::nullopt);
  EXPECT_EQ(MapWindowsPath("C:\\x", ""), std::nullopt);
  EXPECT_TRUE(IsWindowsPath("d:\\x"));
  EXPECT_TRUE(IsWindowsPath("\\\\s\\x"));
  EXPECT_FALSE(IsWindowsPath("/srv/x"));
  EXPECT_FALSE(IsWindowsPath("1:"));
}

}  // namespace
}  // namespace tsl
