// Start-up of TslRun: system services, the command-line argument, the script driver.
#pragma once

#include <string>

namespace tsl {

/// Runs TslRun with its one argument; returns the process exit status: 0 when every named
/// script could be read, 1 otherwise (also when no script is named and the usage is shown).
int RunTslRun(const std::string& argument);

}  // namespace tsl
