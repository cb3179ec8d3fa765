#include "platform/drives.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/paths.h"

namespace tsl {
namespace {

TEST(DrivesTest, MountTableFieldsAreDecoded) {
  std::vector<MountEntry> entries = ParseMountTable(
      "proc /proc proc rw 0 0\n"
      "/dev/sdb1 /media/My\\040Disk\\134x ext4 rw 0 0\n"
      "/dev/sda1 /a\\04 ext4 rw 0 0\n"
      "\n"
      "broken\n");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].source, "proc");
  EXPECT_EQ(entries[0].mount_point, "/proc");
  EXPECT_EQ(entries[1].source, "/dev/sdb1");
  EXPECT_EQ(entries[1].mount_point, "/media/My Disk\\x");
  EXPECT_EQ(entries[2].mount_point, "/a\\04");  // not an escape: kept as written
}

TEST(DrivesTest, HardDriveRootsAreSortedOnceWithTheirSeparator) {
  std::vector<std::string> roots = LocalHardDriveRoots();
  for (const std::string& root : roots) EXPECT_EQ(root.back(), NativeSeparator());
  EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end()));
  EXPECT_EQ(std::adjacent_find(roots.begin(), roots.end()), roots.end());
}

TEST(PathsTest, ServerNamesOfBothStyles) {
  EXPECT_EQ(ServerNameOf("\\\\srv", PathStyle::kWindows), "\\\\srv");
  EXPECT_EQ(ServerNameOf("\\\\srv\\", PathStyle::kWindows), "\\\\srv");
  EXPECT_EQ(ServerNameOf("\\\\srv\\share", PathStyle::kWindows), "");
  EXPECT_EQ(ServerNameOf("\\\\", PathStyle::kWindows), "");
  EXPECT_EQ(ServerNameOf("\\\\\\", PathStyle::kWindows), "");
  EXPECT_EQ(ServerNameOf("//srv/", PathStyle::kPosix), "//srv");
  EXPECT_EQ(ServerNameOf("//srv", PathStyle::kWindows), "");
  EXPECT_EQ(ServerNameOf("/srv", PathStyle::kPosix), "");
}

}  // namespace
}  // namespace tsl
