// The merge window of a preview registry action: the lines of its output file beside the data the
// registry holds now; the user deletes lines from the list and then merges the rest or cancels.
// On Windows it is the dialog "Reg File to Registry Compare and Merge" with its "Compare
// Options"; on Linux the terminal lists the lines by number. The list itself (which lines are
// listed, what a deletion removes) is kept here, the same for every way of asking; scripted
// answers and the settings are handled above this layer (services/registry_windows.h).
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace tsl {

/// What the Registry Data column shows for a line that deletes a value or a key.
inline constexpr const char* kMergeDeletionText = "(this key/value will be deleted)";

/// One line of the merge window.
struct MergeRow {
  std::string key_path;
  std::string value_name;
  std::string reg_data;       // the data the .REG file sets
  std::string registry_data;  // the value's data now, or kMergeDeletionText
  bool in_registry = true;    // the registry holds the value now
  bool deletes = false;       // the line deletes the value or key
};

/// How a line compares: set by the file only (the registry lacks the value), held by the
/// registry only (the file deletes it), or in both with the same or with different data.
enum class MergeRowKind { kOnlyInFile, kOnlyInRegistry, kSame, kDifferent };

/// The choices of "Compare Options": which kinds of lines are listed, and whether data that
/// differ only in letter case are the same.
struct CompareOptions {
  bool show_only_in_file = true;      // "Left Display"
  bool show_only_in_registry = true;  // "Right Display"
  bool show_same = true;              // "Same Display"
  bool show_different = true;         // "Diff Display"
  bool case_sensitive = true;         // "Case sensitive"

  bool operator==(const CompareOptions&) const = default;
};

/// The rows of the window, which of them are deleted and which are listed. A row that the
/// options hide is only not listed: it stays in the document and is merged like any other.
class MergeList {
 public:
  explicit MergeList(std::vector<MergeRow> rows, const CompareOptions& options = {});

  const CompareOptions& options() const { return options_; }
  void SetOptions(const CompareOptions& options);

  std::size_t size() const { return rows_.size(); }
  const MergeRow& row(std::size_t index) const { return rows_[index]; }
  MergeRowKind KindOf(std::size_t index) const;

  /// The indexes of the rows listed now, in order: neither deleted nor hidden.
  const std::vector<std::size_t>& listed() const { return listed_; }
  /// Rows neither deleted nor listed (hidden by the options).
  std::size_t hidden() const;
  /// Deletes the row listed as `number` (1-based); false when no row is listed so.
  bool Delete(std::size_t number);
  /// The indexes of the rows not deleted, hidden ones included, in order.
  std::vector<std::size_t> Kept() const;

 private:
  void Relist();

  std::vector<MergeRow> rows_;
  std::vector<bool> deleted_;
  CompareOptions options_;
  std::vector<std::size_t> listed_;
};

enum class MergeOutcome { kMerge, kCancel, kNotShown };

/// Told about every answer the user gives: the number of rows listed when it was given, and the
/// answer ("Delete N", "Merge Values" or "Cancel"). Deleting several lines at once is told as
/// one "Delete N" per line, the highest number first, so that the numbers hold when the answers
/// are replayed.
using MergeAnswerRecorder = std::function<void(std::size_t listed, const std::string& answer)>;

/// Shows the system's window for `list` (of the .REG file `reg_file`) and waits for the user.
/// Deletions and option changes are made in `list`. kNotShown when nothing could be shown (no
/// display, no terminal); the caller then applies the closing answer.
MergeOutcome ShowMergeWindow(const std::string& reg_file, MergeList* list,
                             const MergeAnswerRecorder& record);

/// The terminal's conversation: lists the rows by number on `out` and reads answers from `in`:
/// line numbers to delete (separated by spaces or commas), `m` to merge, `c` to cancel, `o` to
/// change the options. The end of the input cancels.
MergeOutcome ConverseMerge(const std::string& reg_file, MergeList* list, std::istream& in,
                           std::ostream& out, const MergeAnswerRecorder& record);

/// `text` on one line: bytes below 32 and 127 in caret notation (LF as ^J), at most `limit`
/// bytes of it followed by "..." when longer.
std::string OneLineText(const std::string& text, std::size_t limit);

}  // namespace tsl
