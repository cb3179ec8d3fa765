// The registry service on Linux: a store of the same shape as Windows' registry, kept in one
// SQLite file (registry_store.cpp). This file chooses the file, parses key paths and checks what
// each handle was opened for, the way Windows checks it.
//
// The file is $TESSALINE_REGISTRY when that is set, else $XDG_DATA_HOME/tessaline/registry.db,
// else ~/.local/share/tessaline/registry.db. The variable is looked at on every call that starts
// from a root, so changing it switches stores; keys already open stay with the store they came
// from.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/environment.h"
#include "platform/system_folders.h"
#include "platform/posix/registry_store.h"
#include "platform/registry.h"

namespace tsl::reg {

struct KeyHandle {
  std::shared_ptr<RegistryStore> store;  // empty for a predefined root: the store in force
  KeyId id = 0;
  std::uint32_t access = 0;
  bool is_root = false;
  Root root = Root::kClassesRoot;
};

namespace {

constexpr std::size_t kLongestKeyName = 255;

std::string StorePath() {
  std::optional<std::string> path = GetEnvironmentValue("TESSALINE_REGISTRY");
  if (path && !path->empty()) return *path;
  std::string folder = UserDataFolder();
  return folder.empty() ? "" : folder + "/registry.db";
}

// Creates the folders above `path` that are missing.
void MakeParentFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return;
  }
}

// The store of the current file, opened on first use and again when the file changes. A child
// process made by fork() must not use its parent's connection, so it opens its own.
long CurrentStore(std::shared_ptr<RegistryStore>* store) {
  static std::shared_ptr<RegistryStore> current;
  static pid_t owner = 0;
  std::string path = StorePath();
  if (path.empty()) return kIoFailed;
  if (current && owner != ::getpid()) {
    // Closing would touch the parent's connection state: keep the inherited object alive.
    static auto* inherited = new std::vector<std::shared_ptr<RegistryStore>>;
    inherited->push_back(std::move(current));
  }
  if (!current || current->path() != path) {
    current.reset();
    MakeParentFolders(path);
    std::unique_ptr<RegistryStore> opened;
    long status = RegistryStore::Open(path, &opened);
    if (status != kOk) return status;
    current = std::move(opened);
    owner = ::getpid();
  }
  *store = current;
  return kOk;
}

// The store and key a handle stands for, with its access checked.
struct Target {
  std::shared_ptr<RegistryStore> store;
  KeyId id = 0;
};

long Resolve(const Key& key, std::uint32_t needed, Target* target) {
  if (!key.valid()) return kInvalidHandle;
  const KeyHandle& handle = *key.handle();
  if ((handle.access & needed) != needed) return kAccessDenied;
  target->id = handle.id;
  if (handle.store) {
    target->store = handle.store;
    return kOk;
  }
  return CurrentStore(&target->store);
}

// Resolves and makes sure the key has not been deleted meanwhile.
long ResolveLive(const Key& key, std::uint32_t needed, Target* target) {
  long status = Resolve(key, needed, target);
  return status == kOk ? target->store->CheckKey(target->id) : status;
}

// Splits a key path into names. A run of `\` separates like one and a closing `\` adds nothing
// (as Windows does); a leading `\` is refused, except below HKEY_CLASSES_ROOT.
long SplitPath(const Key& parent, const std::string& path, std::vector<std::string>* names) {
  std::size_t start = 0;
  if (!path.empty() && path[0] == '\\') {
    const KeyHandle& handle = *parent.handle();
    if (!handle.is_root || handle.root != Root::kClassesRoot) return kBadPathName;
    start = 1;
  }
  names->clear();
  while (start < path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) names->push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return kOk;
}

Key MakeKey(const Target& target, std::uint32_t access) {
  auto handle = std::make_unique<KeyHandle>();
  handle->store = target.store;
  handle->id = target.id;
  handle->access = access;
  return Key(std::move(handle));
}

// Opening or creating an empty path gives the root itself for a root, a new handle otherwise.
Key SameKey(const Key& key, const Target& target, std::uint32_t access) {
  if (key.handle()->is_root) return Key(key.handle()->root);
  return MakeKey(target, access);
}

}  // namespace

