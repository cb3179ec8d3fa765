// The SQLite layer below the Linux registry: one database file holds every key and value, each
// key a row with its parent's id, each value a row with its key's id. Keys are addressed by row
// id, so a handle keeps pointing at its key (and learns that it was deleted) whatever happens to
// the names around it. Every change is committed before the call returns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tsl::reg {

using KeyId = std::int64_t;

/// Row id of a root key; every store holds the six roots from the start.
KeyId RootKeyId(Root root);

/// Lists of subkey names or value ids per key, kept while nothing changes them, so that walking
/// the subkeys or values of a key by index reads the list once. Holds the most recently used
/// lists only.
template <typename T>
class ListCache {
 public:
  const std::vector<T>* Find(KeyId key);
  const std::vector<T>& Put(KeyId key, std::vector<T> list);
  /// The list to bring up to date after a change of this connection; null when none is kept.
  std::vector<T>* Edit(KeyId key);
  void Forget(KeyId key) { entries_.erase(key); }
  void Clear() { entries_.clear(); }

 private:
  static constexpr std::size_t kCapacity = 256;
  struct Entry {
    std::uint64_t last_use = 0;
    std::vector<T> list;
  };
  std::unordered_map<KeyId, Entry> entries_;
  std::uint64_t clock_ = 0;
};

class RegistryStore {
 public:
  /// Opens the database at `path`, creating it and its tables when missing.
  static long Open(const std::string& path, std::unique_ptr<RegistryStore>* store);
  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  const std::string& path() const { return path_; }

  /// kOk while the key exists, kKeyDeleted once it is gone.
  long CheckKey(KeyId key);
  /// The subkey of that name (compared ignoring case); kNotFound when there is none.
  long FindSubkey(KeyId parent, std::string_view name, KeyId* child);
  /// Walks `names` down from `parent`; kNotFound when one is missing.
  long FindPath(KeyId parent, const std::vector<std::string>& names, KeyId* key);
  /// Walks `names` down from `parent`, creating what is missing (the last key with
  /// `class_name`), all in one transaction.
  long CreatePath(KeyId parent, const std::vector<std::string>& names,
                  const std::string& class_name, KeyId* key, bool* created);
  /// Deletes a key and its values; kAccessDenied when it has subkeys.
  long DeleteLeaf(KeyId key);

  long SubkeyName(KeyId key, std::uint32_t index, std::string* name);
  long ValueAt(KeyId key, std::uint32_t index, std::string* name, std::uint32_t* type,
               std::string* data);
  /// ValueAt for a key that must still exist (kKeyDeleted once it is gone), with one look at
  /// the database's version for both checks: what a walk over a key's values calls per value.
  long LiveValueAt(KeyId key, std::uint32_t index, std::string* name, std::uint32_t* type,
                   std::string* data);
  long GetValue(KeyId key, std::string_view name, std::uint32_t* type, std::string* data);
  long PutValue(KeyId key, std::string_view name, std::uint32_t type, std::string_view data);
  long RemoveValue(KeyId key, std::string_view name);
  long Info(KeyId key, KeyInfo* info);

 private:
  class Query;
  class Transaction;
  enum class Sql : int;

  RegistryStore(std::string path, sqlite3* db);
  long CreateSchema();
  sqlite3_stmt* Statement(Sql sql);
  long Execute(Sql sql);
  /// Drops every cached list when another connection has committed since the last look.
  long NoticeOtherWriters();
  void NoteSubkeyAdded(KeyId parent, const std::string& name);
  void NoteSubkeyRemoved(KeyId parent, const std::string& name);

  std::string path_;
  sqlite3* db_ = nullptr;
  std::unordered_map<int, sqlite3_stmt*> statements_;
  std::int64_t data_version_ = -1;
  long ValueAtCurrent(KeyId key, std::uint32_t index, std::string* name, std::uint32_t* type,
                      std::string* data);

  ListCache<std::string> subkeys_;
  ListCache<std::int64_t> values_;
  // The rows of values that follow the one asked for last, read in one query, so that taking a
  // key's values one by one costs one query per batch, not one per value.
  struct ValueRow {
    bool found = false;
    std::string name;
    std::uint32_t type = 0;
    std::string data;
  };
  KeyId batch_key_ = -1;
  std::size_t batch_first_ = 0;
  std::vector<ValueRow> batch_;
};

}  // namespace tsl::reg
