#include "services/folders.h"

#include <optional>

#include "services/settings.h"
#include "platform/clock.h"
#include "platform/locale.h"
#include "platform/registry.h"
#include "platform/system_folders.h"

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

// Deleting works through an explicit list of folders, so that a deep tree cannot exhaust the
// stack: folders are emptied top-down and removed bottom-up.
bool DeleteFolderTree(const std::string& folder) {
  FileSystem& fs = Files();
  std::vector<std::string> to_empty{folder};
  std::vector<std::string> to_remove;
  while (!to_empty.empty()) {
    std::string current = to_empty.back();
    to_empty.pop_back();
    to_remove.push_back(current);
    std::vector<DirEntry> entries;
    if (fs.ListFolder(current, &entries).failed()) continue;
    for (const DirEntry& entry : entries) {
      std::string child = WithClosingSeparator(current, NativePathStyle()) + entry.name;
      if (!entry.is_folder()) {
        fs.RemoveFile(child);
      } else if (entry.attributes & attr::kReparsePoint) {
        if (fs.RemoveFolder(child).failed()) fs.RemoveFile(child);  // the link, not its target
      } else if (entry.name[0] != '.') {
        to_empty.push_back(child);
      }
    }
  }
  for (auto it = to_remove.rbegin(); it != to_remove.rend(); ++it) {
    SysError removed = fs.RemoveFolder(*it);
    if (*it == folder) return removed.failed();
  }
  return true;
}

namespace {

// The plain text value "Work Path" of a key below HKEY_CURRENT_USER, up to its first zero byte.
std::string WorkPathOfKey(const std::string& key_path) {
  reg::Key key;
  if (reg::OpenKey(reg::Key(reg::Root::kCurrentUser), key_path, reg::access::kRead, &key) !=
      reg::kOk) {
    return "";
  }
  std::uint32_t type = 0;
  std::string data;
  if (reg::QueryValue(key, "Work Path", &type, &data) != reg::kOk || type != reg::type::kString) {
    return "";
  }
  return data.substr(0, data.find('\0'));
}

}  // namespace

std::string WorkFolder(const std::string& settings_key, const std::string& default_folder) {
  std::string folder = settings_key.empty() ? ReadSettingString("Settings", "Work Path")
                                            : WorkPathOfKey(settings_key);
  if (folder.empty()) folder = DefaultWorkFolder(default_folder);
  PathStyle style = NativePathStyle();
  if (folder.size() > 3 && EndsWithSeparator(folder, style)) folder.pop_back();
  if (!PathExists(folder)) EnsureParentFolders(JoinPath(folder, "x", style), style);
  return WithClosingSeparator(folder, style);
}

std::string FormatFileTime(FileTime time) {
  std::optional<CalendarTime> calendar = ToCalendar(time);
  if (!calendar) return "";
  return FormatShortDate(*calendar) + " " + FormatTime(*calendar);
}

std::string FileNameList::ReadNext() {
  if (next_ >= names_.size()) return "";
  return names_[next_++].substr(0, kMaxRead);
}

int FileNameList::Find(const std::string& text) const {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == text) return static_cast<int>(i);
  }
  return -1;
}

void FileNameList::Clear() {
  names_.clear();
  names_.shrink_to_fit();
  next_ = 0;
}

}  // namespace tsl
