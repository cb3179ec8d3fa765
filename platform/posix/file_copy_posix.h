// The copy of the POSIX file service, with the switches its own tests use, and the write loop
// that the file service shares with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace tsl::posix {

struct CopyOptions {
  /// Write into an unnamed file (O_TMPFILE) that gets a name only when it is complete, so that a
  /// killed process leaves nothing behind; off, or where the file system has none, a named
  /// temporary file (kTemporaryPrefix...kTemporarySuffix) beside the target is used.
  bool unnamed_temporary = true;
};

/// Names of the temporary files beside a target: ".tsl-" + the writing process's id + "-" +
/// 8 lowercase hexadecimal digits + ".tmp" (IsCopyTemporaryName knows them).
inline constexpr const char* kTemporaryPrefix = ".tsl-";
inline constexpr const char* kTemporarySuffix = ".tmp";

/// FileSystem::CopyFileKeepingTimes on POSIX: the data segments with copy_file_range where the
/// kernel can (read and write elsewhere), holes kept as holes, the permission bits and the modification time, written to a
/// temporary file in the target's folder that is renamed over the target when complete. A
/// replaced target is synced to disk first, so that even a power cut leaves the old file or the
/// new one; new files are not.
SysError CopyKeepingTimes(const std::string& from, const std::string& to, CopyMode mode,
                          const CopyStepCheck& check, const CopyOptions& options = {});

/// Writes all of `data` to `fd`, going on after interrupted and partial writes.
SysError WriteAll(int fd, const char* data, std::size_t size);
/// The same at `offset`, without moving the descriptor's own position.
SysError WriteAllAt(int fd, const char* data, std::size_t size, std::uint64_t offset);

}  // namespace tsl::posix
