// Running checksums of file contents: the IEEE 802.3 CRC-32 (zlib's) and the byte sum.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tsl {

/// Continues a CRC-32 (start from 0) over `size` more bytes.
std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size);

/// Continues a sum of byte values (0..255), modulo 2^32, over `size` more bytes.
std::uint32_t ByteSumUpdate(std::uint32_t sum, const void* data, std::size_t size);

}  // namespace tsl
