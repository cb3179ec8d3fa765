// Version resources of files: the FileVersion text that a program or library carries.
//
// Windows asks the system's version functions. Linux reads the version resource of PE images
// (programs, libraries, drivers built for Windows) itself, with the portable reader below, and
// finds no version in any other file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tsl {

/// The FileVersion text of the file's version resource, under the first translation that the
/// resource lists; nothing when the file has none or cannot be read.
std::optional<std::string> FileVersionText(const std::string& path);

/// The FileVersion text found in a PE image held in `image` (the whole file, or at least every
/// byte up to the end of its version resource). Portable, so that both platforms test it.
std::optional<std::string> PeFileVersion(std::string_view image);

}  // namespace tsl
