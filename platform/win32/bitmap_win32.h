// Bitmaps of the progress window: the picture built into the program and .bmp files read from
// disk. Internal to the Windows platform code (it names system types).
#pragma once

#include <windows.h>

#include <string>

namespace tsl {

/// A bitmap handle, deleted with its owner.
class OwnedBitmap {
 public:
  OwnedBitmap() = default;
  explicit OwnedBitmap(HBITMAP bitmap) : bitmap_(bitmap) {}
  ~OwnedBitmap() { Reset(); }
  OwnedBitmap(OwnedBitmap&& other) noexcept : bitmap_(other.bitmap_) { other.bitmap_ = nullptr; }
  OwnedBitmap& operator=(OwnedBitmap&& other) noexcept;
  OwnedBitmap(const OwnedBitmap&) = delete;
  OwnedBitmap& operator=(const OwnedBitmap&) = delete;

  HBITMAP get() const { return bitmap_; }
  explicit operator bool() const { return bitmap_ != nullptr; }
  void Reset();

 private:
  HBITMAP bitmap_ = nullptr;
};

/// Resource number of the picture built into the program.
inline constexpr int kProgressPictureResource = 153;

/// A .bmp file read whole through the file service, as a device-independent bitmap; empty when
/// the file cannot be read or is not a bitmap that the window can show.
OwnedBitmap ReadBitmapFile(const std::string& path);

/// The built-in picture; empty when the program carries none.
OwnedBitmap BuiltInProgressPicture();

}  // namespace tsl
