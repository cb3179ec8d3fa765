// The system shell's file operation, which copies, moves, deletes or renames a batch of files
// with its own windows. Windows has one; Linux has none, and callers then do the work themselves.
#pragma once

#include <string>
#include <vector>

namespace tsl {

/// True when the system offers the shell file operation.
bool HasShellFileOperation();

/// Hands a batch to the shell as it is: `kind` and `flags` are the shell's own values (move 1,
/// copy 2, delete 3, rename 4; flags such as several destinations 1, silent 4, no confirmation
/// 16, allow undo 64). Returns the shell's result (0 when it succeeded); `*aborted` tells
/// whether the user or the shell stopped the batch. Without a shell: 1, nothing done.
int RunShellFileOperation(int kind, const std::vector<std::string>& from,
                          const std::vector<std::string>& to, unsigned flags, bool* aborted);

}  // namespace tsl
