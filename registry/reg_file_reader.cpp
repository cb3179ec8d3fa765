#include "registry/reg_file_reader.h"

#include <algorithm>
#include <string_view>

#include "platform/file_error.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "registry/utf16_conversion.h"

namespace tsl {
namespace {

// The header of a UTF-16 registry file: byte-order mark, "Windows Registry Editor Version 5.00"
// and a carriage return, all in UTF-16LE.
std::string Utf16RegistryHeader() {
  std::string header = "\xFF\xFE";
  for (char c : std::string("Windows Registry Editor Version 5.00\r")) {
    header += c;
    header += '\0';
  }
  return header;
}

// Accepts a REGEDIT4 text as it is; replaces a UTF-16 version 5 text with its 8-bit conversion,
// made through a temporary copy that is deleted whatever happens.
bool ToRegistryText(const std::string& path, std::string* text, bool* converted) {
  static const std::string_view kRegedit4 = "REGEDIT4";
  if (text->size() >= kRegedit4.size() &&
      std::equal(kRegedit4.begin(), kRegedit4.end(), text->begin(), [](char a, char b) {
        return a == (b >= 'a' && b <= 'z' ? static_cast<char>(b - 32) : b);
      })) {
    return true;
  }
  static const std::string kUtf16Header = Utf16RegistryHeader();
  if (text->compare(0, kUtf16Header.size(), kUtf16Header) != 0) return false;
  FileSystem& fs = Files();
  std::string temporary = fs.TempFolder() + NamePart(path, NativePathStyle()) + ".tmp";
  bool ok = ConvertUtf16File(path, temporary) && fs.ReadWholeFile(temporary, text).ok() &&
            !text->empty();
  fs.RemoveFile(temporary);
  *converted = ok;
  return ok;
}

}  // namespace

RegFileRead LoadRegFile(const std::string& path, ScriptFile* reg_file, std::string* error,
                        bool* converted_from_utf16) {
  bool converted = false;
  if (converted_from_utf16) *converted_from_utf16 = false;
  std::string text;
  SysError e = Files().ReadWholeFile(path, &text);
  if (e.failed()) {
    *error = StandardFileErrorText(e, path);
    return RegFileRead::kUnreadable;
  }
  if (text.empty() || !ToRegistryText(path, &text, &converted)) return RegFileRead::kNotRegFile;
  if (converted_from_utf16) *converted_from_utf16 = converted;
  return reg_file->LoadText(path, text) ? RegFileRead::kLoaded : RegFileRead::kNotRegFile;
}

}  // namespace tsl
