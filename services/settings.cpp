// The program's settings, kept in the registry below the current user's key: text as string
// values (type 1, with a terminating zero), numbers as 32-bit little-endian values (type 4).
#include "services/settings.h"

#include <cstdint>

#include "platform/registry.h"

namespace tsl {

namespace {

std::string SectionPath(const std::string& section) {
  return std::string(kSettingsKeyPath) + "\\" + section;
}

bool ReadValue(const std::string& section, const std::string& name, std::uint32_t* type,
               std::string* data) {
  reg::Key key;
  if (reg::OpenKey(reg::Key(reg::Root::kCurrentUser), SectionPath(section),
                   reg::access::kQueryValue, &key) != reg::kOk) {
    return false;
  }
  return reg::QueryValue(key, name, type, data) == reg::kOk;
}

bool WriteValue(const std::string& section, const std::string& name, std::uint32_t type,
                const std::string& data) {
  reg::Key key;
  if (reg::CreateKey(reg::Key(reg::Root::kCurrentUser), SectionPath(section), "",
                     reg::access::kWrite, &key, nullptr) != reg::kOk) {
    return false;
  }
  return reg::SetValue(key, name, type, data) == reg::kOk;
}

}  // namespace

std::string ReadSettingString(const std::string& section, const std::string& name,
                              const std::string& fallback) {
  std::uint32_t type = 0;
  std::string data;
  if (!ReadValue(section, name, &type, &data)) return fallback;
  if (type != reg::type::kString && type != reg::type::kExpandString) return fallback;
  return data.substr(0, data.find('\0'));
}

int ReadSettingInt(const std::string& section, const std::string& name, int fallback) {
  std::uint32_t type = 0;
  std::string data;
  if (!ReadValue(section, name, &type, &data)) return fallback;
  if (type != reg::type::kDword || data.size() < 4) return fallback;
  std::uint32_t number = 0;
  for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>(data[i]);
  return static_cast<std::int32_t>(number);
}

bool WriteSettingString(const std::string& section, const std::string& name,
                        const std::string& value) {
  return WriteValue(section, name, reg::type::kString, value + '\0');
}

bool WriteSettingInt(const std::string& section, const std::string& name, int value) {
  auto number = static_cast<std::uint32_t>(value);
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(number >> (8 * i) & 0xFF);
  return WriteValue(section, name, reg::type::kDword, data);
}

OperatorOrder ConfiguredOperatorOrder() {
  return ReadSettingInt("Flags", "UNIX RegExp", 0) != 0 ? OperatorOrder::kPostfix
                                                        : OperatorOrder::kPrefix;
}

}  // namespace tsl
