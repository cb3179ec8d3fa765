// Environment variables of the process.
#pragma once

#include <optional>
#include <string>

namespace tsl {

/// The value of a variable, or nothing when it is not set.
std::optional<std::string> GetEnvironmentValue(const std::string& name);

/// Sets a variable for this process and the programs it starts.
bool SetEnvironmentValue(const std::string& name, const std::string& value);

/// Removes a variable.
bool UnsetEnvironmentValue(const std::string& name);

}  // namespace tsl
