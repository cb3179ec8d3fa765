// The layout of a .bmp file, checked before the file's bytes are handed to the system as a
// device-independent bitmap: a damaged or foreign file must be refused, not read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tsl {

/// Where the parts of a valid .bmp file lie, as offsets into its bytes.
struct BmpLayout {
  std::size_t info_offset = 0;  // the information header, followed by masks and colour table
  std::size_t bits_offset = 0;  // the pixel rows
  std::size_t bits_size = 0;    // bytes of pixel rows the header calls for
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: rows stored top-down
  int bits_per_pixel = 0;
};

/// Checks a whole .bmp file: the "BM" signature, a Windows information header (40 bytes or a
/// later version), uncompressed pixels or bit-field masks, and every part inside the file.
/// False for anything else (compressed and OS/2 bitmaps included).
bool ParseBmpFile(std::string_view bytes, BmpLayout* layout);

}  // namespace tsl
