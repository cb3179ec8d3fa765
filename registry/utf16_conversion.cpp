#include "registry/utf16_conversion.h"

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace tsl {

std::optional<std::string> ConvertUtf16Text(std::string_view bytes) {
  if (bytes.size() < 3 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
      static_cast<unsigned char>(bytes[1]) != 0xFE) {
    return std::nullopt;
  }
  std::u16string units;
  units.reserve((bytes.size() - 2) / 2);
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  std::string text = cp::FromUtf16(units);
  if (text.empty()) return std::nullopt;
  return text;
}

bool ConvertUtf16File(const std::string& source, const std::string& destination) {
  FileSystem& fs = Files();
  std::string bytes;
  if (fs.ReadWholeFile(source, &bytes).failed()) return false;
  std::optional<std::string> converted = ConvertUtf16Text(bytes);
  if (!converted) return false;
  const std::string& text = *converted;
  std::unique_ptr<WritableFile> file;
  if (fs.OpenForWriting(destination, WriteMode::kReplace, &file).failed()) return false;
  SysError written = file->Write(text.data(), text.size());
  SysError closed = file->Close();
  if (written.failed() || closed.failed()) {
    fs.RemoveFile(destination);
    return false;
  }
  return true;
}

}  // namespace tsl
