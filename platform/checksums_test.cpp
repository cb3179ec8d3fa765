#include "platform/checksums.h"

#include <gtest/gtest.h>

#include <string>

namespace tsl {
namespace {

TEST(ChecksumsTest, Crc32IsTheIeeeCrc) {
  EXPECT_EQ(Crc32Update(0, "", 0), 0u);
  EXPECT_EQ(Crc32Update(0, "123456789", 9), 0xCBF43926u);
  // Fed in pieces, the same value.
  std::uint32_t crc = Crc32Update(0, "1234", 4);
  EXPECT_EQ(Crc32Update(crc, "56789", 5), 0xCBF43926u);
}

TEST(ChecksumsTest, ByteSumAcrossBlockBoundaries) {
  for (std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 12289u}) {
    std::string data(size, '\0');
    std::uint32_t expected = 0;
    for (std::size_t i = 0; i < size; ++i) {
      data[i] = static_cast<char>(255 - i % 7);
      expected += static_cast<unsigned char>(data[i]);
    }
    EXPECT_EQ(ByteSumUpdate(0, data.data(), size), expected) << size;
    EXPECT_EQ(ByteSumUpdate(10, data.data(), size), expected + 10) << size;
  }
  // The sum wraps at 2^32.
  EXPECT_EQ(ByteSumUpdate(0xFFFFFFFFu, "\x02", 1), 1u);
}

}  // namespace
}  // namespace tsl
