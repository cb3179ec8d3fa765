// Test support for the registry job's windows: a registry of the test's own (on Windows the real
// one, whose merge window settings are put back afterwards) and merge rows of every kind.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "services/registry_windows.h"
#include "services/settings.h"
#include "tests/support/registry_support.h"

namespace tsl::testing {

/// The merge window's settings values as they were, put back (or deleted) at the end.
class ScopedMergeSettings {
 public:
  ScopedMergeSettings() {
    reg::Key key;
    existed_ = reg::OpenKey(Root(), Path(), reg::access::kQueryValue, &key) == reg::kOk;
    for (const char* name : {"Last REG File", "Left Display", "Right Display", "Same Display",
                             "Diff Display", "Case sensitive"}) {
      std::pair<std::uint32_t, std::string> value;
      bool found = existed_ && reg::QueryValue(key, name, &value.first, &value.second) == reg::kOk;
      saved_.emplace_back(name, found ? std::optional(value) : std::nullopt);
    }
  }
  ~ScopedMergeSettings() {
    reg::Key key;
    if (reg::OpenKey(Root(), Path(), reg::access::kAll, &key) != reg::kOk) return;
    for (const auto& [name, value] : saved_) {
      if (value) reg::SetValue(key, name, value->first, value->second);
      if (!value) reg::DeleteValue(key, name);
    }
    reg::KeyInfo info;
    if (!existed_ && reg::QueryKeyInfo(key, &info) == reg::kOk && info.subkeys + info.values == 0) {
      key.Close();
      reg::DeleteKey(Root(), Path());
    }
  }
  ScopedMergeSettings(const ScopedMergeSettings&) = delete;
  ScopedMergeSettings& operator=(const ScopedMergeSettings&) = delete;

 private:
  static reg::Key Root() { return reg::Key(reg::Root::kCurrentUser); }
  static std::string Path() { return std::string(kSettingsKeyPath) + "\\Settings"; }

  ScopedRegistry registry_;  // on Linux a store of the test's own
  bool existed_ = false;
  std::vector<std::pair<std::string, std::optional<std::pair<std::uint32_t, std::string>>>> saved_;
};

/// Merge rows: only in the file, only in the registry (a deletion), the same data but for letter
/// case, different data.
inline std::vector<MergeRow> RowsOfEveryKind() {
  return {
      {"HKEY_CURRENT_USER\\Software\\T", "Added", "\"new\"", "", false, false},
      {"HKEY_CURRENT_USER\\Software\\T", "Gone", "", kMergeDeletionText, true, true},
      {"HKEY_CURRENT_USER\\Software\\T", "Path", "\"C:\\\\Data\"", "\"c:\\\\data\"", true, false},
      {"HKEY_CURRENT_USER\\Software\\T\\Sub", "", "dword:00000002", "dword:00000001", true, false},
  };
}

}  // namespace tsl::testing
