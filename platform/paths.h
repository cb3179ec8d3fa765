// Rules about file paths, written once for both path styles so that the Windows rules are
// tested on Linux and the POSIX rules on Windows. NativePathStyle() picks the one in force.
//
// Windows: `\` separates, `X:` names a drive, `\\server\share` a network folder.
// POSIX: `/` separates and a path is absolute when it begins with `/`.
#pragma once

#include <string>
#include <vector>

namespace tsl {

enum class PathStyle { kWindows, kPosix };

/// The style of the platform being built.
PathStyle NativePathStyle();

char SeparatorOf(PathStyle style);
inline char NativeSeparator() { return SeparatorOf(NativePathStyle()); }

/// Position of the last separator, or std::string::npos.
std::string::size_type LastSeparator(const std::string& path, PathStyle style);

bool EndsWithSeparator(const std::string& path, PathStyle style);

/// The path with one closing separator added when it has none.
std::string WithClosingSeparator(const std::string& path, PathStyle style);

/// The path up to and including its last separator; empty when it has none.
std::string FolderPart(const std::string& path, PathStyle style);

/// The text after the last separator (the whole path when it has none).
std::string NamePart(const std::string& path, PathStyle style);

/// True when a script path given relative to the command line's base folder must be prefixed
/// with it. Windows: non-empty, no `:` anywhere and not beginning with two backslashes (a single
/// leading `\` counts as relative). POSIX: non-empty and not beginning with `/`.
bool NeedsBaseFolder(const std::string& path, PathStyle style);

/// The root of a folder: Windows: for `\\server\share\...` the text up to and including the `\`
/// after the share name, otherwise the text up to and including the first `\` (`C:\` for a
/// drive); POSIX: the text up to and including the first `/`. Empty when the text has no
/// separator (or a network path no separator after its share name).
std::string FolderRoot(const std::string& folder, PathStyle style);

/// A folder and each folder above it as text, the root (`C:\`, `\\server\share\`, `/`) last:
/// a relative folder is taken from `current` (on Windows `\x` from `current`'s drive), `.` and
/// `..` are resolved in the text, as Windows resolves them. Without a root, only the folder.
std::vector<std::string> FolderChain(const std::string& folder, const std::string& current,
                                     PathStyle style);

/// For a text that names a server alone (`\\server` in the Windows style, `//server` in the POSIX
/// style, with at most one closing separator), the server's name with its two separators and
/// without the closing one; else empty.
std::string ServerNameOf(const std::string& text, PathStyle style);

/// `folder` and `name` joined with one separator between them.
std::string JoinPath(const std::string& folder, const std::string& name, PathStyle style);

}  // namespace tsl
