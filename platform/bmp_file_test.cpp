#include "platform/bmp_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/test_support.h"

namespace tsl {
namespace {

void Put32(std::string* b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<char>(v >> (8 * i));
}
void Put16(std::string* b, std::size_t at, std::uint16_t v) {
  (*b)[at] = static_cast<char>(v);
  (*b)[at + 1] = static_cast<char>(v >> 8);
}

// A minimal valid file: 14-byte file header, 40-byte information header, colour table, rows.
std::string Bmp(int width, int height, int bit_count, int colours = 0) {
  std::uint32_t table = bit_count <= 8 ? 4u * (colours ? colours : 1u << bit_count) : 0;
  std::uint32_t stride = ((width * bit_count + 31) / 32) * 4;
  std::uint32_t rows = height < 0 ? -height : height;
  std::uint32_t offset = 14 + 40 + table;
  std::string b(offset + stride * rows, '\0');
  b[0] = 'B';
  b[1] = 'M';
  Put32(&b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(&b, 10, offset);
  Put32(&b, 14, 40);
  Put32(&b, 18, static_cast<std::uint32_t>(width));
  Put32(&b, 22, static_cast<std::uint32_t>(height));
  Put16(&b, 26, 1);
  Put16(&b, 28, static_cast<std::uint16_t>(bit_count));
  Put32(&b, 46, static_cast<std::uint32_t>(colours));
  return b;
}

TEST(BmpFileTest, ValidFiles) {
  struct Case {
    std::string bytes;
    std::size_t bits_offset, bits_size;
  } cases[] = {
      {Bmp(48, 48, 24), 54, 48 * 48 * 3},
      {Bmp(3, 2, 24), 54, 2 * 12},         // rows padded to four bytes
      {Bmp(10, -4, 32), 54, 4 * 40},       // top-down rows
      {Bmp(9, 3, 1), 54 + 8, 3 * 4},       // two colours
      {Bmp(5, 5, 8, 16), 54 + 64, 5 * 8},  // a shortened colour table
      {Bmp(5, 5, 4) + "trailing", 54 + 64, 5 * 4},
  };
  for (const Case& c : cases) {
    BmpLayout layout;
    ASSERT_TRUE(ParseBmpFile(c.bytes, &layout)) << c.bytes.size();
    EXPECT_EQ(layout.info_offset, 14u);
    EXPECT_EQ(layout.bits_offset, c.bits_offset);
    EXPECT_EQ(layout.bits_size, c.bits_size);
  }
}

TEST(BmpFileTest, DamagedAndForeignFilesAreRefused) {
  std::string good = Bmp(16, 16, 24);
  auto with = [&](std::size_t at, std::uint32_t value, int size = 4) {
    std::string b = good;
    if (size == 4)
      Put32(&b, at, value);
    else
      Put16(&b, at, static_cast<std::uint16_t>(value));
    return b;
  };
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"not BM", "PK" + good.substr(2)},
      {"cut short", good.substr(0, good.size() - 1)},
      {"headers only", good.substr(0, 54)},
      {"OS/2 header", with(14, 12)},
      {"header past the end", with(14, 0x7FFFFFF0)},
      {"rows past the end", with(10, static_cast<std::uint32_t>(good.size()))},
      {"rows inside the header", with(10, 20)},
      {"zero width", with(18, 0)},
      {"zero height", with(22, 0)},
      {"huge width", with(18, 0x40000000)},
      {"most negative height", with(22, 0x80000000)},
      {"two planes", with(26, 2, 2)},
      {"odd bit count", with(28, 7, 2)},
      {"run-length compressed", with(30, 1)},
      {"bit fields with 24 bits", with(30, 3)},
      {"too many colours", Bmp(4, 4, 8, 300)},
  };
  for (const Case& c : cases) {
    BmpLayout layout;
    EXPECT_FALSE(ParseBmpFile(c.bytes, &layout)) << c.what;
  }
}

TEST(BmpFileTest, TheProgramsOwnPictureIsValid) {
  const char* source = std::getenv("TSL_TEST_SOURCE_DIR");
  if (!source) GTEST_SKIP() << "TSL_TEST_SOURCE_DIR is not set";
  std::string path = testing::BuiltProgram(std::string(source) + "/resources/progress.bmp");
  BmpLayout layout;
  ASSERT_TRUE(ParseBmpFile(testing::ReadFile(path), &layout));
  EXPECT_EQ(layout.width, 48);
  EXPECT_EQ(layout.height, 48);
}

}  // namespace
}  // namespace tsl
