// Importing a .REG file: value sections, rename and copy markers, value references, and the
// undo file that puts everything back.
//
// The undo file is written with RegWriter::Order::kReversed: every undo entry reaches the file
// before the change it undoes (so a stopped process leaves a record of each change made), and
// when the import ends the file is rewritten with the entries last-first. Importing it then
// undoes the changes in the reverse order of making them, which is what restores the state
// before the import whatever its sections did to each other: a key renamed and then given
// values gets its values back before it is moved back, and a value set twice gets the older
// data last. A key the import had to create gets an entry that deletes it again. Should the
// process stop during the import, the file holds the entries in the order made.
#include <algorithm>
#include <optional>

#include "platform/clock.h"
#include "platform/code_page.h"
#include "registry/key_path.h"
#include "registry/key_tree.h"
#include "registry/reg_file.h"
#include "registry/registry_access.h"
#include "resources/string_table.h"

namespace tsl {
namespace {

constexpr std::string_view kRenameMarker = "RT_Rename_Key";
constexpr std::string_view kCopyMarker = "RT_Copy_Key";

// A key path of a section or marker, resolved: environment markers expanded (local keys only,
// as the key path reader does), runs of `\` made one and a closing `\` dropped.
struct ResolvedKey {
  std::string path;    // as written to the undo file
  std::string prefix;  // the root part of `path`, up to the subkey
  std::string subkey;
  reg::Key root;
  bool valid() const { return root.valid(); }
};

bool IsRemote(const std::string& path) {
  const std::string my_registry = TableText(text_id::kMyRegistry);
  std::string_view rest = path;
  if (rest.substr(0, my_registry.size()) == my_registry) rest.remove_prefix(my_registry.size() + 1);
  return rest.substr(0, 2) == "\\\\";
}

std::string NormalizedPath(const std::string& raw) {
  std::string text = raw;
  if (IsRemote(text)) {
    if (!text.empty() && text.back() == '\\') text.pop_back();
    return text;
  }
  ExpandEnvironmentMarkers(&text);
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\' && !out.empty() && out.back() == '\\') continue;
    out.push_back(c);
  }
  if (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

ResolvedKey Resolve(RegistryAccess& registry, const std::string& raw) {
  ResolvedKey key;
  key.path = NormalizedPath(raw);
  ParsedKeyPath parsed = ParseKeyPath(registry, key.path);
  if (!parsed.root.valid() || parsed.subkey.size() > key.path.size()) return key;
  key.root = std::move(parsed.root);
  key.subkey = std::move(parsed.subkey);
  key.prefix = key.path.substr(0, key.path.size() - key.subkey.size());
  return key;
}

// The path as compared: letter case ignored and the "My Registry" prefix left out.
std::string ComparablePath(const std::string& path) {
  const std::string my_registry = TableText(text_id::kMyRegistry);
  std::string_view text = path;
  if (text.substr(0, my_registry.size()) == my_registry && text.size() > my_registry.size()) {
    text.remove_prefix(my_registry.size() + 1);
  }
  return cp::ToUpper(text);
}

// `subkey` split at its last `\`.
std::pair<std::string, std::string> SplitLast(const std::string& subkey) {
  std::size_t last = subkey.rfind('\\');
  if (last == std::string::npos) return {"", subkey};
  return {subkey.substr(0, last), subkey.substr(last + 1)};
}

std::string JoinKey(const std::string& prefix, const std::string& subkey) {
  if (subkey.empty()) {
    return !prefix.empty() && prefix.back() == '\\' ? prefix.substr(0, prefix.size() - 1) : prefix;
  }
  if (prefix.empty() || prefix.back() == '\\') return prefix + subkey;
  return prefix + "\\" + subkey;
}

// The first key on the way to `subkey` below `root` that does not exist (empty when all do),
// found one name at a time from the root, each opened below the one before (work that grows
// with the path's length, however deep it goes). Only a clear "not found" counts as missing:
// any other failure is returned, so that a key that cannot be looked at is never taken for one
// the import creates.
long FirstMissingKey(RegistryAccess& registry, const reg::Key& root, const std::string& subkey,
                     std::string* missing) {
  missing->clear();
  reg::Key current;
  for (std::size_t start = 0; start < subkey.size();) {
    std::size_t end = std::min(subkey.find('\\', start), subkey.size());
    reg::Key next;
    long status = registry.OpenKey(start == 0 ? root : current, subkey.substr(start, end - start),
                                   reg::access::kRead, &next);
    if (status == reg::kNotFound) {
      *missing = subkey.substr(0, end);
      return reg::kOk;
    }
    if (status != reg::kOk) return status;
    current = std::move(next);
    start = end + 1;
  }
  return reg::kOk;
}

class Importer {
 public:
  Importer(RegistryAccess& registry, RegWriter* writer, bool from_utf16)
      : registry_(registry), writer_(writer), from_utf16_(from_utf16) {}

  // The number of entries the section applied.
  long ImportSection(const ScriptSection& section) {
    const auto& lines = section.lines();
    if (lines.size() == 1) {
      RegValueLine line = ParseRegValue(lines[0], from_utf16_);
      if (line.kind != RegValueLine::Kind::kInvalid &&
          (line.name == kRenameMarker || line.name == kCopyMarker)) {
        return CarryOutMarker(section.name(), line) ? 1 : 0;
      }
    }
    return ImportValues(section);
  }

 private:
  // Opens the key, creating it (and the keys on its way) when missing; the undo file then
  // gets an entry that deletes the first key created.
  long OpenOrCreate(const ResolvedKey& key, std::uint32_t access, reg::Key* result,
                    std::string* created_first) {
    created_first->clear();
    long status = OpenKeyPath(registry_, key.root, key.subkey, access, result);
    if (status != reg::kNotFound) return status;
    std::string missing;
    status = FirstMissingKey(registry_, key.root, key.subkey, &missing);
    if (status != reg::kOk) return status;
    if (!missing.empty()) {
      static const std::string kNoTarget(1, '\0');
      WriteMarker(JoinKey(key.prefix, missing), kNoTarget);
      *created_first = missing;
    }
    return CreateKeyPath(registry_, key.root, key.subkey, access, result);
  }

  // A section of its own for an "RT_Rename_Key" entry.
  void WriteMarker(const std::string& key_path, const std::string& target) {
    if (!writer_) return;
    static const std::string kName(kRenameMarker);
    writer_->ForgetHeader();
    writer_->WriteEntry(key_path, &kName, reg::type::kString, &target);
    writer_->ForgetHeader();
  }

  long ImportValues(const ScriptSection& section) {
    std::vector<RegValueLine> values;
    for (const std::string& text : section.lines()) {
      RegValueLine line = ParseRegValue(text, from_utf16_);
      if (line.kind != RegValueLine::Kind::kInvalid) values.push_back(std::move(line));
    }
    if (values.empty()) return 0;
    ResolvedKey key = Resolve(registry_, section.name());
    if (!key.valid()) return 0;
    reg::Key handle;
    std::string created;
    if (OpenOrCreate(key, reg::access::kAll, &handle, &created) != reg::kOk) return 0;
    long count = 0;
    for (RegValueLine& line : values) {
      ++count;
      if (line.kind == RegValueLine::Kind::kReference) ReadReference(&line);
      ExpandEnvironmentMarkers(&line.name);
      if (line.kind == RegValueLine::Kind::kSet && line.type != reg::type::kDword &&
          line.type != reg::type::kQword) {
        ExpandEnvironmentMarkers(&line.data);
      }
      if (writer_) {
        std::uint32_t type = 0;
        std::string data;
        long status = registry_.QueryValue(handle, line.name, &type, &data);
        if (status == reg::kOk) {
          writer_->WriteEntry(key.path, &line.name, type, &data);
        } else if (status == reg::kNotFound) {
          writer_->WriteEntry(key.path, &line.name, 0, nullptr);
        } else {
          continue;  // its state is not known, so it is not changed
        }
      }
      // Setting replaces the value in one step: a set that fails leaves the old value.
      if (line.kind == RegValueLine::Kind::kSet) {
        registry_.SetValue(handle, line.name, line.type, line.data);
      } else {
        registry_.DeleteValue(handle, line.name);
      }
    }
    return count;
  }

  // Replaces a value reference by the type and data it names; one that cannot be read becomes
  // a deletion.
  void ReadReference(RegValueLine* line) {
    line->kind = RegValueLine::Kind::kDelete;
    ResolvedKey key = Resolve(registry_, line->reference_key);
    if (!key.valid()) return;
    reg::Key handle;
    if (OpenKeyPath(registry_, key.root, key.subkey, reg::access::kRead, &handle) != reg::kOk)
      return;
    if (registry_.QueryValue(handle, line->reference_value, &line->type, &line->data) == reg::kOk) {
      line->kind = RegValueLine::Kind::kSet;
    }
  }

  // Moves, copies or deletes the section's key; false when refused or failed (the registry is
  // then as it was).
  bool CarryOutMarker(const std::string& section_name, const RegValueLine& marker) {
    const bool copy = marker.name == kCopyMarker;
    if (marker.kind != RegValueLine::Kind::kSet ||
        (marker.type != reg::type::kString && marker.type != reg::type::kExpandString)) {
      return false;
    }
    // Only a target written empty deletes the key: one that environment markers make empty
    // names no key and is refused.
    const std::string target_text = marker.data.substr(0, marker.data.find('\0'));
    ResolvedKey source = Resolve(registry_, section_name);
    if (!source.valid() || source.subkey.empty()) return false;
    auto [source_parent, source_leaf] = SplitLast(source.subkey);
    if (target_text.empty()) {
      if (copy) return false;
      reg::Key parent;
      if (OpenKeyPath(registry_, source.root, source_parent, reg::access::kAll, &parent) !=
          reg::kOk) {
        return false;
      }
      return DeleteKeyTree(registry_, parent, source_leaf,
                           writer_ ? JoinKey(source.prefix, source_parent) : "",
                           writer_) == reg::kOk;
    }
    ResolvedKey target = Resolve(registry_, target_text);
    if (!target.valid() || target.subkey.empty()) return false;
    const std::string source_compared = ComparablePath(source.path);
    const std::string target_compared = ComparablePath(target.path);
    // A target inside the source would be copied into itself without end.
    if (target_compared.size() > source_compared.size() &&
        target_compared.compare(0, source_compared.size(), source_compared) == 0 &&
        target_compared[source_compared.size()] == '\\') {
      return false;
    }
    auto [target_parent, target_leaf] = SplitLast(target.subkey);
    const bool same_key = source_compared == target_compared;
    if (same_key && (source.path == target.path || copy)) return true;  // nothing to do
    const bool same_parent = ComparablePath(JoinKey(source.prefix, source_parent)) ==
                             ComparablePath(JoinKey(target.prefix, target_parent));

    // The source must exist and the target must not (unless it is the source in other case).
    reg::Key probe;
    if (OpenKeyPath(registry_, source.root, source.subkey, reg::access::kRead, &probe) !=
        reg::kOk) {
      return false;
    }
    if (!same_key) {
      long status = OpenKeyPath(registry_, target.root, target.subkey, reg::access::kRead, &probe);
      if (status != reg::kNotFound) return false;
    }
    probe.Close();
    reg::Key from_parent, to_parent;
    if (OpenKeyPath(registry_, source.root, source_parent,
                    copy ? reg::access::kRead : reg::access::kAll, &from_parent) != reg::kOk) {
      return false;
    }
    ResolvedKey target_parent_key;
    target_parent_key.path = JoinKey(target.prefix, target_parent);
    target_parent_key.prefix = target.prefix;
    target_parent_key.subkey = target_parent;
    target_parent_key.root = std::move(target.root);
    std::string created;
    if (OpenOrCreate(target_parent_key, reg::access::kAll, &to_parent, &created) != reg::kOk) {
      return false;
    }
    // Undoing a move moves the key back; undoing a copy deletes it.
    WriteMarker(target.path, copy ? std::string(1, '\0') : source.path + '\0');
    long status = TransferKeyTree(registry_, from_parent, source_leaf, to_parent, target_leaf,
                                  copy ? TreeTransfer::kCopy : TreeTransfer::kMove, same_parent);
    if (status != reg::kOk && !created.empty()) {
      // The keys made for the target go again.
      to_parent.Close();
      auto [created_parent, created_leaf] = SplitLast(created);
      reg::Key above;
      if (OpenKeyPath(registry_, target_parent_key.root, created_parent, reg::access::kAll,
                      &above) == reg::kOk) {
        DeleteKeyTree(registry_, above, created_leaf, "", nullptr);
      }
    }
    return status == reg::kOk;
  }

  RegistryAccess& registry_;
  RegWriter* writer_;
  bool from_utf16_;
};

}  // namespace

long RegFile::Import(RegistryAccess& registry, const std::string& undo_folder,
                     std::string* undo_path) {
  if (undo_path) undo_path->clear();
  RegWriter writer;
  if (!undo_folder.empty()) {
    if (!writer.OpenUndoFile(undo_folder, LocalNow(), RegWriter::Order::kReversed)) return -1;
    if (undo_path) *undo_path = writer.path();
  }
  Importer importer(registry, writer.is_open() ? &writer : nullptr, converted_from_utf16_);
  long count = 0;
  for (const auto& section : document_.sections()) count += importer.ImportSection(*section);
  writer.Close();
  return count;
}

}  // namespace tsl
