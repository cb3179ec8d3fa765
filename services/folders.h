// Helpers about files and folders that several jobs share: creating the folders a file needs,
// deleting a folder tree, showing a file time, the folder for work files, and the list in which
// enumerations collect file names.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/paths.h"

namespace tsl {

/// When `file_path` does not exist, makes sure its parent folder exists, creating every missing
/// folder from the left (a drive or a `\\server\share\` prefix is never created). False when a
/// folder cannot be created.
bool EnsureParentFolders(const std::string& file_path, PathStyle style = NativePathStyle());

/// Deletes every file of the folder, every subfolder whose name does not begin with `.` with
/// everything in it, and then the folder itself. Returns true on FAILURE: when the folder itself
/// cannot be removed (failed file deletions are not reported on their own). A link to a folder is
/// removed as a link; what it points to is never touched.
bool DeleteFolderTree(const std::string& folder);

/// A file time as the user's short date, a blank and the user's time, without any time-zone
/// change; empty when the time cannot be shown.
std::string FormatFileTime(FileTime time);

/// The folder for work files (such as an undo batch), with a closing separator. It is the text
/// value "Work Path" of the key `settings_key` below the current user's hive when one is named
/// (only plain text counts), else of the section "Settings" of the program's own settings; when
/// that is empty, the system's default (see DefaultWorkFolder). Missing folders along it are
/// created.
std::string WorkFolder(const std::string& settings_key = "", const std::string& default_folder = "");

/// The names an enumeration found, in the order they were added.
class FileNameList {
 public:
  /// The longest text a read gives back.
  static constexpr std::size_t kMaxRead = 1023;

  void Add(const std::string& path) { names_.push_back(path); }
  /// Adds `folder` and `name` joined into one string (the folder as given, then the name).
  void Add(const std::string& folder, const std::string& name) { names_.push_back(folder + name); }

  void ResetReading() { next_ = 0; }
  /// The next string (at most kMaxRead characters); empty past the end.
  std::string ReadNext();
  /// Index of the first string equal to `text` (letter case counts), -1 when none.
  int Find(const std::string& text) const;
  void Clear();

  std::size_t size() const { return names_.size(); }

 private:
  std::vector<std::string> names_;
  std::size_t next_ = 0;
};

}  // namespace tsl
