// The program's own settings: values below the key
// HKEY_CURRENT_USER\Software\Quarnel Software Inc.\Tessaline, one subkey per section
// ("Settings", "Flags", a window's own section ...).
#pragma once

#include <string>

#include "pattern/search_pattern.h"

namespace tsl {

/// The key path of the settings below HKEY_CURRENT_USER.
inline constexpr const char* kSettingsKeyPath = "Software\\Quarnel Software Inc.\\Tessaline";

/// A text value; `fallback` when the section or value is missing or not text.
std::string ReadSettingString(const std::string& section, const std::string& name,
                              const std::string& fallback = "");
/// A number value (32-bit); `fallback` when missing or not a number.
int ReadSettingInt(const std::string& section, const std::string& name, int fallback = 0);

bool WriteSettingString(const std::string& section, const std::string& name,
                        const std::string& value);
bool WriteSettingInt(const std::string& section, const std::string& name, int value);

/// The operator order of the pattern language chosen in the settings: "UNIX RegExp" in section
/// "Flags", 0 (the default) for operators in front of what they repeat.
OperatorOrder ConfiguredOperatorOrder();

}  // namespace tsl
