// The list of files a file replace run (or a shortcut run) works on, built completely before the
// first file is processed: folder and mask pairs, with "Local Hard Drives", server names and `;`
// lists of folders expanded, each folder walked (and its subfolders, when asked) with the shared
// folder walker, the files the masks and the filter let through taken in with the data of their
// listing, and the whole sorted when asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "services/file_filter.h"
#include "services/job_services.h"

namespace tsl {

/// One listed file: its full path and its data as the folder's listing gave it.
struct FileListEntry {
  std::string path;
  std::uint32_t attributes = 0;
  FileTime created = 0;  // UTC, as listed
  FileTime accessed = 0;
  FileTime modified = 0;
  std::uint64_t size = 0;
};

/// The sort keys of the `Sort File Names` option.
enum FileListSortKey : int {
  kSortNone = 0,
  kSortName = 1,       // the name, letter case ignored
  kSortExtension = 2,  // the text from the name's last `.`, letter case ignored; none first
  kSortModified = 3,   // last-write time
  kSortSize = 4,
  kSortFolder = 5,  // a file in a subfolder before the folder's own files, then folder, then name
};

struct FileListOptions {
  bool subfolders = false;
  /// Null, or a filter that Applies(): the files it rejects are left out.
  const FileFilter* filter = nullptr;
  int sort_key = kSortNone;
  bool ascending = true;
  /// Gets "Found %d files in %d directories" for each file taken in; pumped between entries.
  JobProgress* progress = nullptr;
  /// Once set, the build stops (the files found so far stay in the list).
  const bool* cancel = nullptr;
};

class FileList {
 public:
  /// Masks come from services.MakeSelector(mask, folder walked).
  explicit FileList(JobServices& services) : services_(services) {}

  /// Empties the list and builds it from `pairs`, the flat folder, mask list of a script.
  /// `end_indices` (optional) gets, for each pair, one past the index of its last file. With a
  /// sort key, each pair's files are sorted among themselves, so that the end indices still
  /// say which pair a file came from. Returns the number of files.
  std::size_t Build(const std::vector<std::string>& pairs, const FileListOptions& options,
                    std::vector<std::size_t>* end_indices);
  /// The same for one folder and mask.
  std::size_t BuildOne(const std::string& folder, const std::string& mask,
                       const FileListOptions& options);

  std::size_t size() const { return entries_.size(); }
  const FileListEntry& operator[](std::size_t i) const { return entries_[i]; }
  const std::vector<FileListEntry>& entries() const { return entries_; }

  std::int64_t files_found() const { return files_found_; }
  /// The subfolders walked below the folders given.
  std::int64_t folders_walked() const { return folders_walked_; }
  /// Lines for the results about folder texts that stood for folders and expanded to none (a
  /// server name where shares cannot be listed), and about folders that could not be listed.
  const std::vector<std::string>& notes() const { return notes_; }

 private:
  void Clear();
  void AddPair(const std::string& folder_text, const std::string& mask,
               const FileListOptions& options);
  void Walk(const std::string& folder, const std::string& mask, const FileListOptions& options,
            const std::vector<std::string>* pass_over);
  bool Cancelled(const FileListOptions& options) const {
    return options.cancel && *options.cancel;
  }

  JobServices& services_;
  std::vector<FileListEntry> entries_;
  std::int64_t files_found_ = 0;
  std::int64_t folders_walked_ = 0;
  std::vector<std::string> notes_;
};

/// The folders a folder text stands for, as a flat folder, mask list (each mask "*.*"), the
/// form of a script's pairs: "Local Hard Drives" (letter case ignored) gives the local hard
/// drives' roots; a server name (`\\server`; `//server` on Linux) its shared folders; a text
/// with `;` its trimmed, non-empty pieces, each with a closing separator. Nothing when the text
/// names a single folder; an empty list when it stands for folders and none were found.
std::optional<std::vector<std::string>> ExpandFolders(const std::string& folder_text);

/// A folder as the list walks it, so that the paths it lists begin with it: native separators
/// (on Windows `/` becomes `\`) and a closing one.
std::string WalkedFolder(const std::string& folder);

/// The index (even) of the first folder of a flat folder, mask list, from `start` on, that
/// `path` lies in (letter case ignored, the folder taken with its closing separator); -1 when
/// there is none.
int FindFolderIndex(const std::string& path, const std::vector<std::string>& folder_list,
                    int start);

/// Sorts entries by a sort key, in place; the order among equals stays that of the list.
void SortFileList(std::vector<FileListEntry>::iterator first,
                  std::vector<FileListEntry>::iterator last, int sort_key, bool ascending);

}  // namespace tsl
