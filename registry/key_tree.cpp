// Deleting, copying and moving whole key trees. Both walks keep their own stack of open keys
// (one entry per level), so the depth of a tree costs heap memory, never stack.
#include "registry/key_tree.h"

#include <vector>

#include "platform/code_page.h"
#include "registry/reg_file.h"
#include "registry/registry_access.h"

namespace tsl {
namespace {

constexpr long kBadKey = 1010;  // ERROR_BADKEY: no key name

// Writes the header of `path` and every value of `key` to the record.
long RecordKey(RegistryAccess& registry, const reg::Key& key, const std::string& path,
               RegWriter* writer) {
  writer->WriteEntry(path, nullptr, 0, nullptr);
  std::string name, data;
  std::uint32_t type = 0;
  for (std::uint32_t i = 0;; ++i) {
    long status = registry.EnumValue(key, i, &name, &type, &data);
    if (status == reg::kNoMoreItems) return reg::kOk;
    if (status != reg::kOk) return status;
    writer->WriteEntry(path, &name, type, &data);
  }
}

struct DeleteFrame {
  reg::Key key;
  std::string name;  // the key's name below the key of the frame before (or `parent`)
  std::string path;  // its path in the record; empty without one
};

// Copies every value of `from` to `to`.
long CopyValues(RegistryAccess& registry, const reg::Key& from, const reg::Key& to) {
  std::string name, data;
  std::uint32_t type = 0;
  for (std::uint32_t i = 0;; ++i) {
    long status = registry.EnumValue(from, i, &name, &type, &data);
    if (status == reg::kNoMoreItems) return reg::kOk;
    if (status != reg::kOk) return status;
    status = registry.SetValue(to, name, type, data);
    if (status != reg::kOk) return status;
  }
}

// Opens `name` below `parent` for reading and creates its new copy `to_name` below
// `to_parent` with the same class; `must_be_new` refuses a target that already exists.
long OpenPair(RegistryAccess& registry, const reg::Key& parent, const std::string& name,
              const reg::Key& to_parent, const std::string& to_name, bool must_be_new,
              reg::Key* source, reg::Key* target) {
  long status = registry.OpenKey(parent, name, reg::access::kRead, source);
  if (status != reg::kOk) return status;
  reg::KeyInfo info;
  status = registry.QueryKeyInfo(*source, &info);
  if (status != reg::kOk) return status;
  bool created = false;
  status =
      registry.CreateKey(to_parent, to_name, info.class_name, reg::access::kAll, target, &created);
  if (status != reg::kOk) return status;
  if (must_be_new && !created) {
    target->Close();
    return kTargetExists;
  }
  return reg::kOk;
}

struct CopyFrame {
  reg::Key source;
  reg::Key target;
  std::uint32_t next = 0;  // the next subkey to copy
};

// Copies the tree of `from` to the new key `to`; on failure whatever was copied is deleted again.
// With `merge` the tree goes into the existing key `to` instead, and nothing is deleted on
// failure (used to put back a source whose deletion failed half-way).
long CopyTree(RegistryAccess& registry, const reg::Key& from_parent, const std::string& from,
              const reg::Key& to_parent, const std::string& to, bool merge = false) {
  long status = reg::kOk;
  if (!merge) {
    reg::Key probe;
    status = registry.OpenKey(to_parent, to, reg::access::kRead, &probe);
    if (status == reg::kOk) return kTargetExists;
    if (status != reg::kNotFound) return status;
  }
  std::vector<CopyFrame> stack;
  stack.emplace_back();
  status = OpenPair(registry, from_parent, from, to_parent, to, /*must_be_new=*/!merge,
                    &stack.back().source, &stack.back().target);
  if (status == kTargetExists) return status;  // someone else's key: never deleted here
  if (status == reg::kOk) status = CopyValues(registry, stack.back().source, stack.back().target);
  while (status == reg::kOk && !stack.empty()) {
    CopyFrame& top = stack.back();
    std::string name;
    status = registry.EnumKey(top.source, top.next, &name);
    if (status == reg::kNoMoreItems) {
      status = reg::kOk;
      stack.pop_back();
      continue;
    }
    if (status != reg::kOk) break;
    ++top.next;
    CopyFrame child;
    status = OpenPair(registry, top.source, name, top.target, name, /*must_be_new=*/false,
                      &child.source, &child.target);
    if (status == reg::kOk) status = CopyValues(registry, child.source, child.target);
    stack.push_back(std::move(child));
  }
  if (status != reg::kOk && !merge) {
    stack.clear();
    DeleteKeyTree(registry, to_parent, to, "", nullptr);
  }
  return status;
}

// `subkey` cut at `\\` into pieces of at most kKeyPathStep characters (a longer single name is
// a piece of its own).
std::vector<std::string> PathSteps(const std::string& subkey) {
  std::vector<std::string> steps;
  std::string piece;
  for (std::size_t start = 0;;) {
    const std::size_t next = subkey.find('\\', start);
    const std::string name =
        subkey.substr(start, next == std::string::npos ? std::string::npos : next - start);
    if (!piece.empty() && piece.size() + 1 + name.size() > kKeyPathStep) {
      steps.push_back(std::move(piece));
      piece.clear();
    }
    if (!piece.empty()) piece += '\\';
    piece += name;
    if (next == std::string::npos) break;
    start = next + 1;
  }
  if (!piece.empty()) steps.push_back(std::move(piece));
  return steps;
}

long StepKeyPath(RegistryAccess& registry, const reg::Key& root, const std::string& subkey,
                 std::uint32_t access, bool create, reg::Key* result) {
  if (subkey.size() <= kKeyPathStep) {
    return create ? registry.CreateKey(root, subkey, "", access, result, nullptr)
                  : registry.OpenKey(root, subkey, access, result);
  }
  const std::vector<std::string> steps = PathSteps(subkey);
  reg::Key current;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const std::uint32_t step_access =
        i + 1 == steps.size() ? access : (create ? reg::access::kAll : reg::access::kRead);
    reg::Key next;
    const reg::Key& parent = i == 0 ? root : current;
    long status = create ? registry.CreateKey(parent, steps[i], "", step_access, &next, nullptr)
                         : registry.OpenKey(parent, steps[i], step_access, &next);
    if (status != reg::kOk) {
      result->Close();
      return status;
    }
    current = std::move(next);
  }
  *result = std::move(current);
  return reg::kOk;
}

}  // namespace

