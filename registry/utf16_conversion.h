// Conversion of UTF-16 `.REG` files to the 8-bit text the registry job reads.
#pragma once

#include <string>

namespace tsl {

/// Reads `source`, which must begin with the UTF-16LE byte-order mark, and writes its text in
/// the ANSI code page to `destination` (replacing it); characters the code page lacks become
/// 0x7F. False when the source cannot be read, has no byte-order mark, converts to nothing, or
/// the destination cannot be written completely.
bool ConvertUtf16File(const std::string& source, const std::string& destination);

}  // namespace tsl
