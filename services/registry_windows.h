// The windows of the registry job: the question asked before one registry item is replaced, the
// "Searching" progress window, and the merge window of a preview action. On Windows they are
// dialogs from the program's resources; on Linux the terminal asks. Scripted answers and the
// transcript work as for every other question (services/messages.h).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace tsl {

enum class RegistryReplaceAnswer { kReplaceThis, kReplaceRest, kSkipThis, kCancelRest };

/// Asks whether one key name, value name or data item is replaced: shows the key path, the value
/// name (empty for a key name), the old text and the new text. Buttons "Replace &This",
/// "Replace &Rest", "&Skip This", "&Cancel Rest" (the closing answer).
RegistryReplaceAnswer AskRegistryReplace(const std::string& key_path,
                                         const std::string& value_name,
                                         const std::string& old_text,
                                         const std::string& new_text);

/// The "Searching" window (dialog 132): an animation, "Searching...", a status line and Cancel.
class SearchingWindow {
 public:
  virtual ~SearchingWindow() = default;
  /// Shows `text` (at most once every 300 ms) and pumps the window's messages.
  virtual void SetText(const std::string& text) = 0;
  virtual void PumpMessages() = 0;
  virtual void Close() = 0;
};
/// Opens the window; Cancel sets `*cancel_flag`.
std::unique_ptr<SearchingWindow> OpenSearchingWindow(bool* cancel_flag);

/// One line of the merge window.
struct MergeRow {
  std::string key_path;
  std::string value_name;
  std::string reg_data;       // the data the .REG file sets
  std::string registry_data;  // the value's data now, or "(this key/value will be deleted)"
};

/// The "Reg File to Registry Compare and Merge" window: lists `rows`; the user deletes lines and
/// then merges or cancels. True on "Merge Values", with `kept` the indexes of the rows left, in
/// order; false on Cancel (the closing answer).
bool AskMerge(const std::vector<MergeRow>& rows, std::vector<std::size_t>* kept);

}  // namespace tsl
