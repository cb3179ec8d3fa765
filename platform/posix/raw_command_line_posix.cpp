#include "platform/raw_command_line.h"

namespace tsl {

std::optional<std::string> RawCommandLineTail() { return std::nullopt; }

}  // namespace tsl
