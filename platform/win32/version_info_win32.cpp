// Version texts on Windows, from the system's version functions.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/version_info.h"

namespace tsl {

std::optional<std::string> FileVersionText(const std::string& path) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) return std::nullopt;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return std::nullopt;
  void* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &translation, &length) ||
      length < 4) {
    return std::nullopt;
  }
  const WORD* words = static_cast<const WORD*>(translation);
  char query[64];
  std::snprintf(query, sizeof query, "\\StringFileInfo\\%08lx\\%s",
                (static_cast<unsigned long>(words[0]) << 16) | words[1], "FileVersion");
  void* text = nullptr;
  if (!VerQueryValueA(data.data(), query, &text, &length) || text == nullptr) return std::nullopt;
  return std::string(static_cast<const char*>(text));
}

}  // namespace tsl
