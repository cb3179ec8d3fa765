// The parts of the registry service that do not depend on the platform.
#include "platform/registry.h"

namespace tsl::reg {

const char* RootName(Root root) {
  switch (root) {
    case Root::kClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case Root::kCurrentUser:
      return "HKEY_CURRENT_USER";
    case Root::kLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case Root::kUsers:
      return "HKEY_USERS";
    case Root::kCurrentConfig:
      return "HKEY_CURRENT_CONFIG";
    case Root::kDynData:
      return "HKEY_DYN_DATA";
  }
  return "";
}

}  // namespace tsl::reg
