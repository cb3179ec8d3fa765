// The copy of the POSIX file service, with the switches its own tests use, and the write loop
// that the file service shares with it.
#pragma once

#include <cstddef>
#include <string>

#include "platform/file_system.h"

namespace tsl::posix {

struct CopyOptions {
  /// Write into an unnamed file (O_TMPFILE) that gets a name only when it is complete, so that a
  /// killed process leaves nothing behind; off, or where the file system has none, a named
  /// temporary file (kTemporaryPrefix...kTemporarySuffix) beside the target is used.
  bool unnamed_temporary = true;
};

/// Names of the temporary files beside a target: ".tsl-" + 8 hexadecimal digits + ".tmp".
inline constexpr const char* kTemporaryPrefix = ".tsl-";
inline constexpr const char* kTemporarySuffix = ".tmp";

/// FileSystem::CopyFileKeepingTimes on POSIX: the data with copy_file_range where the kernel
/// can (read and write elsewhere), the permission bits and the modification time, written to a
/// temporary file in the target's folder that is renamed over the target when complete. A
/// replaced target is synced to disk first, so that even a power cut leaves the old file or the
/// new one; new files are not.
SysError CopyKeepingTimes(const std::string& from, const std::string& to, CopyMode mode,
                          const CopyStepCheck& check, const CopyOptions& options = {});

/// Writes all of `data` to `fd`, going on after interrupted and partial writes.
SysError WriteAll(int fd, const char* data, std::size_t size);

}  // namespace tsl::posix
