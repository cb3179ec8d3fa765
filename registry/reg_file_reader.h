// Reading `.REG` files: a REGEDIT4 file is read as it is; a version 5 file, which is UTF-16, is
// converted to 8-bit text through a temporary copy first. The text is then parsed by the script
// reader in its registry-file mode.
#pragma once

#include <string>

#include "script/script_file.h"

namespace tsl {

enum class RegFileRead {
  kLoaded,      // a registry file, parsed into the script
  kNotRegFile,  // readable, but empty or without a registry header (or not convertible)
  kUnreadable,  // cannot be opened or read; the error holds the message for the user
};

/// Reads the `.REG` file at `path` into `reg_file`, which must be in registry-file mode.
/// `converted_from_utf16`, when given, tells whether the text came through a converted copy.
RegFileRead LoadRegFile(const std::string& path, ScriptFile* reg_file, std::string* error,
                        bool* converted_from_utf16 = nullptr);

}  // namespace tsl
