// Backups and the undo script of file replace runs: where a file's backup copy goes below the
// backup folder, the work folder that holds the undo script, and the script itself, one copy
// command per replaced file that puts its backup back.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/paths.h"

namespace tsl {

/// Where the backups of one run's files go: as BackupPathFor says, with the pairs' folder texts
/// expanded once, when the run starts.
class BackupPaths {
 public:
  BackupPaths(const std::string& backup_root, const std::vector<std::string>& pairs);
  std::string For(std::size_t pair_index, const std::string& file_path) const;

 private:
  std::string root_;  // with its closing separator
  bool several_pairs_;
  std::vector<std::string> folders_;  // each pair's folder as walked; empty for a folder list
  std::vector<std::optional<std::vector<std::string>>> lists_;  // each pair's folder list
};

/// Where a file's backup goes. `backup_root` is the script's Backup Path (a native separator is
/// added when it lacks one). `pairs` is the script's flat list: folder0, mask0, folder1, mask1, ...
/// `pair_index` is the 0-based pair the file was listed from. `file_path` is the file's full path.
///
/// Below the root: "Path<n>" for the pair when the script has more than one; "Path<m>" for the
/// folder of the pair's folder list the file was found in, when the pair's folder text stands for
/// several ("Local Hard Drives", a server name, a `;` list); then the file's path relative to its
/// folder. A file that lies in none of the folders it should (a pair index out of range, a path
/// outside the folder) keeps its whole path without its root (see PathWithoutRoot), and no
/// "Path<m>".
std::string BackupPathFor(const std::string& backup_root, const std::vector<std::string>& pairs,
                          std::size_t pair_index, const std::string& file_path);

/// A path without its root, so that it can go below another folder: Windows: a drive (`C:`) and
/// the separators after it, or the two separators of a network path (`\\server\share\x` gives
/// `server\share\x`); POSIX: the leading `/`s.
std::string PathWithoutRoot(const std::string& path, PathStyle style);

/// The work folder, with a closing separator: the `Work Path` value of the program's `Settings`
/// section when it is set; otherwise on Windows the folder of the program file when it lies on a
/// fixed drive, else the system's temporary folder; on Linux `$XDG_STATE_HOME/tessaline/`, with
/// `~/.local/state/tessaline/` when XDG_STATE_HOME is unset, empty or not an absolute path (HOME
/// from the environment).
/// The folder is created (every missing level) when needed. Empty when it cannot be created.
std::string WorkFolder();

/// The undo script's file name in a path style: "FMUNDO.BAT" (Windows) or "fmundo.sh" (POSIX).
const char* UndoScriptName(PathStyle style);

/// What an undo script begins with, written when it is emptied: "#!/bin/sh" and LF for a shell
/// script; nothing for a batch file.
std::string UndoScriptHeader(PathStyle style);

/// The line, with its line end, that copies `from` over `to`. Windows: `COPY "FROM" "TO"` and
/// CR LF, each `%` doubled so that the command interpreter takes it as it is (names cannot hold
/// `"`). POSIX: `cp -p -- 'FROM' 'TO'` and LF, each `'` written `'\''`: inside single quotes the
/// shell expands nothing, so no file name can run a command.
std::string UndoScriptLine(const std::string& from, const std::string& to, PathStyle style);

/// The undo script of file replace runs: "fmundo.sh" (Linux) or "FMUNDO.BAT" (Windows) in a folder.
class UndoScript {
 public:
  explicit UndoScript(std::string folder);  // folder with closing separator (added when missing)
  const std::string& path() const { return path_; }
  /// Adds a line that copies `from` over `to`. The first line added by this process to a given
  /// undo script path empties the file first (creates it); later lines in the same process, even
  /// through another UndoScript object (a chained script runs a second engine run), are appended.
  /// Each line reaches the file in one write, so that a killed process leaves whole lines only.
  /// On Linux the emptied script is made executable (mode 0755); a failure to do so is returned
  /// (the line is written all the same).
  SysError AddCopy(const std::string& from, const std::string& to);

 private:
  std::string path_;
};

/// For tests: forget which undo scripts this process has emptied.
void ForgetEmptiedUndoScripts();

}  // namespace tsl
