// Registry helpers for tests on both platforms.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "tests/support/test_support.h"

namespace tsl::testing {

/// A registry of the test's own while it lives. On Linux the store is a fresh file in a
/// temporary folder; on Windows it is the real registry, where the test works below a scratch
/// key HKEY_CURRENT_USER\Software\TessalineTest-<unique> that is deleted with everything below
/// it at the end.
class ScopedRegistry {
 public:
  ScopedRegistry();
  ~ScopedRegistry();
  ScopedRegistry(const ScopedRegistry&) = delete;
  ScopedRegistry& operator=(const ScopedRegistry&) = delete;

  /// The scratch key's path below HKEY_CURRENT_USER ("Software\TessalineTest-...").
  const std::string& scratch_path() const { return scratch_path_; }
  /// The scratch key, open with full access.
  const reg::Key& scratch() const { return scratch_; }
  /// The temporary folder that holds the Linux store.
  const ScopedTempDir& folder() const { return folder_; }

 private:
  ScopedTempDir folder_;
  ScopedEnvironment store_;
  std::string scratch_path_;
  reg::Key scratch_;
};

/// Deletes a key with everything below it.
long DeleteKeyTree(const reg::Key& parent, const std::string& name);

/// Names of a key's subkeys and values, in enumeration order.
std::vector<std::string> SubkeyNames(const reg::Key& key);
std::vector<std::string> ValueNames(const reg::Key& key);

}  // namespace tsl::testing
