// The one walk through a folder tree that every job uses: depth first with an explicit stack
// (folder trees may be deep), in the order the file system lists entries, a subfolder walked
// where it is met.
//
// Its rule for folders: a folder whose name begins with `.` is never entered, nor a link to a
// folder (no loops, and nothing written through a link); a folder given by identity (the inner
// one of two nested folders) is passed over. A folder that cannot be listed is reported with its
// error, never passed off as empty.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"
#include "services/job_services.h"

namespace tsl {

/// What the walker met at a step.
enum class WalkStep {
  kFolder,        // a folder entered and listed (the root first); error() tells whether the
                  // listing failed, then nothing of it follows but its kFolderDone
  kFolderDone,    // every entry of a folder has been met (the root's is the walk's last step)
  kFile,          // a file (without odd_entries_apart: anything that is not a folder)
  kPassedOver,    // a folder not entered: its name begins with `.`, subfolders are off, or it
                  // is the folder to skip
  kLinkToFolder,  // a link to a folder: never entered
  kUnusualName,   // with odd_entries_apart: a name with LF, CR or a byte from 1 to 8 (a folder
                  // of such a name is not entered)
  kSpecial,       // with odd_entries_apart: a pipe, socket or device
};

struct WalkOptions {
  /// Off: the root's folders are all passed over.
  bool subfolders = true;
  /// The comparison's rules for odd entries: names with LF, CR or a byte from 1 to 8 come as
  /// kUnusualName (LF and CR would split a log line), pipes, sockets and devices as kSpecial,
  /// and the copies' own temporaries not at all. Off: they are files and folders like others.
  bool odd_entries_apart = false;
  /// Lists with ListSubfolders: no files are met, and holds_others() tells for each folder
  /// whether it held anything besides folders.
  bool folders_only = false;
  /// Files (and with odd_entries_apart, specials) it does not select are not met.
  const FileSelector* selector = nullptr;
  /// A folder never entered, by identity (looked up only for folders that would be entered).
  std::optional<FileIdentity> skip_folder;
  /// Folders never entered, by path with the closing separator, sorted (the roots of other file
  /// systems mounted inside a drive that is walked on its own).
  const std::vector<std::string>* pass_over = nullptr;
  /// Polled before every step after the first: once set, the walk ends.
  const bool* cancel = nullptr;
};

/// A walk of one folder tree, step by step:
///
///   FolderWalker walker(root, options);
///   while (walker.Next()) { switch (walker.step()) ... }
class FolderWalker {
 public:
  /// `root` with or without its closing separator.
  FolderWalker(const std::string& root, WalkOptions options);

  /// Goes to the next step; false at the end of the walk (or when cancelled).
  bool Next();

  WalkStep step() const { return step_; }
  /// The root and the path below it; a folder's with its closing separator.
  const std::string& path() const { return path_; }
  /// The path below the root (empty for the root).
  std::string_view relative() const { return std::string_view(path_).substr(root_length_); }
  std::size_t root_length() const { return root_length_; }
  /// The listing entry of the step's file or folder; null for the root's own steps.
  const DirEntry* entry() const { return entry_; }
  /// kFolder: why the folder could not be listed (a missing folder is kNotFound or
  /// kPathNotFound).
  const SysError& error() const { return error_; }
  /// kFolder with folders_only: the folder held something besides folders.
  bool holds_others() const { return holds_others_; }

 private:
  struct Frame {
    std::size_t length = 0;  // of the folder's path, the first characters of path_
    const DirEntry* entry = nullptr;
    std::vector<DirEntry> entries;
    std::size_t next = 0;
  };
  void Open(const DirEntry* entry);

  WalkOptions options_;
  std::string path_;
  std::size_t root_length_ = 0;
  std::vector<Frame> stack_;
  bool started_ = false;
  WalkStep step_ = WalkStep::kFolder;
  const DirEntry* entry_ = nullptr;
  SysError error_;
  bool holds_others_ = false;
};

/// True for a listing entry that is a link to a folder (or, on Windows, a junction).
bool IsLinkToFolder(const DirEntry& entry);

}  // namespace tsl
