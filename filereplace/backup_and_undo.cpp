#include "filereplace/backup_and_undo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/system_folders.h"
#include "services/file_list.h"
#include "services/folders.h"
#include "services/settings.h"

namespace tsl {
namespace {

bool BeginsWithFolder(const std::string& path, const std::string& folder, PathStyle style) {
  if (path.size() < folder.size()) return false;
  std::string_view start = std::string_view(path).substr(0, folder.size());
  return style == PathStyle::kWindows ? cp::EqualsIgnoreCase(start, folder) : start == folder;
}

std::string PathPart(std::size_t number, char separator) {
  return "Path" + std::to_string(number) + separator;
}

// The undo script paths this process has emptied: a later line to one of them is appended.
std::set<std::string>& EmptiedUndoScripts() {
  static std::set<std::string> paths;
  return paths;
}

}  // namespace

BackupPaths::BackupPaths(const std::string& backup_root, const std::vector<std::string>& pairs)
    : root_(WithClosingSeparator(backup_root, NativePathStyle())),
      several_pairs_(pairs.size() > 2) {
  for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
    std::optional<std::vector<std::string>> list = ExpandFolders(pairs[i]);
    folders_.push_back(list || pairs[i].empty() ? std::string() : WalkedFolder(pairs[i]));
    lists_.push_back(std::move(list));
  }
}

std::string BackupPaths::For(std::size_t pair_index, const std::string& file_path) const {
  const PathStyle style = NativePathStyle();
  const char separator = SeparatorOf(style);
  std::string backup = root_;
  if (several_pairs_) backup += PathPart(pair_index + 1, separator);
  if (pair_index >= folders_.size()) return backup + PathWithoutRoot(file_path, style);
  if (const std::optional<std::vector<std::string>>& list = lists_[pair_index]) {
    int index = FindFolderIndex(file_path, *list, 0);
    if (index < 0) return backup + PathWithoutRoot(file_path, style);
    const std::size_t at = static_cast<std::size_t>(index);
    backup += PathPart(at / 2 + 1, separator);
    return backup + file_path.substr(WalkedFolder((*list)[at]).size());
  }
  const std::string& folder = folders_[pair_index];
  if (folder.empty() || !BeginsWithFolder(file_path, folder, style)) {
    return backup + PathWithoutRoot(file_path, style);
  }
  return backup + file_path.substr(folder.size());
}

std::string BackupPathFor(const std::string& backup_root, const std::vector<std::string>& pairs,
                          std::size_t pair_index, const std::string& file_path) {
  return BackupPaths(backup_root, pairs).For(pair_index, file_path);
}

std::string PathWithoutRoot(const std::string& path, PathStyle style) {
  const char separator = SeparatorOf(style);
  std::string::size_type start = 0;
  if (style == PathStyle::kWindows && path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    start = 2;
  }
  while (start < path.size() && path[start] == separator) ++start;
  return path.substr(start);
}

std::string WorkFolder() {
  const PathStyle style = NativePathStyle();
  std::string folder = ReadSettingString("Settings", "Work Path");
  if (folder.empty()) folder = DefaultWorkFolder("");
  if (folder.empty()) return "";
  // A root keeps its separator (`C:\`, `/`); any other folder is created without one.
  if (folder.size() > 3 && EndsWithSeparator(folder, style)) folder.pop_back();
  if (!PathExists(folder)) EnsureParentFolders(JoinPath(folder, "x", style), style);
  std::uint32_t attributes = 0;
  if (Files().GetAttributes(folder, &attributes).failed() || (attributes & attr::kDirectory) == 0) {
    return "";
  }
  return WithClosingSeparator(folder, style);
}

const char* UndoScriptName(PathStyle style) {
  return style == PathStyle::kWindows ? "FMUNDO.BAT" : "fmundo.sh";
}

std::string UndoScriptHeader(PathStyle style) {
  return style == PathStyle::kWindows ? "" : "#!/bin/sh\n";
}

std::string UndoScriptLine(const std::string& from, const std::string& to, PathStyle style) {
  // The quoted path, with what would be taken as other than itself inside the quotes escaped.
  auto quoted = [style](const std::string& path) {
    const char quote = style == PathStyle::kWindows ? '"' : '\'';
    std::string text(1, quote);
    for (char c : path) {
      if (style == PathStyle::kWindows && c == '%') {
        text += "%%";
      } else if (style == PathStyle::kPosix && c == '\'') {
        text += "'\\''";
      } else {
        text += c;
      }
    }
    return text + quote;
  };
  if (style == PathStyle::kWindows) return "COPY " + quoted(from) + " " + quoted(to) + "\r\n";
  return "cp -p -- " + quoted(from) + " " + quoted(to) + "\n";
}

UndoScript::UndoScript(std::string folder) : path_(std::move(folder)) {
  const PathStyle style = NativePathStyle();
  if (!path_.empty()) path_ = WithClosingSeparator(path_, style);
  path_ += UndoScriptName(style);
}

SysError UndoScript::AddCopy(const std::string& from, const std::string& to) {
  const PathStyle style = NativePathStyle();
  const bool first = EmptiedUndoScripts().count(path_) == 0;
  // The whole text goes to the file buffered and leaves it in one write when the file is closed.
  // The script is not kept open between lines: a script open for writing cannot be run.
  const std::string text =
      (first ? UndoScriptHeader(style) : std::string()) + UndoScriptLine(from, to, style);
  std::unique_ptr<WritableFile> file;
  if (SysError e =
          Files().OpenForWriting(path_, first ? WriteMode::kReplace : WriteMode::kAppend, &file);
      e.failed()) {
    return InContext(e, "OpenForWriting", path_);
  }
  SysError written = file->Write(text.data(), text.size());
  SysError closed = file->Close();
  if (written.failed()) return InContext(written, "Write", path_);
  if (closed.failed()) return InContext(closed, "Close", path_);
  if (!first) return {};
  EmptiedUndoScripts().insert(path_);
  return MakeExecutable(path_);
}

void ForgetEmptiedUndoScripts() { EmptiedUndoScripts().clear(); }

}  // namespace tsl
