#include "platform/paths.h"

#include <algorithm>

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

std::string ServerNameOf(const std::string& text, PathStyle style) {
  const char separator = SeparatorOf(style);
  if (text.size() < 3 || text[0] != separator || text[1] != separator) return "";
  std::string::size_type end = text.size();
  if (text[end - 1] == separator) --end;
  if (end <= 2 || text.find(separator, 2) < end) return "";
  return text.substr(0, end);
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

std::vector<std::string> FolderChain(const std::string& folder, const std::string& current,
                                     PathStyle style) {
  const char separator = SeparatorOf(style);
  std::string path = folder;
  if (style == PathStyle::kWindows) std::replace(path.begin(), path.end(), '/', '\\');
  if (NeedsBaseFolder(path, style)) {
    std::string drive = FolderRoot(current, style);
    path = style == PathStyle::kWindows && !path.empty() && path[0] == '\\' && !drive.empty()
               ? drive.substr(0, drive.size() - 1) + path
               : JoinPath(current, path, style);
  }
  std::string root = FolderRoot(path, style);
  if (root.empty()) return {path};
  std::vector<std::string> parts;
  for (std::size_t at = root.size(); at <= path.size();) {
    std::size_t end = std::min(path.find(separator, at), path.size());
    std::string part = path.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::vector<std::string> chain;
  for (std::size_t k = parts.size(); k > 0; --k) {
    std::string text = root;
    for (std::size_t i = 0; i < k; ++i) text += (i ? std::string(1, separator) : "") + parts[i];
    chain.push_back(text);
  }
  chain.push_back(root);
  return chain;
}

std::string JoinPath(const std::string& folder, const std::string& name, PathStyle style) {
  if (folder.empty()) return name;
  return WithClosingSeparator(folder, style) + name;
}

}  // namespace tsl
