#include <stdlib.h>

#include "platform/environment.h"

namespace tsl {

std::optional<std::string> GetEnvironmentValue(const std::string& name) {
  const char* value = ::getenv(name.c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

bool SetEnvironmentValue(const std::string& name, const std::string& value) {
  return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool UnsetEnvironmentValue(const std::string& name) { return ::unsetenv(name.c_str()) == 0; }

}  // namespace tsl
