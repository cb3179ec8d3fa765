#include <windows.h>
#include <winnetwk.h>

#include <memory>

#include "platform/drives.h"

namespace tsl {
namespace {

// Owns an open network enumeration.
class EnumHandle {
 public:
  EnumHandle() = default;
  ~EnumHandle() {
    if (handle_) WNetCloseEnum(handle_);
  }
  EnumHandle(const EnumHandle&) = delete;
  EnumHandle& operator=(const EnumHandle&) = delete;
  HANDLE* out() { return &handle_; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace

std::vector<std::string> LocalHardDriveRoots() {
  std::vector<std::string> roots;
  DWORD drives = GetLogicalDrives();
  for (int letter = 0; letter < 26; ++letter) {
    if (!(drives & (DWORD{1} << letter))) continue;
    std::string root = {static_cast<char>('A' + letter), ':', '\\'};
    if (GetDriveTypeA(root.c_str()) == DRIVE_FIXED) roots.push_back(root);
  }
  return roots;
}

std::vector<std::string> MountPoints() { return {}; }

bool ListServerShares(const std::string& server, std::vector<std::string>* shares) {
  shares->clear();
  std::string name = server;
  if (name.size() > 2 && name.back() == '\\') name.pop_back();
  NETRESOURCEA container = {};
  container.dwScope = RESOURCE_GLOBALNET;
  container.dwType = RESOURCETYPE_DISK;
  container.dwUsage = RESOURCEUSAGE_CONTAINER;
  container.lpRemoteName = name.data();
  EnumHandle handle;
  if (WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_DISK, 0, &container, handle.out()) !=
      NO_ERROR) {
    return true;  // an unknown or unreachable server has no shares to give
  }
  constexpr DWORD kBufferSize = 16 * 1024;
  // NETRESOURCEA holds pointers: the buffer must be aligned for them.
  auto buffer = std::make_unique<NETRESOURCEA[]>(kBufferSize / sizeof(NETRESOURCEA));
  for (;;) {
    DWORD count = static_cast<DWORD>(-1);
    DWORD size = kBufferSize;
    DWORD result = WNetEnumResourceA(handle.get(), &count, buffer.get(), &size);
    if (result != NO_ERROR) break;  // ERROR_NO_MORE_ITEMS at the end
    for (DWORD i = 0; i < count; ++i) {
      if (buffer[i].lpRemoteName) shares->push_back(buffer[i].lpRemoteName);
    }
  }
  return true;
}

}  // namespace tsl