Key::Key() = default;
Key::Key(Root root) : handle_(std::make_unique<KeyHandle>()) {
  handle_->id = RootKeyId(root);
  handle_->access = access::kAll;
  handle_->is_root = true;
  handle_->root = root;
}
Key::Key(std::unique_ptr<KeyHandle> handle) : handle_(std::move(handle)) {}
Key::~Key() = default;
Key::Key(Key&& other) noexcept = default;
Key& Key::operator=(Key&& other) noexcept = default;
void Key::Close() { handle_.reset(); }

long OpenKey(const Key& parent, const std::string& subkey, std::uint32_t access, Key* result) {
  Target target;
  std::vector<std::string> names;
  long status = Resolve(parent, 0, &target);
  if (status == kOk) status = SplitPath(parent, subkey, &names);
  if (status == kOk) status = target.store->FindPath(target.id, names, &target.id);
  if (status != kOk) {
    *result = Key();
    return status;
  }
  *result = names.empty() ? SameKey(parent, target, access) : MakeKey(target, access);
  return kOk;
}

long CreateKey(const Key& parent, const std::string& subkey, const std::string& class_name,
               std::uint32_t access, Key* result, bool* created) {
  Target target;
  std::vector<std::string> names;
  bool made = false;
  long status = Resolve(parent, 0, &target);
  if (status == kOk) status = SplitPath(parent, subkey, &names);
  for (const std::string& name : names) {
    if (status == kOk && name.size() > kLongestKeyName) status = kInvalidParameter;
  }
  if (status == kOk) {
    status = target.store->CreatePath(target.id, names, class_name, &target.id, &made);
  }
  if (created) *created = status == kOk && made;
  if (status != kOk) {
    *result = Key();
    return status;
  }
  *result = names.empty() ? SameKey(parent, target, access) : MakeKey(target, access);
  return kOk;
}

long EnumKey(const Key& key, std::uint32_t index, std::string* name) {
  Target target;
  long status = ResolveLive(key, access::kEnumerateSubKeys, &target);
  return status == kOk ? target.store->SubkeyName(target.id, index, name) : status;
}

long EnumValue(const Key& key, std::uint32_t index, std::string* name, std::uint32_t* type,
               std::string* data) {
  Target target;
  long status = Resolve(key, access::kQueryValue, &target);
  return status == kOk ? target.store->LiveValueAt(target.id, index, name, type, data) : status;
}

long QueryKeyInfo(const Key& key, KeyInfo* info) {
  Target target;
  long status = Resolve(key, access::kQueryValue, &target);
  return status == kOk ? target.store->Info(target.id, info) : status;
}

long QueryValue(const Key& key, const std::string& name, std::uint32_t* type, std::string* data) {
  Target target;
  long status = ResolveLive(key, access::kQueryValue, &target);
  return status == kOk ? target.store->GetValue(target.id, name, type, data) : status;
}

long SetValue(const Key& key, const std::string& name, std::uint32_t type,
              const std::string& data) {
  Target target;
  long status = Resolve(key, access::kSetValue, &target);
  // A key deleted meanwhile makes the insert fail on its reference: kKeyDeleted.
  return status == kOk ? target.store->PutValue(target.id, name, type, data) : status;
}

long DeleteValue(const Key& key, const std::string& name) {
  Target target;
  long status = ResolveLive(key, access::kSetValue, &target);
  return status == kOk ? target.store->RemoveValue(target.id, name) : status;
}

long DeleteKey(const Key& parent, const std::string& subkey) {
  Target target;
  std::vector<std::string> names;
  long status = Resolve(parent, 0, &target);
  if (status == kOk) status = SplitPath(parent, subkey, &names);
  if (status == kOk && names.empty() && parent.handle()->is_root) return kAccessDenied;
  if (status == kOk) status = target.store->FindPath(target.id, names, &target.id);
  return status == kOk ? target.store->DeleteLeaf(target.id) : status;
}

long ConnectRegistry(const std::string& machine, Root root, Key* result) {
  if (machine.empty()) {
    *result = Key(root);
    return kOk;
  }
  *result = Key();
  return kBadNetPath;
}

}  // namespace tsl::reg
