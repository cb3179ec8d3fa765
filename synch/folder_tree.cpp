#include "synch/folder_tree.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "services/folder_walker.h"
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

// Walks the folders below `root` (with its separator), each after its subfolders. Returns true
// when the root held nothing that stayed. What the walker leaves alone (a folder whose name
// begins with `.`, a link to a folder, the folder to skip) stays, and so does a folder that
// cannot be listed.
bool WalkDeepestFirst(const std::string& root, const FolderVisitor& visit,
                      const std::optional<FileIdentity>& skip) {
  WalkOptions options;
  options.folders_only = true;
  options.skip_folder = skip;
  FolderWalker walker(root, std::move(options));
  std::vector<bool> holds;  // for each folder being walked: something in it stays
  while (walker.Next()) {
    switch (walker.step()) {
      case WalkStep::kFolder:
        holds.push_back(walker.error().failed() || walker.holds_others());
        continue;
      case WalkStep::kFolderDone: {
        if (holds.size() == 1) return !holds.back();
        VisitedFolder folder{std::string(walker.relative()), walker.entry()->attributes,
                             !holds.back()};
        bool removed = visit(folder);
        holds.pop_back();
        if (!removed) holds.back() = true;
        continue;
      }
      default:  // a folder the walk leaves alone
        holds.back() = true;
        continue;
    }
  }
  return false;
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
  if (IsLinkToFolder(entry)) return FolderPlace::kLink;
  if (inner_ && HasIdentity(root_ + relative, *inner_)) return FolderPlace::kInner;
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
