// Folders the system assigns: the program's own file, and where work files go by default.
#pragma once

#include <string>

namespace tsl {

/// The full path of the running program's file.
std::string ProgramFilePath();

/// The folder for the user's own data files of this program, without a closing separator:
/// Linux: $XDG_DATA_HOME/tessaline, else ~/.local/share/tessaline. Windows: the application data
/// folder's Tessaline subfolder. The folder may not exist yet.
std::string UserDataFolder();

/// The work folder when no "Work Path" is set, starting from `default_folder` (empty: the
/// program's own file). Windows: the text before the last `\` when the path lies on a fixed disk
/// (it does not begin with `\` and its drive is fixed), else the temporary folder. Linux has no
/// fixed disks and the program's folder is not the user's to write: $XDG_STATE_HOME/tessaline,
/// else ~/.local/state/tessaline, which may not exist yet.
std::string DefaultWorkFolder(const std::string& default_folder);

}  // namespace tsl
