#include "platform/paths.h"

namespace tsl {

char SeparatorOf(PathStyle style) { return style == PathStyle::kWindows ? '\\' : '/'; }

std::string::size_type LastSeparator(const std::string& path, PathStyle style) {
  return path.rfind(SeparatorOf(style));
}

bool EndsWithSeparator(const std::string& path, PathStyle style) {
  return !path.empty() && path.back() == SeparatorOf(style);
}

std::string WithClosingSeparator(const std::string& path, PathStyle style) {
  return EndsWithSeparator(path, style) ? path : path + SeparatorOf(style);
}

std::string FolderPart(const std::string& path, PathStyle style) {
  std::string::size_type last = LastSeparator(path, style);
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string NamePart(const std::string& path, PathStyle style) {
  std::string::size_type last = LastSeparator(path, style);
  return last == std::string::npos ? path : path.substr(last + 1);
}

bool NeedsBaseFolder(const std::string& path, PathStyle style) {
  if (path.empty()) return false;
  if (style == PathStyle::kPosix) return path[0] != '/';
  return path.find(':') == std::string::npos && path.compare(0, 2, "\\\\") != 0;
}

std::string FolderRoot(const std::string& folder, PathStyle style) {
  const char separator = SeparatorOf(style);
  std::string::size_type end = 0;
  if (style == PathStyle::kWindows && folder.compare(0, 2, "\\\\") == 0) {
    std::string::size_type share = folder.find(separator, 2);
    end = share == std::string::npos ? share : folder.find(separator, share + 1);
  } else {
    end = folder.find(separator);
  }
  return end == std::string::npos ? std::string() : folder.substr(0, end + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name, PathStyle style) {
  if (folder.empty()) return name;
  return WithClosingSeparator(folder, style) + name;
}

}  // namespace tsl
