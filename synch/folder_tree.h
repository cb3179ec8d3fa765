// The operations on folder trees of a synchronization job: recreating one tree's folders in
// another, removing empty folders, and removing the folders that a prune left without a source.
//
// The walks are the folder walker's, as the scan's are: folders whose names begin with `.` and
// links to folders are never entered (nor removed), so that what the job never compared is never
// touched. Each folder is visited after its subfolders, in listing order.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/file_system.h"

namespace tsl {

/// What stands at a folder's place below a root.
enum class FolderPlace {
  kFolder,   // a folder
  kMissing,  // nothing: a folder may be made there
  kFile,     // a file of the folder's name
  kLink,     // a link to a folder: nothing is ever made or written through it
  kBelow,    // below a file, a link, or a place that could not be examined
  kInner,    // the inner one of two nested folders, or below it: never written from outside
};

/// The places of folders below one root, each looked up once (a tree's folders share their
/// parents).
class FolderPlaces {
 public:
  /// `inner`: the inner one of two nested folders, when the root holds it.
  explicit FolderPlaces(std::string root, std::optional<FileIdentity> inner = {})
      : root_(std::move(root)), inner_(inner) {}
  /// The place of `relative` (a folder path below the root, with its closing separator).
  FolderPlace Of(const std::string& relative);

 private:
  FolderPlace LookUp(const std::string& relative) const;
  std::string root_;
  std::optional<FileIdentity> inner_;
  std::unordered_map<std::string, FolderPlace> places_;
};

/// Creates below `to` every folder that is below `from` and missing in `to`, with any missing
/// parents, and gives each folder it created the attributes of its counterpart below `from`.
/// Both folders end with a separator. A folder is never made through a link to a folder, nor
/// where a file of its name stands: the log lines for the latter are returned.
///
/// Each walk passes over the folder `skip` (by identity) when given: the inner folder of two
/// nested ones, which the walk of the outer one must never enter.
std::vector<std::string> RecreateFolderTree(const std::string& from, const std::string& to,
                                            const std::optional<FileIdentity>& skip = {});

/// Removes every empty folder below `root` (one that holds no file and only folders that were
/// empty), clearing its read-only attribute first; `root` itself too when the whole tree was
/// empty. A folder that cannot be listed counts as holding something.
void RemoveEmptyFolders(const std::string& root, const std::optional<FileIdentity>& skip = {});

/// Removes every empty folder below `target` whose counterpart below `source` does not exist,
/// clearing its read-only attribute first. A counterpart whose existence cannot be told counts
/// as existing.
void RemoveOrphanFolders(const std::string& target, const std::string& source,
                         const std::optional<FileIdentity>& skip = {});

}  // namespace tsl