long OpenKeyPath(RegistryAccess& registry, const reg::Key& root, const std::string& subkey,
                 std::uint32_t access, reg::Key* result) {
  return StepKeyPath(registry, root, subkey, access, /*create=*/false, result);
}

long CreateKeyPath(RegistryAccess& registry, const reg::Key& root, const std::string& subkey,
                   std::uint32_t access, reg::Key* result) {
  return StepKeyPath(registry, root, subkey, access, /*create=*/true, result);
}

long DeleteKeyTree(RegistryAccess& registry, const reg::Key& parent, const std::string& name,
                   const std::string& path_prefix, RegWriter* writer) {
  if (name.empty()) return kBadKey;
  const bool record = writer != nullptr && !path_prefix.empty();
  std::vector<DeleteFrame> stack;
  stack.emplace_back();
  long status = registry.OpenKey(parent, name, reg::access::kRead, &stack.back().key);
  if (status != reg::kOk) return status;
  stack.back().name = name;
  if (record) {
    stack.back().path = path_prefix + (path_prefix.back() == '\\' ? "" : "\\") + name;
    status = RecordKey(registry, stack.back().key, stack.back().path, writer);
  }
  // Each round takes subkey number 0 of the deepest key, until it has none; then that key is
  // deleted from the key above it.
  while (status == reg::kOk && !stack.empty()) {
    std::string child;
    status = registry.EnumKey(stack.back().key, 0, &child);
    if (status == reg::kNoMoreItems) {
      DeleteFrame done = std::move(stack.back());
      stack.pop_back();
      done.key.Close();
      status = registry.DeleteKey(stack.empty() ? parent : stack.back().key, done.name);
      continue;
    }
    if (status != reg::kOk) break;
    DeleteFrame frame;
    status = registry.OpenKey(stack.back().key, child, reg::access::kRead, &frame.key);
    if (status != reg::kOk) break;
    frame.name = child;
    if (record) {
      frame.path = stack.back().path + "\\" + child;
      status = RecordKey(registry, frame.key, frame.path, writer);
    }
    stack.push_back(std::move(frame));
  }
  return status;
}

long TransferKeyTree(RegistryAccess& registry, const reg::Key& from_parent, const std::string& from,
                     const reg::Key& to_parent, const std::string& to, TreeTransfer mode,
                     bool same_parent) {
  if (from.empty() || to.empty()) return kBadKey;
  if (same_parent && cp::EqualsIgnoreCase(from, to)) {
    if (from == to || mode == TreeTransfer::kCopy) return reg::kOk;
    // The registry takes names that differ in case only for one name: go through another.
    const std::string between = to + "__";
    long status = TransferKeyTree(registry, from_parent, from, to_parent, between, mode, true);
    if (status != reg::kOk) return status;
    status = TransferKeyTree(registry, to_parent, between, to_parent, to, mode, true);
    if (status != reg::kOk) {
      TransferKeyTree(registry, to_parent, between, from_parent, from, mode, true);
    }
    return status;
  }
  long status = CopyTree(registry, from_parent, from, to_parent, to);
  if (status != reg::kOk || mode == TreeTransfer::kCopy) return status;
  status = DeleteKeyTree(registry, from_parent, from, "", nullptr);
  if (status != reg::kOk) {
    // The source is gone in part, its copy is whole: the missing part goes back into the source
    // (what is left of it is unchanged, since keys are deleted whole) and the copy goes, so that
    // the move fails as a whole.
    if (CopyTree(registry, to_parent, to, from_parent, from, /*merge=*/true) == reg::kOk) {
      DeleteKeyTree(registry, to_parent, to, "", nullptr);
    }
  }
  return status;
}

}  // namespace tsl
