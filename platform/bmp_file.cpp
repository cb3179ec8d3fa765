#include "platform/bmp_file.h"

namespace tsl {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kBitFields = 3;
constexpr std::int64_t kMaxSide = 32768;

std::uint32_t U32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

std::uint16_t U16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    (static_cast<unsigned char>(b[at + 1]) << 8));
}

}  // namespace

bool ParseBmpFile(std::string_view bytes, BmpLayout* layout) {
  if (bytes.size() < kFileHeaderSize + kInfoHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') {
    return false;
  }
  std::uint32_t bits_offset = U32(bytes, 10);
  std::uint32_t info_size = U32(bytes, kFileHeaderSize);
  if (info_size < kInfoHeaderSize || info_size > bytes.size() - kFileHeaderSize) return false;
  auto width = static_cast<std::int32_t>(U32(bytes, 18));
  auto height = static_cast<std::int32_t>(U32(bytes, 22));
  std::uint16_t planes = U16(bytes, 26);
  std::uint16_t bit_count = U16(bytes, 28);
  std::uint32_t compression = U32(bytes, 30);
  std::uint32_t colours_used = U32(bytes, 46);

  std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
  if (planes != 1 || width <= 0 || width > kMaxSide || rows == 0 || rows > kMaxSide) return false;
  switch (bit_count) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return false;
  }
  if (compression == kBitFields) {
    if (bit_count != 16 && bit_count != 32) return false;
  } else if (compression != kUncompressed) {
    return false;
  }
  if (bit_count > 8 && colours_used > 256) return false;
  std::uint64_t colours = colours_used ? colours_used : (bit_count <= 8 ? 1u << bit_count : 0);
  if (bit_count <= 8 && colours > (1u << bit_count)) return false;
  std::uint64_t masks = (compression == kBitFields && info_size == kInfoHeaderSize) ? 12 : 0;
  std::uint64_t info_end = kFileHeaderSize + std::uint64_t{info_size} + masks + 4 * colours;

  std::uint64_t stride = ((static_cast<std::uint64_t>(width) * bit_count + 31) / 32) * 4;
  std::uint64_t bits_size = stride * static_cast<std::uint64_t>(rows);
  if (bits_offset < info_end || bits_offset > bytes.size() ||
      bits_size > bytes.size() - bits_offset) {
    return false;
  }
  layout->info_offset = kFileHeaderSize;
  layout->bits_offset = bits_offset;
  layout->bits_size = static_cast<std::size_t>(bits_size);
  layout->width = width;
  layout->height = height;
  layout->bits_per_pixel = bit_count;
  return true;
}

}  // namespace tsl
