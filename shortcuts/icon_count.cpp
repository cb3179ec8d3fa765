// Icon counts read without the system. Icon file: ICONDIR (reserved 0, type 1, count) and one
// 16-byte entry per image, each naming the size and offset of its image. PE image: DOS header ->
// PE header -> resource data directory -> section table -> resource directory root -> the
// subdirectory of type 14 (icon groups), whose entries are the groups. Every offset read from the
// bytes is checked before it is followed; the walk has a fixed depth.
#include "shortcuts/icon_count.h"

#include "platform/byte_reader.h"
#include "platform/file_system.h"

namespace tsl {
namespace {

constexpr std::uint32_t kIconGroupType = 14;
constexpr std::uint32_t kHighBit = 0x80000000;

using Bytes = ByteReader;

}  // namespace

int IcoImageCount(std::string_view bytes) {
  const Bytes b(bytes);
  if (!b.Has(0, 6) || b.U16(0) != 0 || b.U16(2) != 1) return 0;
  const std::uint32_t count = b.U16(4);
  if (count == 0 || !b.Has(6, 16ull * count)) return 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t entry = 6 + 16ull * i;
    const std::uint32_t size = b.U32(entry + 8);
    const std::uint32_t offset = b.U32(entry + 12);
    if (size == 0 || offset < 6 + 16ull * count || !b.Has(offset, size)) return 0;
  }
  return static_cast<int>(count);
}

int PeIconGroupCount(std::string_view bytes) {
  const Bytes b(bytes);
  if (!b.Has(0, 0x40) || b.U16(0) != 0x5A4D) return 0;  // "MZ"
  const std::uint64_t pe = b.U32(0x3C);
  if (!b.Has(pe, 24) || b.U32(pe) != 0x00004550) return 0;  // "PE\0\0"
  const std::uint32_t sections = b.U16(pe + 6);
  const std::uint32_t optional_size = b.U16(pe + 20);
  const std::uint64_t optional = pe + 24;
  std::uint64_t count_at = 0;
  if (b.U16(optional) == 0x10B) {
    count_at = 92;
  } else if (b.U16(optional) == 0x20B) {
    count_at = 108;
  } else {
    return 0;
  }
  // The resource directory is data directory 2, after the count of directories.
  const std::uint64_t resource_entry = count_at + 4 + 2 * 8;
  if (resource_entry + 8 > optional_size || !b.Has(optional, optional_size)) return 0;
  if (b.U32(optional + count_at) <= 2) return 0;
  const std::uint32_t resource_rva = b.U32(optional + resource_entry);
  if (resource_rva == 0) return 0;

  const std::uint64_t table = optional + optional_size;
  if (!b.Has(table, 40ull * sections)) return 0;
  std::uint64_t root = 0;
  std::uint64_t section_end = 0;
  for (std::uint32_t i = 0; i < sections && section_end == 0; ++i) {
    const std::uint64_t s = table + 40ull * i;
    const std::uint32_t address = b.U32(s + 12);
    const std::uint32_t raw_size = b.U32(s + 16);
    const std::uint32_t raw_offset = b.U32(s + 20);
    if (resource_rva >= address && resource_rva - address < raw_size) {
      root = raw_offset + static_cast<std::uint64_t>(resource_rva - address);
      section_end = static_cast<std::uint64_t>(raw_offset) + raw_size;
    }
  }
  // Everything of the resource tree lies in its section and in the bytes.
  auto fits = [&](std::uint64_t at, std::uint64_t size) {
    return b.Has(at, size) && at + size <= section_end;
  };
  if (section_end == 0 || !fits(root, 16)) return 0;
  const std::uint64_t types = b.U16(root + 12) + static_cast<std::uint64_t>(b.U16(root + 14));
  if (!fits(root + 16, 8 * types)) return 0;
  for (std::uint64_t i = 0; i < types; ++i) {
    const std::uint64_t entry = root + 16 + 8 * i;
    const std::uint32_t name = b.U32(entry);
    const std::uint32_t target = b.U32(entry + 4);
    if (name != kIconGroupType || !(target & kHighBit)) continue;
    const std::uint64_t groups = root + (target & ~kHighBit);
    if (!fits(groups, 16)) return 0;
    const std::uint64_t count = b.U16(groups + 12) + static_cast<std::uint64_t>(b.U16(groups + 14));
    if (!fits(groups + 16, 8 * count)) return 0;
    return static_cast<int>(count);
  }
  return 0;
}

int IconCount(std::string_view bytes) {
  if (IcoImageCount(bytes) > 0) return 1;
  return PeIconGroupCount(bytes);
}

int IconCountOfFile(const std::string& path) {
  std::string bytes;
  if (Files().ReadWholeFile(path, &bytes).failed()) return 0;
  return IconCount(bytes);
}

}  // namespace tsl
