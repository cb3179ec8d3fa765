#include "shortcuts/drive_map.h"

#include <cctype>
#include <string_view>

#include "platform/code_page.h"
#include "services/settings.h"

namespace tsl {

bool IsWindowsPath(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':' &&
      std::isalpha(static_cast<unsigned char>(path[0])) != 0) {
    return true;
  }
  return path.starts_with("\\\\");
}

std::optional<std::string> MapWindowsPath(const std::string& path, const std::string& drive_map) {
  std::string_view best_prefix;
  std::string_view best_folder;
  bool found = false;
  std::string_view rest = drive_map;
  while (!rest.empty()) {
    std::string_view pair = rest.substr(0, rest.find(';'));
    rest.remove_prefix(pair.size() < rest.size() ? pair.size() + 1 : pair.size());
    std::string_view::size_type equals = pair.find('=');
    if (equals == std::string_view::npos || equals == 0) continue;
    std::string_view prefix = pair.substr(0, equals);
    if (prefix.size() > 1 && prefix.back() == '\\') prefix.remove_suffix(1);
    if (path.size() < prefix.size() || !cp::EqualsIgnoreCase(path.substr(0, prefix.size()), prefix))
      continue;
    if (path.size() > prefix.size() && path[prefix.size()] != '\\') continue;
    if (found && prefix.size() <= best_prefix.size()) continue;
    found = true;
    best_prefix = prefix;
    best_folder = pair.substr(equals + 1);
  }
  if (!found) return std::nullopt;
  std::string mapped(best_folder);
  while (mapped.size() > 1 && mapped.back() == '/') mapped.pop_back();
  for (char c : path.substr(best_prefix.size())) mapped += c == '\\' ? '/' : c;
  return mapped;
}

std::string ConfiguredDriveMap() { return ReadSettingString("Settings", "Drive Map"); }

}  // namespace tsl
