// Standard input, output and error of console programs, as bytes: no line-end translation on
// any platform.
#pragma once

#include <string>
#include <string_view>

namespace tsl {

/// Reads standard input to its end; false when it cannot be read.
bool ReadStandardInput(std::string* content);

/// Writes to standard output or standard error and flushes.
void WriteStandardOutput(std::string_view text);
void WriteStandardError(std::string_view text);

}  // namespace tsl
