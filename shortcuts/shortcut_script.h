// The shortcut script: a Default section and numbered Action sections, each action one run of
// the shortcut engine over one folder.
#pragma once

#include <string>
#include <vector>

#include "script/script_file.h"

namespace tsl {

struct ShortcutAction {
  std::string search;                // Search_string
  std::string replace;               // Replace_string
  std::string mask = "*.lnk;*.url";  // Mask
  std::string folder;                // Path
  bool subfolders = false;           // Search_subdir
  bool show_all = false;             // Show All
  std::string ignore_list;           // Ignore Drives: `|`-separated
  bool prompt = true;                // Prompt on replace
  std::string output;                // Output_File
  bool append = false;               // Append to output file (read, not used)
  bool show_progress = false;        // Show Progress
  bool unc_left = true;              // UNC left (read, not used)
  bool check_before_replace = true;  // Check before replace
  bool make_tracking = false;        // Make tracking
  bool make_non_tracking = false;    // Make Non Tracking
};

enum class ShortcutMode {
  kTracking,     // network links get link tracking
  kNonTracking,  // network links lose link tracking
  kReplace,
  kCheck,
};

/// The mode an action runs in. Both tracking switches on: tracking (the safer of the two, as it
/// keeps the link's own means of finding a moved target).
ShortcutMode ShortcutJobMode(const ShortcutAction& action);

/// The actions of a loaded script in running order: the built-in defaults, overlaid by the
/// `Default` section, then by each action's section. No action sections: an empty list.
std::vector<ShortcutAction> ReadShortcutScript(const ScriptFile& script);

/// Loads and reads a script file; false when it cannot be read (`*error` then says why, or is
/// empty for an empty file).
bool ReadShortcutScript(const std::string& path, std::vector<ShortcutAction>* actions,
                        std::string* error);

}  // namespace tsl
