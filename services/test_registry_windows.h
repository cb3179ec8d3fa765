// Test support for the registry job's windows: a registry of the test's own (on Windows the real
// one, whose merge window settings are put back afterwards), and the transcript of the questions
// asked on the terminal or in a window (answers not scripted).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "services/messages.h"
#include "services/registry_windows.h"
#include "services/settings.h"
#include "tests/support/registry_support.h"

namespace tsl::testing {

/// The merge window's settings values as they were, put back (or deleted) at the end.
class ScopedMergeSettings {
 public:
  ScopedMergeSettings() {
    reg::Key key;
    existed_ = reg::OpenKey(reg::Key(reg::Root::kCurrentUser), Path(), reg::access::kQueryValue,
                            &key) == reg::kOk;
    for (const char* name : kNames) {
      Saved saved{name, std::nullopt};
      std::uint32_t type = 0;
      std::string data;
      if (existed_ && reg::QueryValue(key, name, &type, &data) == reg::kOk) {
        saved.value.emplace(type, data);
      }
      saved_.push_back(saved);
    }
  }
  ~ScopedMergeSettings() {
    reg::Key key;
    if (reg::CreateKey(reg::Key(reg::Root::kCurrentUser), Path(), "", reg::access::kAll, &key,
                       nullptr) != reg::kOk) {
      return;
    }
    for (const Saved& saved : saved_) {
      if (saved.value) {
        reg::SetValue(key, saved.name, saved.value->first, saved.value->second);
      } else {
        reg::DeleteValue(key, saved.name);
      }
    }
    reg::KeyInfo info;
    if (!existed_ && reg::QueryKeyInfo(key, &info) == reg::kOk && info.subkeys == 0 &&
        info.values == 0) {
      key.Close();
      reg::DeleteKey(reg::Key(reg::Root::kCurrentUser), Path());
    }
  }
  ScopedMergeSettings(const ScopedMergeSettings&) = delete;
  ScopedMergeSettings& operator=(const ScopedMergeSettings&) = delete;

 private:
  static constexpr const char* kNames[] = {"Last REG File", "Left Display", "Right Display",
                                           "Same Display",  "Diff Display", "Case sensitive"};
  struct Saved {
    std::string name;
    std::optional<std::pair<std::uint32_t, std::string>> value;
  };
  static std::string Path() { return std::string(kSettingsKeyPath) + "\\Settings"; }

  ScopedRegistry registry_;  // on Linux a store of the test's own
  bool existed_ = false;
  std::vector<Saved> saved_;
};

/// A transcript of the questions, answered by the user (not scripted), while it lives.
class UnscriptedTranscript {
 public:
  explicit UnscriptedTranscript(const std::string& path) : path_(path) {
    transcript_.emplace("TESSALINE_TRANSCRIPT", path);
    answers_.emplace("TESSALINE_ANSWERS", std::nullopt);
    ReloadMessageSettings();
  }
  ~UnscriptedTranscript() {
    answers_.reset();
    transcript_.reset();
    ReloadMessageSettings();
  }
  std::vector<std::string> Lines() const { return SplitLines(ReadFile(path_)); }

 private:
  std::string path_;
  std::optional<ScopedEnvironment> transcript_;
  std::optional<ScopedEnvironment> answers_;
};

/// Merge rows of every kind: only in the file, only in the registry (a deletion), the same data
/// but for letter case, different data.
inline std::vector<MergeRow> RowsOfEveryKind() {
  return {
      {"HKEY_CURRENT_USER\\Software\\T", "Added", "\"new\"", "", false, false},
      {"HKEY_CURRENT_USER\\Software\\T", "Gone", "", kMergeDeletionText, true, true},
      {"HKEY_CURRENT_USER\\Software\\T", "Path", "\"C:\\\\Data\"", "\"c:\\\\data\"", true, false},
      {"HKEY_CURRENT_USER\\Software\\T\\Sub", "", "dword:00000002", "dword:00000001", true, false},
  };
}

}  // namespace tsl::testing
