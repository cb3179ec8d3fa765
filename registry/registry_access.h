// The registry calls of the registry job, through one seam: the engine, the .REG import and the
// key tree operations take a RegistryAccess, so that tests can fail any call in turn and check
// that the undo file still restores what was changed. The base class is the real registry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace tsl {

class RegistryAccess {
 public:
  virtual ~RegistryAccess() = default;

  virtual long OpenKey(const reg::Key& parent, const std::string& subkey, std::uint32_t access,
                       reg::Key* result);
  virtual long CreateKey(const reg::Key& parent, const std::string& subkey,
                         const std::string& class_name, std::uint32_t access, reg::Key* result,
                         bool* created);
  virtual long EnumKey(const reg::Key& key, std::uint32_t index, std::string* name);
  virtual long EnumValue(const reg::Key& key, std::uint32_t index, std::string* name,
                         std::uint32_t* type, std::string* data);
  virtual long QueryKeyInfo(const reg::Key& key, reg::KeyInfo* info);
  virtual long QueryValue(const reg::Key& key, const std::string& name, std::uint32_t* type,
                          std::string* data);
  virtual long SetValue(const reg::Key& key, const std::string& name, std::uint32_t type,
                        const std::string& data);
  virtual long DeleteValue(const reg::Key& key, const std::string& name);
  virtual long DeleteKey(const reg::Key& parent, const std::string& subkey);
  virtual long ConnectRegistry(const std::string& machine, reg::Root root, reg::Key* result);
};

/// The real registry (Windows' own, or the Linux store).
RegistryAccess& SystemRegistry();

/// A registry access for tests that fails chosen calls of another one. Every call counts as one
/// operation; FailAt(k) makes call number k (1-based) fail with `status`, once or, with
/// `persistent`, on every call from then on. A test runs an action with k = 1, 2, ... until it
/// completes without reaching k.
class FaultInjectingRegistry : public RegistryAccess {
 public:
  explicit FaultInjectingRegistry(RegistryAccess& inner) : inner_(inner) {}

  void FailAt(std::int64_t k, long status = reg::kAccessDenied, bool persistent = false);
  std::int64_t operations() const { return count_; }
  bool fired() const { return fired_; }
  /// The calls as "Name detail" lines, for messages of failing tests.
  const std::vector<std::string>& log() const { return log_; }

  long OpenKey(const reg::Key& parent, const std::string& subkey, std::uint32_t access,
               reg::Key* result) override;
  long CreateKey(const reg::Key& parent, const std::string& subkey, const std::string& class_name,
                 std::uint32_t access, reg::Key* result, bool* created) override;
  long EnumKey(const reg::Key& key, std::uint32_t index, std::string* name) override;
  long EnumValue(const reg::Key& key, std::uint32_t index, std::string* name,
                 std::uint32_t* type, std::string* data) override;
  long QueryKeyInfo(const reg::Key& key, reg::KeyInfo* info) override;
  long QueryValue(const reg::Key& key, const std::string& name, std::uint32_t* type,
                  std::string* data) override;
  long SetValue(const reg::Key& key, const std::string& name, std::uint32_t type,
                const std::string& data) override;
  long DeleteValue(const reg::Key& key, const std::string& name) override;
  long DeleteKey(const reg::Key& parent, const std::string& subkey) override;
  long ConnectRegistry(const std::string& machine, reg::Root root, reg::Key* result) override;

 private:
  /// Counts one call; kOk, or the injected status.
  long Next(const char* call, const std::string& detail);

  RegistryAccess& inner_;
  std::int64_t count_ = 0;
  std::int64_t fail_at_ = 0;
  long status_ = reg::kAccessDenied;
  bool persistent_ = false;
  bool fired_ = false;
  std::vector<std::string> log_;
};

}  // namespace tsl
