// The registry engine: runs the actions of a registry script one at a time. An action walks its
// start key and (unless told otherwise) every key below it, matches the search text against key
// names, value names and value data of the chosen types, and either records what a replacement
// would change in its output file (find mode) or replaces, recording in its undo file whatever
// is needed to put the registry back as it was (replace mode).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/registry.h"
#include "registry/registry_script.h"
#include "services/registry_windows.h"

namespace tsl {

class RegistryAccess;
class RegWriter;
class SearchPattern;

/// What the engine asks its user and shows while an action runs. The real one opens the
/// program's windows (SystemRegistryEngineUi); tests script the answers.
class RegistryEngineUi {
 public:
  virtual ~RegistryEngineUi() = default;
  virtual RegistryReplaceAnswer AskReplace(RegistryItem item, const std::string& key_path,
                                           const std::string& value_name,
                                           const std::string& old_text,
                                           const std::string& new_text) = 0;
  /// The "Searching" window; Cancel sets `*cancel_flag`. May return null (no window).
  virtual std::unique_ptr<SearchingWindow> OpenSearchingWindow(bool* cancel_flag) = 0;
  /// The merge window of a preview action: true to merge the rows left (`kept`).
  virtual bool AskMerge(const std::string& reg_file, const std::vector<MergeRow>& rows,
                        std::vector<std::size_t>* kept) = 0;
  /// A message box with OK.
  virtual void ShowMessage(const std::string& text) = 0;
};

/// The program's own windows and message boxes.
RegistryEngineUi& SystemRegistryEngineUi();

/// The eight counters of one action.
struct RegistryCounters {
  std::uint32_t keys_searched = 0;
  std::uint32_t values_searched = 0;
  std::uint32_t keys_found = 0;
  std::uint32_t values_found = 0;
  std::uint32_t data_found = 0;
  std::uint32_t keys_replaced = 0;
  std::uint32_t values_replaced = 0;
  std::uint32_t data_replaced = 0;
};

/// Engine modes: find only, or find and replace.
inline constexpr int kRegistryFindMode = 1;
inline constexpr int kRegistryReplaceMode = 3;

class RegistryEngine {
 public:
  RegistryEngine(RegistryAccess& registry, RegistryEngineUi& ui);
  ~RegistryEngine();
  RegistryEngine(const RegistryEngine&) = delete;
  RegistryEngine& operator=(const RegistryEngine&) = delete;

  void SetActions(std::vector<RegistryAction> actions);
  std::size_t action_count() const { return actions_.size(); }
  /// Makes action `index` the one that PrepareAction and RunAction work on.
  void SelectAction(std::size_t index);
  const RegistryAction& action(std::size_t index) const { return actions_[index]; }

  /// Resolves the start key of the selected action from `key_text`: the root, the root prefix
  /// written before every key path in the action's files, and the start key, opened for
  /// reading (and writing when `replace`). An empty text walks the four local roots; a text
  /// that names no root, or a key that cannot be opened, leaves the action to be skipped with a
  /// message.
  void PrepareAction(const std::string& key_text, bool replace);
  /// Runs the selected action in `mode` (kRegistryFindMode or kRegistryReplaceMode).
  void RunAction(int mode);
  /// Closes the start key and a remote root, and forgets both.
  void CloseKeys();
  /// Every action in turn, as the driver runs them: an action with an empty search text only
  /// finds.
  void RunAll();

  const RegistryCounters& counters() const { return counters_; }
  /// The statistics of the action that ran last, in the form of its mode.
  std::string StatisticsLine() const;

 private:
  struct Frame;
  enum class ItemKind { kKeyName, kValueName, kData };

  void Walk(const reg::Key& start, const std::string& path);
  bool EnterKey(Frame* frame);
  bool PrepareChild(Frame& parent, const std::string& name, Frame* child);
  void ProcessValues(const Frame& frame);
  void ProcessValue(const reg::Key& key, const std::string& file_path, const std::string& name,
                    std::uint32_t type, const std::string& data,
                    std::unordered_set<std::string>* overwritten);
  bool RenameValue(const reg::Key& key, const std::string& file_key, const std::string& old_name,
                   const std::string& new_name, std::uint32_t type, const std::string& data);
  long RenameKey(const reg::Key& parent, const std::string& file_parent,
                 const std::string& old_name, const std::string& new_name);
  int MatchAndBuild(const std::string& input, ItemKind kind, std::uint32_t type,
                    const std::string& value_name, std::string* built);
  bool Confirm(ItemKind kind, std::uint32_t type, const std::string& value_name,
               const std::string& old_text, const std::string& new_text);
  void WriteMarker(const std::string& key_path, const std::string& target);
  void WriteUndoValue(const std::string& key_path, const std::string& name, std::uint32_t type,
                      const std::string* data);
  void Pump();
  void ShowStatistics();
  void MergePreview(const RegistryAction& action);
  bool replacing() const { return (mode_ & 2) != 0; }

  RegistryAccess& registry_;
  RegistryEngineUi& ui_;
  std::vector<RegistryAction> actions_;
  std::size_t current_ = 0;

  // The start of the current action.
  enum class Start { kRoots, kKey, kSkipped };
  Start start_ = Start::kRoots;
  reg::Key root_;
  reg::Key start_key_;
  std::string root_prefix_;
  std::string subkey_path_;
  std::string skip_message_;

  int mode_ = kRegistryFindMode;
  RegistryCounters counters_;
  bool cancel_ = false;
  bool replace_rest_ = false;
  std::unique_ptr<SearchingWindow> window_;
  std::unique_ptr<RegWriter> writer_;
  std::unique_ptr<SearchPattern> pattern_;
  std::string search_;
  std::string replace_;
  bool number_search_ = false;
  std::string number_search_wide_;   // the 8 bytes of the search number, for 64-bit values
  std::string number_replace_wide_;  // the 8 bytes of the replace number
  std::string current_path_;
  // Names of the values of the current key already recorded in the undo file: the first entry
  // of a value holds its state before the action, and later ones would overwrite it on import.
  std::unordered_set<std::string> recorded_;
  std::uint32_t pump_countdown_ = 0;
};

}  // namespace tsl
