#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/drives.h"

namespace tsl {
namespace {

std::vector<MountEntry> ReadMountTable() {
  // /proc files report no size: read them as a stream.
  std::ifstream in("/proc/self/mounts", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return ParseMountTable(text.str());
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

void SortUnique(std::vector<std::string>* paths) {
  std::sort(paths->begin(), paths->end());
  paths->erase(std::unique(paths->begin(), paths->end()), paths->end());
}

}  // namespace

std::vector<std::string> LocalHardDriveRoots() {
  std::vector<std::string> roots;
  for (const MountEntry& mount : ReadMountTable()) {
    if (mount.source.rfind("/dev/", 0) != 0 || mount.mount_point.empty()) continue;
    struct stat device, place;
    // A file bound over another (a container's /etc/hosts) is no drive.
    if (::stat(mount.source.c_str(), &device) != 0 || !S_ISBLK(device.st_mode)) continue;
    if (::stat(mount.mount_point.c_str(), &place) != 0 || !S_ISDIR(place.st_mode)) continue;
    roots.push_back(WithSlash(mount.mount_point));
  }
  SortUnique(&roots);
  return roots;
}

std::vector<std::string> MountPoints() {
  std::vector<std::string> points;
  for (const MountEntry& mount : ReadMountTable()) {
    if (!mount.mount_point.empty()) points.push_back(WithSlash(mount.mount_point));
  }
  SortUnique(&points);
  return points;
}

bool ListServerShares(const std::string&, std::vector<std::string>* shares) {
  shares->clear();
  return false;
}

}  // namespace tsl
