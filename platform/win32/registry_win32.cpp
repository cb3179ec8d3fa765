// The registry service on Windows: the system's registry through its ANSI functions. Status codes
// are passed on as the system returns them.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/registry.h"

namespace tsl::reg {

struct KeyHandle {
  HKEY hkey = nullptr;
  bool owned = false;  // false for the predefined roots, which are never closed

  ~KeyHandle() {
    if (owned && hkey) RegCloseKey(hkey);
  }
};

namespace {

HKEY PredefinedKey(Root root) {
  switch (root) {
    case Root::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case Root::kCurrentUser:
      return HKEY_CURRENT_USER;
    case Root::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case Root::kUsers:
      return HKEY_USERS;
    case Root::kCurrentConfig:
      return HKEY_CURRENT_CONFIG;
    case Root::kDynData:
      return HKEY_DYN_DATA;
  }
  return nullptr;
}

// The predefined handles are small constants with the top bit of the low 32 bits set; the system
// may hand one back (opening an empty path below a root gives the root itself).
bool IsPredefined(HKEY hkey) {
  auto value = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hkey));
  return value >= 0x80000000u && value <= 0x80000070u;
}

Key WrapKey(HKEY hkey) {
  auto handle = std::make_unique<KeyHandle>();
  handle->hkey = hkey;
  handle->owned = !IsPredefined(hkey);
  return Key(std::move(handle));
}

HKEY Raw(const Key& key) { return key.valid() ? key.handle()->hkey : nullptr; }

}  // namespace

Key::Key() = default;
Key::Key(Root root) : handle_(std::make_unique<KeyHandle>()) {
  handle_->hkey = PredefinedKey(root);
}
Key::Key(std::unique_ptr<KeyHandle> handle) : handle_(std::move(handle)) {}
Key::~Key() = default;
Key::Key(Key&& other) noexcept = default;
Key& Key::operator=(Key&& other) noexcept = default;
void Key::Close() { handle_.reset(); }

long OpenKey(const Key& parent, const std::string& subkey, std::uint32_t access, Key* result) {
  HKEY opened = nullptr;
  LONG status = RegOpenKeyExA(Raw(parent), subkey.c_str(), 0, access, &opened);
  *result = status == ERROR_SUCCESS ? WrapKey(opened) : Key();
  return status;
}

long CreateKey(const Key& parent, const std::string& subkey, const std::string& class_name,
               std::uint32_t access, Key* result, bool* created) {
  HKEY opened = nullptr;
  DWORD disposition = 0;
  std::string class_copy = class_name;  // the function takes a non-const pointer
  LONG status = RegCreateKeyExA(Raw(parent), subkey.c_str(), 0, class_copy.data(),
                                REG_OPTION_NON_VOLATILE, access, nullptr, &opened, &disposition);
  *result = status == ERROR_SUCCESS ? WrapKey(opened) : Key();
  if (created) *created = status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
  return status;
}

long EnumKey(const Key& key, std::uint32_t index, std::string* name) {
  std::vector<char> buffer(512);
  for (;;) {
    DWORD length = static_cast<DWORD>(buffer.size());
    LONG status =
        RegEnumKeyExA(Raw(key), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA && buffer.size() < 65536) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status == ERROR_SUCCESS) name->assign(buffer.data(), length);
    return status;
  }
}

long EnumValue(const Key& key, std::uint32_t index, std::string* name, std::uint32_t* type,
               std::string* data) {
  std::vector<char> name_buffer(256);
  std::string data_buffer(256, '\0');
  for (int attempt = 0;; ++attempt) {
    DWORD name_length = static_cast<DWORD>(name_buffer.size());
    DWORD data_length = static_cast<DWORD>(data_buffer.size());
    DWORD value_type = 0;
    LONG status =
        RegEnumValueA(Raw(key), index, name_buffer.data(), &name_length, nullptr, &value_type,
                      reinterpret_cast<BYTE*>(data_buffer.data()), &data_length);
    if (status == ERROR_MORE_DATA && attempt < 16) {
      // Either buffer may be the short one; the reported data size is a hint only.
      name_buffer.resize(name_buffer.size() * 2);
      data_buffer.resize(std::max<std::size_t>(data_buffer.size() * 2, data_length + 2));
      continue;
    }
    if (status == ERROR_SUCCESS) {
      name->assign(name_buffer.data(), name_length);
      *type = value_type;
      data->assign(data_buffer.data(), data_length);
    }
    return status;
  }
}

long QueryKeyInfo(const Key& key, KeyInfo* info) {
  std::vector<char> class_buffer(256);
  for (;;) {
    DWORD class_length = static_cast<DWORD>(class_buffer.size());
    DWORD subkeys = 0, longest_subkey = 0, values = 0, longest_name = 0, longest_data = 0;
    LONG status = RegQueryInfoKeyA(Raw(key), class_buffer.data(), &class_length, nullptr, &subkeys,
                                   &longest_subkey, nullptr, &values, &longest_name, &longest_data,
                                   nullptr, nullptr);
    if (status == ERROR_MORE_DATA && class_buffer.size() < 65536) {
      class_buffer.resize(class_buffer.size() * 2);
      continue;
    }
    if (status == ERROR_SUCCESS) {
      *info = KeyInfo();
      info->class_name.assign(class_buffer.data(), class_length);
      info->subkeys = subkeys;
      info->longest_subkey_name = longest_subkey;
      info->values = values;
      info->longest_value_name = longest_name;
      info->longest_data = longest_data;
    }
    return status;
  }
}

long QueryValue(const Key& key, const std::string& name, std::uint32_t* type, std::string* data) {
  DWORD size = 0;
  LONG status = RegQueryValueExA(Raw(key), name.c_str(), nullptr, nullptr, nullptr, &size);
  if (status != ERROR_SUCCESS) return status;
  std::string buffer(size + 2, '\0');  // room for the zero the system adds to some strings
  for (int attempt = 0;; ++attempt) {
    DWORD length = static_cast<DWORD>(buffer.size());
    DWORD value_type = 0;
    status = RegQueryValueExA(Raw(key), name.c_str(), nullptr, &value_type,
                              reinterpret_cast<BYTE*>(buffer.data()), &length);
    if (status == ERROR_MORE_DATA && attempt < 16) {  // the value grew in between
      buffer.resize(std::max<std::size_t>(buffer.size() * 2, length + 2));
      continue;
    }
    if (status == ERROR_SUCCESS) {
      *type = value_type;
      data->assign(buffer.data(), length);
    }
    return status;
  }
}

long SetValue(const Key& key, const std::string& name, std::uint32_t type,
              const std::string& data) {
  return RegSetValueExA(Raw(key), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size()));
}

long DeleteValue(const Key& key, const std::string& name) {
  return RegDeleteValueA(Raw(key), name.c_str());
}

long DeleteKey(const Key& parent, const std::string& subkey) {
  return RegDeleteKeyA(Raw(parent), subkey.c_str());
}

long ConnectRegistry(const std::string& machine, Root root, Key* result) {
  HKEY connected = nullptr;
  LONG status = RegConnectRegistryA(machine.empty() ? nullptr : machine.c_str(),
                                    PredefinedKey(root), &connected);
  *result = status == ERROR_SUCCESS ? WrapKey(connected) : Key();
  return status;
}

}  // namespace tsl::reg
