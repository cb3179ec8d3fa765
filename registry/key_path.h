// Key paths as scripts and .REG files write them: a root name and a subkey path
// ("HKEY_CURRENT_USER\Software\X"), optionally after "My Registry\", or a remote key
// ("\\machine\HKEY_LOCAL_MACHINE\..."), with %%ENVVAR=NAME%% markers standing for environment
// variables.
#pragma once

#include <string>

#include "platform/registry.h"

namespace tsl {

class RegistryAccess;

struct ParsedKeyPath {
  reg::Key root;       // a predefined root or a remote connection; not valid when none
  std::string subkey;  // the path below the root, as written (may be empty)
};

/// Splits `path` into its root and subkey. Root names are recognised only in full and in capitals
/// at the start; anything else (and a remote machine that cannot be reached, as always on Linux)
/// gives no root and an empty subkey.
ParsedKeyPath ParseKeyPath(RegistryAccess& registry, const std::string& path);

/// Replaces every %%ENVVAR=NAME%% (the opening text found ignoring case) by the value of the
/// environment variable NAME (empty when unset). An opening without a closing "%%" is dropped
/// and the rest kept as it is.
void ExpandEnvironmentMarkers(std::string* text);

}  // namespace tsl
