// Building the file list: folder texts expanded, each folder walked with the shared walker, files
// taken in with their listing's data, each folder's own files before those of its subfolders,
// then sorting.
#include "services/file_list.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string_view>

#include "platform/code_page.h"
#include "platform/drives.h"
#include "platform/paths.h"
#include "resources/string_table.h"
#include "services/folder_walker.h"
#include "services/text_format.h"

namespace tsl {
namespace {

constexpr std::string_view kLocalHardDrives = "Local Hard Drives";
constexpr const char kAnyFile[] = "*.*";

// A folder as it is walked: on Windows forward slashes become backslashes; a closing separator.
std::string Trimmed(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n\v\f";
  std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return "";
  return std::string(text.substr(first, text.find_last_not_of(kSpace) - first + 1));
}

// What a folder text stands for.
struct Expansion {
  bool single = true;  // the text is one folder, walked as written
  std::vector<std::string> folders;
  bool hard_drives = false;
  std::string note;  // why a text that stands for folders gave none
};

Expansion Expand(const std::string& text) {
  Expansion expansion;
  // A script's folder text comes with its closing separator.
  std::string_view bare = text;
  if (!bare.empty() && SeparatorOf(NativePathStyle()) == bare.back()) bare.remove_suffix(1);
  if (cp::EqualsIgnoreCase(bare, kLocalHardDrives)) {
    expansion.single = false;
    expansion.hard_drives = true;
    expansion.folders = LocalHardDriveRoots();
    if (expansion.folders.empty()) expansion.note = "No local hard drives were found";
    return expansion;
  }
  if (std::string server = ServerNameOf(text, NativePathStyle()); !server.empty()) {
    expansion.single = false;
    if (!ListServerShares(server, &expansion.folders)) {
      expansion.note = "No shared folders can be listed for " + server + " on this system";
    } else if (expansion.folders.empty()) {
      expansion.note = "No shared folders were found on " + server;
    }
    return expansion;
  }
  if (text.find(';') != std::string::npos) {
    expansion.single = false;
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = std::min(text.find(';', start), text.size());
      std::string piece = Trimmed(std::string_view(text).substr(start, end - start));
      if (!piece.empty()) expansion.folders.push_back(WalkedFolder(piece));
      start = end + 1;
    }
  }
  return expansion;
}

template <typename T>
int CompareValues(T a, T b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

std::string_view NameOf(const std::string& path) {
  std::string::size_type last = path.rfind(NativeSeparator());
  return last == std::string::npos ? std::string_view(path)
                                   : std::string_view(path).substr(last + 1);
}

int CompareExtensions(std::string_view a, std::string_view b) {
  std::string_view::size_type da = a.rfind('.'), db = b.rfind('.');
  if (da == std::string_view::npos || db == std::string_view::npos) {
    return CompareValues(da != std::string_view::npos, db != std::string_view::npos);
  }
  return cp::CompareIgnoringCase(a.substr(da), b.substr(db));
}

// Part by part: where one path goes on into a subfolder and the other has reached its file's
// name, the subfolder's file comes first; equal folders leave the order to the names.
int CompareFolderOrder(std::string_view a, std::string_view b) {
  const char separator = NativeSeparator();
  std::size_t ia = 0, ib = 0;
  for (;;) {
    std::size_t ea = a.find(separator, ia), eb = b.find(separator, ib);
    bool folder_a = ea != std::string_view::npos, folder_b = eb != std::string_view::npos;
    if (folder_a != folder_b) return folder_a ? -1 : 1;
    if (!folder_a) return cp::CompareIgnoringCase(a.substr(ia), b.substr(ib));
    if (int c = cp::CompareIgnoringCase(a.substr(ia, ea - ia), b.substr(ib, eb - ib)); c != 0) {
      return c;
    }
    ia = ea + 1;
    ib = eb + 1;
  }
}

int CompareAscending(const FileListEntry& a, const FileListEntry& b, int sort_key) {
  switch (sort_key) {
    case kSortName:
      return cp::CompareIgnoringCase(NameOf(a.path), NameOf(b.path));
    case kSortExtension:
      return CompareExtensions(NameOf(a.path), NameOf(b.path));
    case kSortModified:
      return CompareValues(a.modified, b.modified);
    case kSortSize:
      return CompareValues(a.size, b.size);
    case kSortFolder:
      return CompareFolderOrder(a.path, b.path);
    default:
      return 0;
  }
}

}  // namespace

void SortFileList(std::vector<FileListEntry>::iterator first,
                  std::vector<FileListEntry>::iterator last, int sort_key, bool ascending) {
  if (sort_key < kSortName || sort_key > kSortFolder) return;
  // Stable, so that equal keys keep the walk's order and every run sorts alike.
  std::stable_sort(first, last, [&](const FileListEntry& a, const FileListEntry& b) {
    return ascending ? CompareAscending(a, b, sort_key) < 0 : CompareAscending(b, a, sort_key) < 0;
  });
}

std::optional<std::vector<std::string>> ExpandFolders(const std::string& folder_text) {
  Expansion expansion = Expand(folder_text);
  if (expansion.single) return std::nullopt;
  std::vector<std::string> list;
  for (std::string& folder : expansion.folders) {
    list.push_back(std::move(folder));
    list.push_back(kAnyFile);
  }
  return list;
}

std::string WalkedFolder(const std::string& folder) {
  std::string root = folder;
  if (NativePathStyle() == PathStyle::kWindows) std::replace(root.begin(), root.end(), '/', '\\');
  return WithClosingSeparator(root, NativePathStyle());
}

int FindFolderIndex(const std::string& path, const std::vector<std::string>& folder_list,
                    int start) {
  for (std::size_t i = static_cast<std::size_t>(std::max(start, 0)); i < folder_list.size();
       i += 2) {
    if (folder_list[i].empty()) continue;
    std::string folder = WalkedFolder(folder_list[i]);
    if (path.size() >= folder.size() &&
        cp::EqualsIgnoreCase(std::string_view(path).substr(0, folder.size()), folder)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void FileList::Clear() {
  entries_.clear();
  files_found_ = 0;
  folders_walked_ = 0;
  notes_.clear();
}

std::size_t FileList::Build(const std::vector<std::string>& pairs, const FileListOptions& options,
                            std::vector<std::size_t>* end_indices) {
  Clear();
  std::vector<std::size_t> ends;
  for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
    if (!Cancelled(options)) AddPair(pairs[i], pairs[i + 1], options);
    ends.push_back(entries_.size());
  }
  std::size_t begin = 0;
  for (std::size_t end : ends) {
    SortFileList(entries_.begin() + begin, entries_.begin() + end, options.sort_key,
                 options.ascending);
    begin = end;
  }
  if (end_indices) *end_indices = std::move(ends);
  return entries_.size();
}

std::size_t FileList::BuildOne(const std::string& folder, const std::string& mask,
                               const FileListOptions& options) {
  return Build({folder, mask}, options, nullptr);
}

void FileList::AddPair(const std::string& folder_text, const std::string& mask,
                       const FileListOptions& options) {
  Expansion expansion = Expand(folder_text);
  if (expansion.single) {
    Walk(folder_text, mask, options, nullptr);
    return;
  }
  if (!expansion.note.empty()) notes_.push_back(expansion.note);
  // A drive's walk stays off the other file systems mounted inside it: they are drives walked
  // on their own, or not drives at all (/proc, /sys).
  std::vector<std::string> mounts;
  if (expansion.hard_drives) mounts = MountPoints();
  for (const std::string& folder : expansion.folders) {
    Walk(folder, mask, options, mounts.empty() ? nullptr : &mounts);
  }
}

void FileList::Walk(const std::string& folder, const std::string& mask,
                    const FileListOptions& options, const std::vector<std::string>* pass_over) {
  // An empty folder would be walked as the root of the whole file system.
  if (folder.empty() || Cancelled(options)) return;
  const std::string root = WalkedFolder(folder);
  std::unique_ptr<FileSelector> selector = services_.MakeSelector(mask, root);
  WalkOptions walk;
  walk.subfolders = options.subfolders;
  walk.selector = selector.get();
  walk.cancel = options.cancel;
  walk.pass_over = pass_over;
  const FileFilter* filter = options.filter && options.filter->Applies() ? options.filter : nullptr;
  // The walker enters a subfolder where the listing meets it; the list wants each folder's own
  // files first, then its subfolders' in the order met. The folders are met in that order, so
  // the files are kept per folder and joined at the end.
  std::vector<std::vector<FileListEntry>> by_folder;
  std::vector<std::size_t> open;
  FolderWalker walker(root, std::move(walk));
  while (walker.Next()) {
    switch (walker.step()) {
      case WalkStep::kFolder:
        // A folder that is there but cannot be listed is never taken for an empty one.
        if (walker.error().failed() && walker.error().kind != ErrorKind::kNotFound &&
            walker.error().kind != ErrorKind::kPathNotFound) {
          notes_.push_back("Error listing folder " + walker.path());
        }
        if (!open.empty()) ++folders_walked_;
        open.push_back(by_folder.size());
        by_folder.emplace_back();
        break;
      case WalkStep::kFolderDone:
        open.pop_back();
        break;
      case WalkStep::kFile: {
        const DirEntry& entry = *walker.entry();
        // Pipes, sockets and devices have no contents to search, and opening a pipe waits.
        if (entry.special) break;
        if (filter && !filter->Passes(entry.modified, entry.size, entry.attributes)) break;
        by_folder[open.back()].push_back(FileListEntry{walker.path(), entry.attributes,
                                                       entry.created, entry.accessed,
                                                       entry.modified, entry.size});
        ++files_found_;
        if (options.progress) {
          options.progress->SetText(
              FormatText(TableText(text_id::kFoundFilesInFolders),
                         {std::to_string(files_found_), std::to_string(folders_walked_)}));
        }
        continue;  // the text's update has handled the window's messages
      }
      default:
        break;
    }
    if (options.progress) options.progress->PumpMessages();
  }
  for (std::vector<FileListEntry>& files : by_folder) {
    std::move(files.begin(), files.end(), std::back_inserter(entries_));
  }
}

}  // namespace tsl
