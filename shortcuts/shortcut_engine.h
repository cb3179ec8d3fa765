// The shortcut engine: one action of a shortcut script run over the shortcut files of a folder,
// replacing text in their fields, checking what they point to, or switching the link tracking
// of network links; result lines for every shortcut with a finding, and a summary line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "services/job_services.h"
#include "shortcuts/link_access.h"
#include "shortcuts/shortcut_script.h"

namespace tsl {

/// What the engine needs beyond the action; tests put in their own.
struct ShortcutEnvironment {
  LinkAccess* links = nullptr;  // null: MakeLinkAccess()
  /// Maps the Windows paths of links on a system with other paths (`Drive Map`); unused on
  /// Windows.
  std::string drive_map;
  bool* cancel = nullptr;  // the job's user-cancel flag (null: one of the run's own)
};

/// What one action found.
struct ShortcutRunResult {
  std::int64_t files = 0;
  std::int64_t folders = 0;
  std::int64_t reported = 0;
  bool cancelled = false;  // Cancel in the confirmation window or the progress window
};

/// The result of one shortcut: its text (pieces separated by LF), and whether the shortcut was
/// looked at (loaded, and not passed over by the ignore list).
struct ShortcutFinding {
  std::string text;
  bool examined = false;
};

class ShortcutEngine {
 public:
  ShortcutEngine(const ShortcutAction& action, LinkAccess& links, std::string drive_map);

  /// Processes one shortcut file by the job mode.
  ShortcutFinding Process(const std::string& path);
  bool cancelled() const { return cancelled_; }

  /// Replaces every occurrence of `search` (upper-case) in `field`, letter case ignored, by
  /// `replace` as written; a field equal to `search` without its closing `\` gets `replace`
  /// without its closing `\`. Returns the number of occurrences; an empty search finds none.
  static int ReplaceInField(std::string* field, const std::string& search,
                            const std::string& replace);

  /// Existence tests of a path held in a link: `%NAME%` expanded, a path shorter than 4
  /// characters exists, a closing `\` dropped; Windows paths mapped on other systems.
  bool FileOrFolderExists(const std::string& path) const;
  bool FileExists(const std::string& path) const;

 private:
  enum class Field { kFolder, kArguments, kIcon, kTarget };
  ShortcutFinding Replace(const std::string& path);
  ShortcutFinding Check();
  ShortcutFinding Track(const std::string& path);
  bool Ignored(const std::string& target) const;
  bool Confirm(const std::string& path, const std::string& changed, const std::string& found,
               const std::string& new_value, const std::string& old_value);
  bool Exists(const std::string& path, bool folder_too) const;
  std::string LocalPath(const std::string& path) const;
  bool IconLocation(std::string* file, int* index);

  const ShortcutAction& action_;
  ShortcutMode mode_;
  LinkAccess& links_;
  std::string drive_map_;
  std::string search_;  // upper-case
  std::vector<std::string> ignore_;
  // The answers of the confirmation window.
  bool accept_all_ = false;
  enum class FolderAnswer { kNone, kAccept, kSkip } folder_answer_ = FolderAnswer::kNone;
  std::string answer_folder_;
  enum class LinkAnswer { kNone, kAccept, kSkip } link_answer_ = LinkAnswer::kNone;
  bool cancelled_ = false;
};

/// Runs one action: walks its folder, processes every shortcut, writes the result lines and the
/// summary to the action's output.
ShortcutRunResult RunShortcutAction(const ShortcutAction& action, JobServices& services,
                                    const ShortcutEnvironment& environment = {});

}  // namespace tsl
