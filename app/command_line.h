// The one argument of TslRun: "<synch script>|<shortcut script>|<registry script>|<file replace
// script>", and how it becomes four script paths.
#pragma once

#include <string>

#include "platform/paths.h"

namespace tsl {

struct ScriptPaths {
  std::string synchronization;
  std::string shortcut;
  std::string registry;
  std::string file_replace;

  bool any() const {
    return !synchronization.empty() || !shortcut.empty() || !registry.empty() ||
           !file_replace.empty();
  }
};

/// The first token of a raw command line: leading blanks skipped; a quoted token runs to the
/// next quote not preceded by a backslash (or to the end of the line); an unquoted one to the
/// next blank. The rest of the line is not used.
std::string FirstToken(const std::string& command_line);

/// Splits the argument at `|` into the four paths and resolves the last three against the
/// base folder: the folder of the synchronization path, or `current_folder` when that has none.
ScriptPaths SplitScriptPaths(const std::string& argument, const std::string& current_folder,
                             PathStyle style);

}  // namespace tsl
