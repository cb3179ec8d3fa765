// Conversion of UTF-16 `.REG` files to the 8-bit text the registry job reads.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tsl {

/// The text of UTF-16 bytes that begin with the UTF-16LE byte-order mark, in the ANSI code page
/// (characters the code page lacks become 0x7F; an odd last byte is ignored). Nothing when the
/// mark is missing or the text converts to nothing.
std::optional<std::string> ConvertUtf16Text(std::string_view bytes);

/// Reads `source`, which must begin with the UTF-16LE byte-order mark, and writes its text in
/// the ANSI code page to `destination` (replacing it); characters the code page lacks become
/// 0x7F. False when the source cannot be read, has no byte-order mark, converts to nothing, or
/// the destination cannot be written completely.
bool ConvertUtf16File(const std::string& source, const std::string& destination);

}  // namespace tsl
