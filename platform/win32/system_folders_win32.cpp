#include <windows.h>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/system_folders.h"

namespace tsl {

std::string ProgramFilePath() {
  char buffer[MAX_PATH + 1];
  DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return std::string(buffer, length <= MAX_PATH ? length : 0);
}

std::string UserDataFolder() {
  std::string base = GetEnvironmentValue("APPDATA").value_or("");
  if (base.empty()) base = RealFileSystem().TempFolder();
  if (base.back() != '\\') base += '\\';
  return base + "Tessaline";
}

std::string DefaultWorkFolder(const std::string& default_folder) {
  std::string start = default_folder.empty() ? ProgramFilePath() : default_folder;
  if (start.size() >= 3 && start[0] != '\\' &&
      GetDriveTypeA(start.substr(0, 3).c_str()) == DRIVE_FIXED) {
    std::string::size_type last = start.rfind('\\');
    if (last != std::string::npos) return start.substr(0, last);
  }
  return Files().TempFolder();
}

}  // namespace tsl
