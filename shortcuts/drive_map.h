// Windows paths held in links, tested on a system whose paths are not Windows paths: the
// `Drive Map` setting (section `Settings`) maps path prefixes to folders of this system, as in
// `C:=/mnt/c;\\server\share=/srv/share`.
#pragma once

#include <optional>
#include <string>

namespace tsl {

/// True for a path in the Windows form: a drive letter and `:`, or `\\` at its start.
bool IsWindowsPath(const std::string& path);

/// The path of this system a Windows path stands for: the longest prefix of the map that the
/// path begins with (letter case ignored, and followed in the path by its end or a `\`) is
/// replaced by its folder, and the rest's `\` become `/`. Nothing when no prefix maps it.
std::optional<std::string> MapWindowsPath(const std::string& path, const std::string& drive_map);

/// The `Drive Map` value of the program's settings.
std::string ConfiguredDriveMap();

}  // namespace tsl
