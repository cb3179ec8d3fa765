// Bounds-checked little-endian reads from a range of bytes, for file formats whose offsets come
// from the file itself: a read that would leave the range gives 0.
#pragma once

#include <cstdint>
#include <string_view>

namespace tsl {

class ByteReader {
 public:
  explicit ByteReader(std::string_view data) : data_(data) {}

  /// Whether `size` bytes from `offset` lie in the range.
  bool Has(std::uint64_t offset, std::uint64_t size) const {
    return offset <= data_.size() && size <= data_.size() - offset;
  }
  std::uint16_t U16(std::uint64_t at) const {
    if (!Has(at, 2)) return 0;
    return static_cast<std::uint16_t>(Byte(at) | (Byte(at + 1) << 8));
  }
  std::uint32_t U32(std::uint64_t at) const {
    if (!Has(at, 4)) return 0;
    return static_cast<std::uint32_t>(U16(at)) | (static_cast<std::uint32_t>(U16(at + 2)) << 16);
  }
  std::uint64_t U64(std::uint64_t at) const {
    return static_cast<std::uint64_t>(U32(at)) | (static_cast<std::uint64_t>(U32(at + 4)) << 32);
  }
  std::size_t size() const { return data_.size(); }
  std::string_view data() const { return data_; }

 private:
  unsigned Byte(std::uint64_t at) const {
    return static_cast<unsigned char>(data_[static_cast<std::size_t>(at)]);
  }
  std::string_view data_;
};

}  // namespace tsl
