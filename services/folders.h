// Helpers about folders that several jobs share: creating the folders a file needs, and deleting
// a folder tree.
#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/paths.h"

namespace tsl {

/// When `file_path` does not exist, makes sure its parent folder exists, creating every missing
/// folder from the left (a drive or a `\\server\share\` prefix is never created). False when a
/// folder cannot be created.
bool EnsureParentFolders(const std::string& file_path, PathStyle style = NativePathStyle());

/// Deletes every file of the folder, every subfolder whose name does not begin with `.` with
/// everything in it, and then the folder itself: the error of removing the folder itself (ok()
/// when it is gone; failed file deletions are not reported on their own). A link to a folder is
/// removed as a link; what it points to is never touched.
SysError DeleteFolderTree(const std::string& folder);

}  // namespace tsl
