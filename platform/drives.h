// The local hard drives and a server's shared folders, for folder texts that stand for several
// folders. Windows: the fixed drives and the network enumeration. Linux: the mount points of file
// systems on block devices; a server's shares cannot be listed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tsl {

/// The roots of the local hard drives, each with its closing separator, each once: Windows: the
/// fixed drives ("C:\") in letter order; Linux: the mount points of file systems whose source is
/// a block device, in path order.
std::vector<std::string> LocalHardDriveRoots();

/// Every mounted file system's root with its closing separator (Linux), so that a walk of one
/// drive can stay off the others mounted inside it; empty on Windows, whose drives do not nest.
std::vector<std::string> MountPoints();

/// The shared disk folders of `server` (`\\server`), as the network enumeration gives them one by
/// one. False when this system cannot list a server's shares (Linux); `*shares` is then empty.
bool ListServerShares(const std::string& server, std::vector<std::string>* shares);

/// One line of a mount table (/proc/self/mounts): the source and the mount point, with the
/// table's octal escapes (`\040` for a space) decoded.
struct MountEntry {
  std::string source;
  std::string mount_point;
};
std::vector<MountEntry> ParseMountTable(std::string_view text);

}  // namespace tsl
