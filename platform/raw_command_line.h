// The program's command line as the system handed it over.
#pragma once

#include <optional>
#include <string>

namespace tsl {

/// Windows: the raw command line after the program's own name (the text a program gets before
/// any splitting into arguments). POSIX: nothing, because the shell has already split the line.
std::optional<std::string> RawCommandLineTail();

}  // namespace tsl
