#include "platform/checksums.h"

#include <zlib.h>

#include <climits>

namespace tsl {

std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size) {
  const Bytef* bytes = static_cast<const Bytef*>(data);
  uLong value = crc;
  while (size > 0) {  // zlib takes lengths of type uInt
    uInt chunk = size > UINT_MAX ? UINT_MAX : static_cast<uInt>(size);
    value = crc32(value, bytes, chunk);
    bytes += chunk;
    size -= chunk;
  }
  return static_cast<std::uint32_t>(value);
}

// Blocks of a fixed length, summed into 32-bit lanes, are what the compiler vectorises; a lane
// cannot overflow within one block (kBlock * 255 < 2^32).
std::uint32_t ByteSumUpdate(std::uint32_t sum, const void* data, std::size_t size) {
  constexpr std::size_t kBlock = 4096;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (size >= kBlock) {
    std::uint32_t block_sum = 0;
    for (std::size_t i = 0; i < kBlock; ++i) block_sum += bytes[i];
    sum += block_sum;
    bytes += kBlock;
    size -= kBlock;
  }
  for (std::size_t i = 0; i < size; ++i) sum += bytes[i];
  return sum;
}

}  // namespace tsl
