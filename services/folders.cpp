#include "services/folders.h"

#include "services/folder_walker.h"

namespace tsl {
namespace {

bool IsDrive(const std::string& part) {
  return part.size() == 2 && part[1] == ':' &&
         ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= 'a' && part[0] <= 'z'));
}

// The part of a network path that is never created: `\\server\share\`, or the whole path when
// it has no more.
std::string::size_type NetworkPrefixLength(const std::string& path) {
  std::string::size_type server_end = path.find('\\', 2);
  if (server_end == std::string::npos) return path.size();
  std::string::size_type share_end = path.find('\\', server_end + 1);
  return share_end == std::string::npos ? path.size() : share_end + 1;
}

}  // namespace

bool EnsureParentFolders(const std::string& file_path, PathStyle style) {
  if (PathExists(file_path)) return true;
  std::string::size_type last = LastSeparator(file_path, style);
  if (last == std::string::npos) return true;
  const char separator = SeparatorOf(style);
  std::string parent = file_path.substr(0, last);
  if (style == PathStyle::kWindows && IsDrive(parent)) parent += separator;
  if (parent.empty() || PathExists(parent)) return true;

  std::string built;
  std::string::size_type pos = 0;
  if (style == PathStyle::kWindows && parent.compare(0, 2, "\\\\") == 0) {
    pos = NetworkPrefixLength(parent);
    built = parent.substr(0, pos);
  }
  while (pos < parent.size()) {
    std::string::size_type end = parent.find(separator, pos);
    if (end == std::string::npos) end = parent.size();
    std::string part = parent.substr(pos, end - pos);
    pos = end + 1;
    if (style == PathStyle::kWindows && built.empty() && IsDrive(part)) {
      built = part + separator;
      continue;
    }
    if (part.empty()) {  // the root of a POSIX path, or a doubled separator
      if (built.empty() || built.back() != separator) built += separator;
      continue;
    }
    built = built.empty() || built.back() == separator ? built + part : built + separator + part;
    if (!PathExists(built)) {
      SysError e = Files().MakeFolder(built);
      if (e.failed() && e.kind != ErrorKind::kAlreadyExists) return false;
    }
  }
  return true;
}

// Files go as the walk meets them, folders when it is done with them, so each after
// everything in it.
SysError DeleteFolderTree(const std::string& folder) {
  FileSystem& fs = Files();
  auto without_separator = [](const std::string& path) {
    return path.substr(0, path.size() - 1);  // a folder's path ends with its separator
  };
  FolderWalker walker(folder, WalkOptions{});
  SysError removed = ErrorOfKind(ErrorKind::kNotFound);
  while (walker.Next()) {
    switch (walker.step()) {
      case WalkStep::kFile:
        fs.RemoveFile(walker.path());
        continue;
      case WalkStep::kFolderDone:
        if (!walker.entry()) {
          removed = fs.RemoveFolder(folder);
        } else {
          fs.RemoveFolder(without_separator(walker.path()));
        }
        continue;
      case WalkStep::kPassedOver:
        // A link whose name begins with `.` goes as a link too.
        if (!IsLinkToFolder(*walker.entry())) continue;
        [[fallthrough]];
      case WalkStep::kLinkToFolder: {
        std::string link = without_separator(walker.path());
        if (fs.RemoveFolder(link).failed()) fs.RemoveFile(link);  // the link, not its target
        continue;
      }
      default:
        continue;
    }
  }
  return removed;
}

}  // namespace tsl
