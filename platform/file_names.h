// File names compared as the file system of a path style compares them, letter case ignored:
// Windows names are ANSI text, upper-cased byte by byte with the code page; POSIX names are
// UTF-8, folded character by character with Unicode's simple case folding (the bytes of an
// invalid sequence compare exactly, and no byte inside a multi-byte character is ever folded on
// its own).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/paths.h"

namespace tsl {

/// The name (or relative path) folded so that two names that the style takes for the same name,
/// letter case ignored, fold to the same text.
std::string FoldFileName(std::string_view name, PathStyle style);

/// True when the two names are the same name, letter case ignored, in the style.
bool FileNamesEqual(std::string_view a, std::string_view b, PathStyle style);

/// A hash of FoldFileName(name, style), without building the folded text for an ASCII name.
std::uint64_t FoldedNameHash(std::string_view name, PathStyle style);

}  // namespace tsl
