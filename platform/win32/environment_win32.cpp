#include <windows.h>

#include "platform/environment.h"

namespace tsl {

std::optional<std::string> GetEnvironmentValue(const std::string& name) {
  SetLastError(ERROR_SUCCESS);
  DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (size == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::string value(size, '\0');
  DWORD length = GetEnvironmentVariableA(name.c_str(), value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

bool SetEnvironmentValue(const std::string& name, const std::string& value) {
  return SetEnvironmentVariableA(name.c_str(), value.c_str()) != 0;
}

bool UnsetEnvironmentValue(const std::string& name) {
  return SetEnvironmentVariableA(name.c_str(), nullptr) != 0;
}

}  // namespace tsl
