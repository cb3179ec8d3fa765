// Linux has no shell link object: links are read and written by the shortcut job's own codec.
#include "platform/system_shell_link.h"

namespace tsl {

SystemLinkStatus ReadSystemLink(const std::string&, SystemLinkFields*) {
  return SystemLinkStatus::kUnavailable;
}

SystemLinkStatus WriteSystemLink(const std::string&, const SystemLinkFields&) {
  return SystemLinkStatus::kUnavailable;
}

std::unique_ptr<SystemShellLink> CreateSystemShellLink() { return nullptr; }

int SystemIconCount(const std::string&) { return 0; }

}  // namespace tsl
