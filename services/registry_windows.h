// The windows of the registry job: the question asked before one registry item is replaced, the
// "Searching" progress window, and the merge window of a preview action. On Windows they are
// dialogs from the program's resources; on Linux the terminal asks. Scripted answers and the
// transcript work as for every other question (services/messages.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/merge_window.h"  // MergeRow, kMergeDeletionText

namespace tsl {

enum class RegistryReplaceAnswer { kReplaceThis, kReplaceRest, kSkipThis, kCancelRest };

/// What one confirmation is about.
enum class RegistryItem { kKeyName, kValueName, kValueData };

/// Asks whether one key name, value name or data item is replaced. `key_path` is the key being
/// walked (for a key name: the parent of the key to rename), `value_name` the value's name (not
/// used for a key name; empty is the default value), `old_text` and `new_text` the texts as
/// shown. Buttons "Replace &This", "Replace &Rest", "&Skip This", "&Cancel Rest" (the closing
/// answer).
///
/// The caption is "Replace - " + key path; the text is three lines: "Key name", "Value name" or
/// "Data of value <name>" (the default value "(Default)"), then "Old: " + old text and
/// "New: " + new text, each on one line (control characters in caret notation, at most 1000
/// bytes shown). The transcript line is therefore
///   Question: Replace - <key path>: Data of value <name>\nOld: <old>\nNew: <new> -> Skip This
RegistryReplaceAnswer AskRegistryReplace(RegistryItem item, const std::string& key_path,
                                         const std::string& value_name, const std::string& old_text,
                                         const std::string& new_text);

/// The "Searching" window (dialog 132): an animation, "Searching...", a status line and Cancel.
/// Where no window can be shown the calls do nothing and the flag is never set.
class SearchingWindow {
 public:
  virtual ~SearchingWindow() = default;  // closes like Close()
  /// Shows `text` (at most once every 300 ms: a newer text waits for a later call or pump) and
  /// pumps the window's messages.
  virtual void SetText(const std::string& text) = 0;
  /// Handles the window's pending messages; a Cancel sets the flag and takes the window away.
  virtual void PumpMessages() = 0;
  /// The normal end; never sets the flag. Later calls do nothing.
  virtual void Close() = 0;
};
/// Opens the window; Cancel sets `*cancel_flag` (which may be null: then Cancel is disabled).
std::unique_ptr<SearchingWindow> OpenSearchingWindow(bool* cancel_flag);
/// The same with a clock of the caller's (milliseconds of a monotonic clock), for tests.
std::unique_ptr<SearchingWindow> OpenSearchingWindow(bool* cancel_flag,
                                                     std::function<std::int64_t()> clock_ms);

/// The "Reg File to Registry Compare and Merge" window for the output file `reg_file`: lists
/// `rows`; the user deletes lines and then merges or cancels. True on "Merge Values", with
/// `kept` the indexes of the rows left, in order; false on Cancel (the closing answer).
///
/// "&Options" chooses which kinds of lines are listed (see CompareOptions); a line that is not
/// listed is only hidden: it stays in `kept` and is merged. The choices are read from and kept
/// in the program's settings, section "Settings" ("Left Display", "Right Display", "Same
/// Display", "Diff Display", "Case sensitive", 1 or 0), and `reg_file` as "Last REG File".
///
/// Scripted answers: any number of "Delete N" (N as listed at that moment, from 1), then
/// "Merge Values" or "Cancel". An answer that names no listed line or no button gets the closing
/// answer, Cancel, as every question does. One transcript line per answer:
///   Question: Reg File to Registry Compare and Merge: <n> items -> <answer>
/// with n the number of lines listed when the answer was given.
bool AskMerge(const std::string& reg_file, const std::vector<MergeRow>& rows,
              std::vector<std::size_t>* kept);

/// The options as the settings hold them (every kind listed and case-sensitive comparison when
/// nothing is set), and keeping them there.
CompareOptions ReadCompareOptions();
void WriteCompareOptions(const CompareOptions& options);

}  // namespace tsl
