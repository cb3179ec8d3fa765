#include "shortcuts/icon_count.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/le_bytes.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using Le = testing::LeBytes;

// An icon file whose directory lists `images` images of 40 bytes each.
std::string IconFile(int images) {
  Le f;
  f.U16(0).U16(1).U16(images);
  for (int i = 0; i < images; ++i) {
    f.U32(0x00002020).U16(1).U16(32).U32(40).U32(6 + 16 * images + 40 * i);
  }
  return f.PadTo(f.b.size() + 40 * images).b;
}

// A PE image (PE32, or PE32+ when `wide`) with one .rsrc section whose resource tree has an icon
// type and an icon group type with `groups` entries.
std::string PeImage(int groups, bool wide) {
  const std::uint32_t optional_size = wide ? 0xF0 : 0xE0;
  Le f;
  f.U16(0x5A4D).PadTo(0x3C).U32(0x40);
  f.U32(0x00004550).U16(wide ? 0x8664 : 0x14C).U16(1).U32(0).U32(0).U32(0).U16(optional_size);
  f.U16(0x102);
  const std::size_t optional = f.b.size();
  f.U16(wide ? 0x20B : 0x10B).PadTo(optional + (wide ? 108 : 92)).U32(16);
  f.PadTo(optional + (wide ? 112 : 96) + 16).U32(0x1000).U32(0x200);
  f.PadTo(optional + optional_size);
  f.b += std::string(".rsrc\0\0\0", 8);
  f.U32(0x200).U32(0x1000).U32(0x200).U32(0x200).PadTo(0x200);
  // Root: two id entries, RT_ICON (3) and RT_GROUP_ICON (14), each a subdirectory.
  f.U32(0).U32(0).U32(0).U16(0).U16(2);
  f.U32(3).U32(0x80000000 | 0x30).U32(14).U32(0x80000000 | 0x40);
  f.PadTo(0x200 + 0x30).U32(0).U32(0).U32(0).U16(0).U16(0);
  f.PadTo(0x200 + 0x40).U32(0).U32(0).U32(0).U16(1).U16(groups - 1);
  for (int i = 0; i < groups; ++i) f.U32(i == 0 ? 0x80000100 : 100 + i).U32(0x80000000 | 0x100);
  return f.PadTo(0x400).b;
}

TEST(IconCountTest, IconFilesCountAsOneIconWhenTheirDirectoryIsWhole) {
  const std::string ico = IconFile(3);
  EXPECT_EQ(IcoImageCount(ico), 3);
  EXPECT_EQ(IconCount(ico), 1);
  for (std::size_t size = 0; size < ico.size(); ++size) {
    EXPECT_EQ(IconCount(ico.substr(0, size)), 0) << size;
  }
  EXPECT_EQ(IconCount(IconFile(0)), 0);
  std::string bad = ico;
  bad[6 + 15] = '\x7F';  // the first image's offset far past the end
  EXPECT_EQ(IconCount(bad), 0);
}

TEST(IconCountTest, PeImagesCountTheirIconGroups) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide);
    const std::string image = PeImage(4, wide);
    EXPECT_EQ(PeIconGroupCount(image), 4);
    EXPECT_EQ(IconCount(image), 4);
    for (std::size_t size = 0; size < 0x250; ++size) {
      EXPECT_EQ(IconCount(image.substr(0, size)), 0) << size;
    }
  }
  std::string past = PeImage(2, false);
  past[0x200 + 0x40 + 14] = '\x7F';  // more groups than the section holds
  EXPECT_EQ(IconCount(past), 0);
  std::string no_resources = PeImage(2, false);
  no_resources[0x40 + 24 + 112] = 0;
  no_resources[0x40 + 24 + 113] = 0;  // resource RVA 0
  EXPECT_EQ(IconCount(no_resources), 0);
}

TEST(IconCountTest, FilesThatAreMissingOrOtherCountNothing) {
  testing::ScopedTempDir dir;
  EXPECT_EQ(IconCountOfFile(dir / "none.ico"), 0);
  testing::WriteFile(dir / "a.ico", IconFile(2));
  testing::WriteFile(dir / "b.dll", PeImage(3, false));
  testing::WriteFile(dir / "c.txt", "just text");
  EXPECT_EQ(IconCountOfFile(dir / "a.ico"), 1);
  EXPECT_EQ(IconCountOfFile(dir / "b.dll"), 3);
  EXPECT_EQ(IconCountOfFile(dir / "c.txt"), 0);
}

// Writes an icon file and a PE image among the shell link fuzz target's seeds, whose body also
// counts icons (see the seed writer in shell_link_test.cpp).
TEST(IconCountTest, DISABLED_WriteFuzzSeeds) {
  const char* folder = std::getenv("TSL_SEED_DIR");
  ASSERT_NE(folder, nullptr);
  testing::WriteFile(std::string(folder) + "/icons.ico", IconFile(2));
  testing::WriteFile(std::string(folder) + "/image.dll", PeImage(3, true));
}

}  // namespace
}  // namespace tsl
