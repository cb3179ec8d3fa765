#include "platform/win32/bitmap_win32.h"

#include <cstring>
#include <vector>

#include "platform/bmp_file.h"
#include "platform/file_system.h"

namespace tsl {

OwnedBitmap& OwnedBitmap::operator=(OwnedBitmap&& other) noexcept {
  if (this != &other) {
    Reset();
    bitmap_ = other.bitmap_;
    other.bitmap_ = nullptr;
  }
  return *this;
}

void OwnedBitmap::Reset() {
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = nullptr;
}

OwnedBitmap ReadBitmapFile(const std::string& path) {
  std::string bytes;
  if (Files().ReadWholeFile(path, &bytes).failed()) return {};
  BmpLayout layout;
  if (!ParseBmpFile(bytes, &layout)) return {};
  // The header and colour table, copied to an aligned place (in the file they start at byte 14).
  std::size_t info_size = layout.bits_offset - layout.info_offset;
  std::vector<DWORD> info((info_size + sizeof(DWORD) - 1) / sizeof(DWORD));
  std::memcpy(info.data(), bytes.data() + layout.info_offset, info_size);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(info.data()),
                                    DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    return {};
  }
  std::memcpy(bits, bytes.data() + layout.bits_offset, layout.bits_size);
  GdiFlush();
  return OwnedBitmap(bitmap);
}

OwnedBitmap BuiltInProgressPicture() {
  HANDLE image = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kProgressPictureResource),
                            IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  return OwnedBitmap(static_cast<HBITMAP>(image));
}

}  // namespace tsl
