#include "registry/registry_access.h"

namespace tsl {

long RegistryAccess::OpenKey(const reg::Key& parent, const std::string& subkey,
                             std::uint32_t access, reg::Key* result) {
  return reg::OpenKey(parent, subkey, access, result);
}

long RegistryAccess::CreateKey(const reg::Key& parent, const std::string& subkey,
                               const std::string& class_name, std::uint32_t access,
                               reg::Key* result, bool* created) {
  return reg::CreateKey(parent, subkey, class_name, access, result, created);
}

long RegistryAccess::EnumKey(const reg::Key& key, std::uint32_t index, std::string* name) {
  return reg::EnumKey(key, index, name);
}

long RegistryAccess::EnumValue(const reg::Key& key, std::uint32_t index, std::string* name,
                               std::uint32_t* type, std::string* data) {
  return reg::EnumValue(key, index, name, type, data);
}

long RegistryAccess::QueryKeyInfo(const reg::Key& key, reg::KeyInfo* info) {
  return reg::QueryKeyInfo(key, info);
}

long RegistryAccess::QueryValue(const reg::Key& key, const std::string& name, std::uint32_t* type,
                                std::string* data) {
  return reg::QueryValue(key, name, type, data);
}

long RegistryAccess::SetValue(const reg::Key& key, const std::string& name, std::uint32_t type,
                              const std::string& data) {
  return reg::SetValue(key, name, type, data);
}

long RegistryAccess::DeleteValue(const reg::Key& key, const std::string& name) {
  return reg::DeleteValue(key, name);
}

long RegistryAccess::DeleteKey(const reg::Key& parent, const std::string& subkey) {
  return reg::DeleteKey(parent, subkey);
}

long RegistryAccess::ConnectRegistry(const std::string& machine, reg::Root root, reg::Key* result) {
  return reg::ConnectRegistry(machine, root, result);
}

RegistryAccess& SystemRegistry() {
  static RegistryAccess system;
  return system;
}

void FaultInjectingRegistry::FailAt(std::int64_t k, long status, bool persistent) {
  fail_at_ = k;
  status_ = status;
  persistent_ = persistent;
  fired_ = false;
  count_ = 0;
  log_.clear();
}

long FaultInjectingRegistry::Next(const char* call, const std::string& detail) {
  ++count_;
  log_.push_back(std::string(call) + " " + detail);
  if (fail_at_ > 0 && (count_ == fail_at_ || (persistent_ && count_ > fail_at_))) {
    fired_ = true;
    log_.back() += "  <- fails";
    return status_;
  }
  return reg::kOk;
}

long FaultInjectingRegistry::OpenKey(const reg::Key& parent, const std::string& subkey,
                                     std::uint32_t access, reg::Key* result) {
  if (long status = Next("OpenKey", subkey); status != reg::kOk) {
    result->Close();
    return status;
  }
  return inner_.OpenKey(parent, subkey, access, result);
}

long FaultInjectingRegistry::CreateKey(const reg::Key& parent, const std::string& subkey,
                                       const std::string& class_name, std::uint32_t access,
                                       reg::Key* result, bool* created) {
  if (long status = Next("CreateKey", subkey); status != reg::kOk) {
    result->Close();
    if (created) *created = false;
    return status;
  }
  return inner_.CreateKey(parent, subkey, class_name, access, result, created);
}

long FaultInjectingRegistry::EnumKey(const reg::Key& key, std::uint32_t index, std::string* name) {
  if (long status = Next("EnumKey", std::to_string(index)); status != reg::kOk) return status;
  return inner_.EnumKey(key, index, name);
}

long FaultInjectingRegistry::EnumValue(const reg::Key& key, std::uint32_t index, std::string* name,
                                       std::uint32_t* type, std::string* data) {
  if (long status = Next("EnumValue", std::to_string(index)); status != reg::kOk) return status;
  return inner_.EnumValue(key, index, name, type, data);
}

long FaultInjectingRegistry::QueryKeyInfo(const reg::Key& key, reg::KeyInfo* info) {
  if (long status = Next("QueryKeyInfo", ""); status != reg::kOk) return status;
  return inner_.QueryKeyInfo(key, info);
}

long FaultInjectingRegistry::QueryValue(const reg::Key& key, const std::string& name,
                                        std::uint32_t* type, std::string* data) {
  if (long status = Next("QueryValue", name); status != reg::kOk) return status;
  return inner_.QueryValue(key, name, type, data);
}

long FaultInjectingRegistry::SetValue(const reg::Key& key, const std::string& name,
                                      std::uint32_t type, const std::string& data) {
  if (long status = Next("SetValue", name); status != reg::kOk) return status;
  return inner_.SetValue(key, name, type, data);
}

long FaultInjectingRegistry::DeleteValue(const reg::Key& key, const std::string& name) {
  if (long status = Next("DeleteValue", name); status != reg::kOk) return status;
  return inner_.DeleteValue(key, name);
}

long FaultInjectingRegistry::DeleteKey(const reg::Key& parent, const std::string& subkey) {
  if (long status = Next("DeleteKey", subkey); status != reg::kOk) return status;
  return inner_.DeleteKey(parent, subkey);
}

long FaultInjectingRegistry::ConnectRegistry(const std::string& machine, reg::Root root,
                                             reg::Key* result) {
  if (long status = Next("ConnectRegistry", machine); status != reg::kOk) {
    result->Close();
    return status;
  }
  return inner_.ConnectRegistry(machine, root, result);
}

}  // namespace tsl
