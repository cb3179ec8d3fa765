#include "synch/folder_tree.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "services/folders.h"

namespace tsl {
namespace {

constexpr std::uint32_t kSettable =
    attr::kReadOnly | attr::kHidden | attr::kSystem | attr::kArchive;

struct VisitedFolder {
  std::string relative;  // below the walk's root, with a closing separator
  std::uint32_t attributes = 0;
  bool empty = false;  // listed, and nothing in it stayed
};

/// Called for each folder below the root, deepest first; true when it removed the folder.
using FolderVisitor = std::function<bool(const VisitedFolder&)>;

bool Enters(const DirEntry& entry) {
  return entry.is_folder() && !entry.name.empty() && entry.name[0] != '.' &&
         !(entry.attributes & attr::kReparsePoint);
}

struct Frame {
  VisitedFolder folder;
  std::vector<DirEntry> entries;
  std::size_t next = 0;
  bool holds = false;  // something in it stays
};

Frame OpenFrame(const std::string& root, std::string relative, std::uint32_t attributes) {
  Frame frame;
  frame.folder.relative = std::move(relative);
  frame.folder.attributes = attributes;
  bool others = false;
  SysError e = Files().ListSubfolders(root + frame.folder.relative, &frame.entries, &others);
  frame.holds = e.failed() || others;
  return frame;
}

// The inner folder of two nested ones is never walked from the outer one. Only then is a
// folder's identity looked up.
bool IsSkipped(const std::string& folder, const std::optional<FileIdentity>& skip) {
  return skip && HasIdentity(folder, *skip);
}

// Walks the folders below `root` (with its separator), each after its subfolders. Returns true
// when the root held nothing that stayed.
bool WalkDeepestFirst(const std::string& root, const FolderVisitor& visit,
                      const std::optional<FileIdentity>& skip) {
  const char separator = NativeSeparator();
  std::vector<Frame> stack;
  stack.push_back(OpenFrame(root, "", attr::kDirectory));
  for (;;) {
    Frame& top = stack.back();
    if (top.next < top.entries.size()) {
      const DirEntry& entry = top.entries[top.next++];
      std::string relative = top.folder.relative + entry.name + separator;
      if (!Enters(entry) || IsSkipped(root + relative, skip)) {
        top.holds = true;  // a folder the walk leaves alone
        continue;
      }
      std::uint32_t attributes = entry.attributes;
      stack.push_back(OpenFrame(root, std::move(relative), attributes));
      continue;
    }
    if (stack.size() == 1) return !top.holds;
    top.folder.empty = !top.holds;
    bool removed = visit(top.folder);
    stack.pop_back();
    if (!removed) stack.back().holds = true;
  }
}

std::string WithoutSeparator(const std::string& folder) {
  std::string path = folder;
  if (path.size() > 1 && EndsWithSeparator(path, NativePathStyle())) path.pop_back();
  return path;
}

// Clears the read-only attribute and removes the (empty) folder.
bool RemoveFolder(const std::string& folder, std::uint32_t attributes) {
  std::string path = WithoutSeparator(folder);
  if (attributes & attr::kReadOnly) Files().SetAttributes(path, attr::kNormal);
  return Files().RemoveFolder(path).ok();
}

constexpr const char* kFolderBlockedByFile =
    "Folder was not created, a file of that name is in the way: ";

}  // namespace

FolderPlace FolderPlaces::Of(const std::string& relative) {
  // The folders above that are not known yet, nearest first; then each is looked up from the
  // topmost down, so that what lies below a file or a link is never looked at.
  std::vector<std::string> unknown;
  FolderPlace above = FolderPlace::kFolder;
  for (std::string folder = relative; !folder.empty();
       folder = FolderPart(WithoutSeparator(folder), NativePathStyle())) {
    auto known = places_.find(folder);
    if (known != places_.end()) {
      above = known->second;
      break;
    }
    unknown.push_back(folder);
  }
  for (auto folder = unknown.rbegin(); folder != unknown.rend(); ++folder) {
    if (above == FolderPlace::kFolder) {
      above = LookUp(*folder);
    } else if (above != FolderPlace::kMissing && above != FolderPlace::kInner) {
      above = FolderPlace::kBelow;
    }
    places_.emplace(*folder, above);
  }
  return above;
}

FolderPlace FolderPlaces::LookUp(const std::string& relative) const {
  DirEntry entry;
  SysError e = Files().GetEntry(WithoutSeparator(root_ + relative), &entry);
  if (e.kind == ErrorKind::kNotFound || e.kind == ErrorKind::kPathNotFound) {
    return FolderPlace::kMissing;
  }
  if (e.failed()) return FolderPlace::kBelow;
  if (!entry.is_folder()) return FolderPlace::kFile;
  if (entry.link || (entry.attributes & attr::kReparsePoint)) return FolderPlace::kLink;
  if (IsSkipped(root_ + relative, inner_)) return FolderPlace::kInner;
  return FolderPlace::kFolder;
}

std::vector<std::string> RecreateFolderTree(const std::string& from, const std::string& to,
                                            const std::optional<FileIdentity>& skip) {
  std::vector<VisitedFolder> folders;
  WalkDeepestFirst(
      from,
      [&](const VisitedFolder& folder) {
        folders.push_back(folder);
        return false;
      },
      skip);
  // Which folders are missing is decided before any is made: a folder made as the parent of a
  // deeper one gets its own attributes too. A folder's state is looked up once; its parents are
  // all in the list, so the walk up stops at the first one known.
  FolderPlaces places(to, skip);
  std::vector<std::string> lines;
  std::vector<const VisitedFolder*> missing;
  for (const VisitedFolder& folder : folders) {
    FolderPlace place = places.Of(folder.relative);
    if (place == FolderPlace::kMissing) missing.push_back(&folder);
    if (place == FolderPlace::kFile) lines.push_back(kFolderBlockedByFile + to + folder.relative);
  }
  std::sort(lines.begin(), lines.end());  // listing order is no order for a log
  for (const VisitedFolder* folder : missing) EnsureParentFolders(to + folder->relative + ".");
  for (const VisitedFolder* folder : missing) {
    std::uint32_t attributes = folder->attributes & kSettable;
    if (attributes != 0) Files().SetAttributes(WithoutSeparator(to + folder->relative), attributes);
  }
  return lines;
}

void RemoveEmptyFolders(const std::string& root, const std::optional<FileIdentity>& skip) {
  bool all_empty = WalkDeepestFirst(
      root,
      [&](const VisitedFolder& folder) {
        return folder.empty && RemoveFolder(root + folder.relative, folder.attributes);
      },
      skip);
  if (!all_empty) return;
  std::uint32_t attributes = 0;
  Files().GetAttributes(WithoutSeparator(root), &attributes);
  RemoveFolder(root, attributes);
}

void RemoveOrphanFolders(const std::string& target, const std::string& source,
                         const std::optional<FileIdentity>& skip) {
  WalkDeepestFirst(
      target,
      [&](const VisitedFolder& folder) {
        if (!folder.empty) return false;
        std::uint32_t attributes = 0;
        SysError e = Files().GetAttributes(WithoutSeparator(source + folder.relative), &attributes);
        bool orphan = e.kind == ErrorKind::kNotFound || e.kind == ErrorKind::kPathNotFound;
        return orphan && RemoveFolder(target + folder.relative, folder.attributes);
      },
      skip);
}

}  // namespace tsl
