// The SQLite layer of the Linux registry. Names are stored twice: as written, and upper-cased
// with the ANSI code page ("folded"), which is what lookups and the subkey order use. Both are
// BLOBs, so that bytes of 128 and above stay as they are and compare bytewise.
//
// Several processes may share the file: the database runs in WAL mode where the file system
// allows it, every change that takes more than one statement runs in an IMMEDIATE transaction,
// and a busy timeout makes a writer wait for another instead of failing.
#include "platform/posix/registry_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <utility>

#include "platform/code_page.h"

namespace tsl::reg {

namespace {

constexpr int kBusyTimeoutMs = 15000;
constexpr int kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent INTEGER REFERENCES keys(id),
  name BLOB NOT NULL,
  folded BLOB NOT NULL,
  class BLOB NOT NULL DEFAULT x'');
CREATE UNIQUE INDEX IF NOT EXISTS keys_by_name ON keys(parent, folded);
CREATE TABLE IF NOT EXISTS key_values(
  id INTEGER PRIMARY KEY,
  key_id INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
  name BLOB NOT NULL,
  folded BLOB NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL);
CREATE UNIQUE INDEX IF NOT EXISTS values_by_name ON key_values(key_id, folded);
)sql";

// The roots, in the order of Root; their row ids are 1 to 6.
constexpr Root kRoots[] = {Root::kClassesRoot, Root::kCurrentUser,   Root::kLocalMachine,
                           Root::kUsers,       Root::kCurrentConfig, Root::kDynData};

long StatusOf(int code) {
  switch (code & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return kOk;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return kAccessDenied;
    case SQLITE_CONSTRAINT:
      // A row that refers to a key another handle or process has deleted.
      return code == SQLITE_CONSTRAINT_FOREIGNKEY ? kKeyDeleted : kIoFailed;
    default:
      return kIoFailed;
  }
}

std::string Fold(std::string_view name) { return cp::ToUpper(name); }

// Subkey lists are sorted by folded name; std::string compares bytes as unsigned.
bool FoldedLess(const std::string& a, const std::string& b) { return Fold(a) < Fold(b); }

}  // namespace

KeyId RootKeyId(Root root) { return static_cast<KeyId>(root) + 1; }

// ---------------------------------------------------------------------------------------------
// List cache

template <typename T>
const std::vector<T>* ListCache<T>::Find(KeyId key) {
  auto found = entries_.find(key);
  if (found == entries_.end()) return nullptr;
  found->second.last_use = ++clock_;
  return &found->second.list;
}

template <typename T>
std::vector<T>* ListCache<T>::Edit(KeyId key) {
  auto found = entries_.find(key);
  return found == entries_.end() ? nullptr : &found->second.list;
}

template <typename T>
const std::vector<T>& ListCache<T>::Put(KeyId key, std::vector<T> list) {
  if (entries_.size() >= kCapacity && !entries_.count(key)) {
    auto oldest = entries_.begin();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->second.last_use < oldest->second.last_use) oldest = it;
    }
    entries_.erase(oldest);
  }
  Entry& entry = entries_[key];
  entry.last_use = ++clock_;
  entry.list = std::move(list);
  return entry.list;
}

template class ListCache<std::string>;
template class ListCache<std::int64_t>;

// ---------------------------------------------------------------------------------------------
// Statements

enum class RegistryStore::Sql : int {
  kBegin,
  kCommit,
  kRollback,
  kDataVersion,
  kCheckKey,
  kParentAndName,
  kFindSubkey,
  kInsertKey,
  kHasSubkeys,
  kDeleteKey,
  kListSubkeys,
  kListValues,
  kValueById,
  kGetValue,
  kUpdateValue,
  kInsertValue,
  kDeleteValue,
  kClassOf,
  kSubkeyInfo,
  kValueInfo,
  kValueBatch,
};

// How many values kValueBatch reads at once.
constexpr std::size_t kValueBatchSize = 64;

namespace {

const char* SqlText(int sql) {
  static const char* const kTexts[] = {
      "BEGIN IMMEDIATE",
      "COMMIT",
      "ROLLBACK",
      "PRAGMA data_version",
      "SELECT 1 FROM keys WHERE id = ?1",
      "SELECT parent, name FROM keys WHERE id = ?1",
      "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2",
      "INSERT INTO keys(parent, name, folded, class) VALUES (?1, ?2, ?3, ?4)",
      "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1",
      "DELETE FROM keys WHERE id = ?1",
      "SELECT name FROM keys WHERE parent = ?1 ORDER BY folded",
      "SELECT id FROM key_values WHERE key_id = ?1 ORDER BY id",
      "SELECT name, type, data FROM key_values WHERE id = ?1",
      "SELECT type, data FROM key_values WHERE key_id = ?1 AND folded = ?2",
      "UPDATE key_values SET type = ?3, data = ?4 WHERE key_id = ?1 AND folded = ?2",
      "INSERT INTO key_values(key_id, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5)",
      "DELETE FROM key_values WHERE key_id = ?1 AND folded = ?2 RETURNING id",
      "SELECT class FROM keys WHERE id = ?1",
      "SELECT count(*), coalesce(max(length(name)), 0) FROM keys WHERE parent = ?1",
      ("SELECT count(*), coalesce(max(length(name)), 0), coalesce(max(length(data)), 0) "
       "FROM key_values WHERE key_id = ?1"),
  };
  static const std::string batch = [] {
    std::string text = "SELECT id, name, type, data FROM key_values WHERE id IN (?1";
    for (std::size_t i = 2; i <= kValueBatchSize; ++i) text += ", ?" + std::to_string(i);
    return text + ")";
  }();
  if (sql == static_cast<int>(std::size(kTexts))) return batch.c_str();
  return kTexts[sql];
}

}  // namespace

// One use of a prepared statement: binds in order, steps, reads columns, and resets the
// statement when it goes away.
class RegistryStore::Query {
 public:
  explicit Query(sqlite3_stmt* statement) : statement_(statement) {}
  ~Query() {
    if (statement_) {
      sqlite3_reset(statement_);
      sqlite3_clear_bindings(statement_);
    }
  }
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  Query& Bind(std::int64_t number) {
    if (statement_) sqlite3_bind_int64(statement_, ++bound_, number);
    return *this;
  }
  Query& Bind(std::string_view bytes) {
    // A zero-length BLOB needs a non-null pointer, or SQLite stores NULL.
    static const char kEmpty = 0;
    if (statement_) {
      sqlite3_bind_blob(statement_, ++bound_, bytes.empty() ? &kEmpty : bytes.data(),
                        static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    }
    return *this;
  }
  /// SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return statement_ ? sqlite3_step(statement_) : SQLITE_ERROR; }
  std::int64_t Number(int column) { return sqlite3_column_int64(statement_, column); }
  std::string Bytes(int column) {
    const void* bytes = sqlite3_column_blob(statement_, column);
    int size = sqlite3_column_bytes(statement_, column);
    return bytes ? std::string(static_cast<const char*>(bytes), size) : std::string();
  }

 private:
  sqlite3_stmt* statement_;
  int bound_ = 0;
};

// BEGIN IMMEDIATE (the write lock from the start, so that a reader never has to be upgraded);
// rolled back unless committed.
class RegistryStore::Transaction {
 public:
  explicit Transaction(RegistryStore& store) : store_(store) {
    status_ = store_.Execute(Sql::kBegin);
  }
  ~Transaction() {
    if (status_ == kOk && !done_) store_.Execute(Sql::kRollback);
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  long status() const { return status_; }
  long Commit() {
    done_ = true;
    long status = store_.Execute(Sql::kCommit);
    if (status != kOk) store_.Execute(Sql::kRollback);
    return status;
  }

 private:
  RegistryStore& store_;
  long status_;
  bool done_ = false;
};

sqlite3_stmt* RegistryStore::Statement(Sql sql) {
  int index = static_cast<int>(sql);
  auto found = statements_.find(index);
  if (found != statements_.end()) return found->second;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v3(db_, SqlText(index), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
      SQLITE_OK) {
    return nullptr;
  }
  statements_[index] = statement;
  return statement;
}

long RegistryStore::Execute(Sql sql) {
  Query query(Statement(sql));
  int code;
  while ((code = query.Step()) == SQLITE_ROW) {
  }
  return StatusOf(code);
}

// ---------------------------------------------------------------------------------------------
// Opening

RegistryStore::RegistryStore(std::string path, sqlite3* db) : path_(std::move(path)), db_(db) {}

RegistryStore::~RegistryStore() {
  for (auto& entry : statements_) sqlite3_finalize(entry.second);
  sqlite3_close(db_);
}

long RegistryStore::Open(const std::string& path, std::unique_ptr<RegistryStore>* store) {
  sqlite3* db = nullptr;
  int code =
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::unique_ptr<RegistryStore> opened(new RegistryStore(path, db));
  if (code != SQLITE_OK) return StatusOf(code) == kAccessDenied ? kAccessDenied : kIoFailed;
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  long status = opened->CreateSchema();
  if (status != kOk) return status;
  *store = std::move(opened);
  return kOk;
}

long RegistryStore::CreateSchema() {
  // WAL lets readers go on while another process writes; a file system without shared memory
  // keeps the rollback journal, which works too, only with less concurrency.
  const char* settings =
      "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL; PRAGMA foreign_keys = ON;";
  if (sqlite3_exec(db_, settings, nullptr, nullptr, nullptr) != SQLITE_OK) return kIoFailed;
  Transaction transaction(*this);
  if (transaction.status() != kOk) return transaction.status();
  int code = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) return StatusOf(code);
  for (Root root : kRoots) {
    std::string sql = "INSERT OR IGNORE INTO keys(id, parent, name, folded) VALUES (" +
                      std::to_string(RootKeyId(root)) + ", NULL, CAST('" + RootName(root) +
                      "' AS BLOB), CAST('" + RootName(root) + "' AS BLOB))";
    code = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) return StatusOf(code);
  }
  std::string version = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
  code = sqlite3_exec(db_, version.c_str(), nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) return StatusOf(code);
  return transaction.Commit();
}

long RegistryStore::NoticeOtherWriters() {
  Query query(Statement(Sql::kDataVersion));
  int code = query.Step();
  if (code != SQLITE_ROW) return StatusOf(code);
  std::int64_t version = query.Number(0);
  if (version != data_version_) {
    data_version_ = version;
    subkeys_.Clear();
    values_.Clear();
    batch_key_ = -1;
  }
  return kOk;
}

// ---------------------------------------------------------------------------------------------
// Keys

long RegistryStore::CheckKey(KeyId key) {
  Query query(Statement(Sql::kCheckKey));
  int code = query.Bind(key).Step();
  if (code == SQLITE_ROW) return kOk;
  return code == SQLITE_DONE ? kKeyDeleted : StatusOf(code);
}

long RegistryStore::FindSubkey(KeyId parent, std::string_view name, KeyId* child) {
  Query query(Statement(Sql::kFindSubkey));
  int code = query.Bind(parent).Bind(Fold(name)).Step();
  if (code == SQLITE_ROW) {
    *child = query.Number(0);
    return kOk;
  }
  return code == SQLITE_DONE ? kNotFound : StatusOf(code);
}

long RegistryStore::FindPath(KeyId parent, const std::vector<std::string>& names, KeyId* key) {
  long status = CheckKey(parent);
  for (std::size_t i = 0; status == kOk && i < names.size(); ++i) {
    status = FindSubkey(parent, names[i], &parent);
  }
  if (status == kOk) *key = parent;
  return status;
}

long RegistryStore::CreatePath(KeyId parent, const std::vector<std::string>& names,
                               const std::string& class_name, KeyId* key, bool* created) {
  // Most calls open keys that exist already: find them without taking the write lock.
  long status = FindPath(parent, names, key);
  *created = false;
  if (status != kNotFound) return status;

  Transaction transaction(*this);
  if (transaction.status() != kOk) return transaction.status();
  std::vector<std::pair<KeyId, const std::string*>> added;
  KeyId current = parent;
  status = CheckKey(parent);
  for (std::size_t i = 0; status == kOk && i < names.size(); ++i) {
    KeyId child = 0;
    status = FindSubkey(current, names[i], &child);
    if (status == kNotFound) {
      bool last = i + 1 == names.size();
      Query insert(Statement(Sql::kInsertKey));
      status = StatusOf(insert.Bind(current)
                            .Bind(names[i])
                            .Bind(Fold(names[i]))
                            .Bind(last ? std::string_view(class_name) : std::string_view())
                            .Step());
      child = sqlite3_last_insert_rowid(db_);
      added.emplace_back(current, &names[i]);
    }
    current = child;
  }
  if (status == kOk) status = transaction.Commit();
  if (status != kOk) return status;
  for (const auto& [at, name] : added) NoteSubkeyAdded(at, *name);
  *key = current;
  *created = !added.empty() && added.back().second == &names.back();
  return kOk;
}

long RegistryStore::DeleteLeaf(KeyId key) {
  Transaction transaction(*this);
  if (transaction.status() != kOk) return transaction.status();
  KeyId parent = 0;
  std::string name;
  {
    Query query(Statement(Sql::kParentAndName));
    int code = query.Bind(key).Step();
    if (code == SQLITE_DONE) return kKeyDeleted;
    if (code != SQLITE_ROW) return StatusOf(code);
    parent = query.Number(0);
    name = query.Bytes(1);
  }
  {
    Query children(Statement(Sql::kHasSubkeys));
    int code = children.Bind(key).Step();
    if (code == SQLITE_ROW) return kAccessDenied;  // what Windows NT says to a key with subkeys
    if (code != SQLITE_DONE) return StatusOf(code);
  }
  long status;
  {
    Query erase(Statement(Sql::kDeleteKey));
    status = StatusOf(erase.Bind(key).Step());
  }
  if (status == kOk) status = transaction.Commit();
  if (status != kOk) return status;
  NoteSubkeyRemoved(parent, name);
  subkeys_.Forget(key);
  values_.Forget(key);
  if (batch_key_ == key) batch_key_ = -1;
  return kOk;
}

// Changes of this connection are applied to the cached lists in place: rebuilding the list of a
// key with many subkeys after every change would make a walk that deletes or renames as it goes
// quadratic.
void RegistryStore::NoteSubkeyAdded(KeyId parent, const std::string& name) {
  std::vector<std::string>* list = subkeys_.Edit(parent);
  if (!list) return;
  list->insert(std::upper_bound(list->begin(), list->end(), name, FoldedLess), name);
}

void RegistryStore::NoteSubkeyRemoved(KeyId parent, const std::string& name) {
  std::vector<std::string>* list = subkeys_.Edit(parent);
  if (!list) return;
  auto found = std::lower_bound(list->begin(), list->end(), name, FoldedLess);
  if (found != list->end() && cp::EqualsIgnoreCase(*found, name)) {
    list->erase(found);
  } else {
    subkeys_.Forget(parent);  // not where it should be: read the list again
  }
}

long RegistryStore::SubkeyName(KeyId key, std::uint32_t index, std::string* name) {
  long status = NoticeOtherWriters();
  if (status != kOk) return status;
  const std::vector<std::string>* names = subkeys_.Find(key);
  if (!names) {
    std::vector<std::string> list;
    Query query(Statement(Sql::kListSubkeys));
    query.Bind(key);
    int code;
    while ((code = query.Step()) == SQLITE_ROW) list.push_back(query.Bytes(0));
    if (code != SQLITE_DONE) return StatusOf(code);
    names = &subkeys_.Put(key, std::move(list));
  }
  if (index >= names->size()) return kNoMoreItems;
  *name = (*names)[index];
  return kOk;
}

long RegistryStore::Info(KeyId key, KeyInfo* info) {
  KeyInfo result;
  {
    Query query(Statement(Sql::kClassOf));
    int code = query.Bind(key).Step();
    if (code == SQLITE_DONE) return kKeyDeleted;
    if (code != SQLITE_ROW) return StatusOf(code);
    result.class_name = query.Bytes(0);
  }
  {
    Query query(Statement(Sql::kSubkeyInfo));
    int code = query.Bind(key).Step();
    if (code != SQLITE_ROW) return StatusOf(code);
    result.subkeys = static_cast<std::uint32_t>(query.Number(0));
    result.longest_subkey_name = static_cast<std::uint32_t>(query.Number(1));
  }
  {
    Query query(Statement(Sql::kValueInfo));
    int code = query.Bind(key).Step();
    if (code != SQLITE_ROW) return StatusOf(code);
    result.values = static_cast<std::uint32_t>(query.Number(0));
    result.longest_value_name = static_cast<std::uint32_t>(query.Number(1));
    result.longest_data = static_cast<std::uint32_t>(query.Number(2));
  }
  *info = std::move(result);
  return kOk;
}

// ---------------------------------------------------------------------------------------------
// Values

long RegistryStore::ValueAt(KeyId key, std::uint32_t index, std::string* name, std::uint32_t* type,
                            std::string* data) {
  long status = NoticeOtherWriters();
  if (status != kOk) return status;
  return ValueAtCurrent(key, index, name, type, data);
}

long RegistryStore::LiveValueAt(KeyId key, std::uint32_t index, std::string* name,
                                std::uint32_t* type, std::string* data) {
  // A value of the batch read last is given as it was read: a batch is one snapshot of a few
  // dozen values (a listing on Windows is no snapshot at all), writes of this connection drop
  // it, and the next batch looks for other writers again. This spares a locked read of the
  // database's version for every value of a long listing.
  if (batch_key_ == key && index >= batch_first_ && index < batch_first_ + batch_.size() &&
      batch_[index - batch_first_].found) {
    return ValueAtCurrent(key, index, name, type, data);
  }
  long status = NoticeOtherWriters();
  if (status != kOk) return status;
  // A cached list is proof enough that the key exists: this connection forgets the lists of a
  // key it deletes, and a commit of another connection drops them all.
  if (!values_.Find(key)) {
    status = CheckKey(key);
    if (status != kOk) return status;
  }
  return ValueAtCurrent(key, index, name, type, data);
}

long RegistryStore::ValueAtCurrent(KeyId key, std::uint32_t index, std::string* name,
                                   std::uint32_t* type, std::string* data) {
  const std::vector<std::int64_t>* ids = values_.Find(key);
  if (!ids) {
    std::vector<std::int64_t> list;
    Query query(Statement(Sql::kListValues));
    query.Bind(key);
    int code;
    while ((code = query.Step()) == SQLITE_ROW) list.push_back(query.Number(0));
    if (code != SQLITE_DONE) return StatusOf(code);
    ids = &values_.Put(key, std::move(list));
  }
  if (index >= ids->size()) return kNoMoreItems;
  if (batch_key_ != key || index < batch_first_ || index >= batch_first_ + batch_.size()) {
    batch_key_ = -1;
    std::size_t count = std::min(kValueBatchSize, ids->size() - index);
    std::vector<ValueRow> rows(count);
    Query query(Statement(Sql::kValueBatch));
    for (std::size_t i = 0; i < kValueBatchSize; ++i) {
      query.Bind(i < count ? (*ids)[index + i] : -1);
    }
    int code;
    while ((code = query.Step()) == SQLITE_ROW) {
      auto end = ids->begin() + static_cast<std::ptrdiff_t>(index + count);
      auto at = std::lower_bound(ids->begin() + index, end, query.Number(0));
      if (at == end || *at != query.Number(0)) continue;
      ValueRow& row = rows[static_cast<std::size_t>(at - ids->begin()) - index];
      row.found = true;
      row.name = query.Bytes(1);
      row.type = static_cast<std::uint32_t>(query.Number(2));
      row.data = query.Bytes(3);
    }
    if (code == SQLITE_DONE) {
      batch_ = std::move(rows);
      batch_first_ = index;
      batch_key_ = key;
    }
  }
  if (batch_key_ == key && batch_[index - batch_first_].found) {
    const ValueRow& row = batch_[index - batch_first_];
    *name = row.name;
    *type = row.type;
    *data = row.data;
    return kOk;
  }
  Query query(Statement(Sql::kValueById));
  int code = query.Bind((*ids)[index]).Step();
  if (code != SQLITE_ROW) {
    values_.Forget(key);  // not expected while the list is current; read it again next time
    return code == SQLITE_DONE ? kNoMoreItems : StatusOf(code);
  }
  *name = query.Bytes(0);
  *type = static_cast<std::uint32_t>(query.Number(1));
  *data = query.Bytes(2);
  return kOk;
}

long RegistryStore::GetValue(KeyId key, std::string_view name, std::uint32_t* type,
                             std::string* data) {
  Query query(Statement(Sql::kGetValue));
  int code = query.Bind(key).Bind(Fold(name)).Step();
  if (code == SQLITE_DONE) return kNotFound;
  if (code != SQLITE_ROW) return StatusOf(code);
  *type = static_cast<std::uint32_t>(query.Number(0));
  *data = query.Bytes(1);
  return kOk;
}

long RegistryStore::PutValue(KeyId key, std::string_view name, std::uint32_t type,
                             std::string_view data) {
  std::string folded = Fold(name);
  Transaction transaction(*this);
  if (transaction.status() != kOk) return transaction.status();
  long status;
  {
    // A value that is set again keeps its name as first written and its place in the order.
    Query update(Statement(Sql::kUpdateValue));
    status = StatusOf(update.Bind(key).Bind(folded).Bind(type).Bind(data).Step());
  }
  std::int64_t added = 0;
  if (status == kOk && sqlite3_changes(db_) == 0) {
    Query insert(Statement(Sql::kInsertValue));
    status = StatusOf(insert.Bind(key).Bind(name).Bind(folded).Bind(type).Bind(data).Step());
    added = sqlite3_last_insert_rowid(db_);
  }
  if (status == kOk) status = transaction.Commit();
  if (batch_key_ == key) batch_key_ = -1;
  if (status != kOk) return status;
  // A new row id is the largest of the table, so the new value is the last of its key.
  if (std::vector<std::int64_t>* ids = added ? values_.Edit(key) : nullptr) ids->push_back(added);
  return kOk;
}

long RegistryStore::RemoveValue(KeyId key, std::string_view name) {
  std::int64_t removed = 0;
  if (batch_key_ == key) batch_key_ = -1;
  {
    Query erase(Statement(Sql::kDeleteValue));
    int code = erase.Bind(key).Bind(Fold(name)).Step();
    if (code == SQLITE_DONE) return kNotFound;
    if (code != SQLITE_ROW) return StatusOf(code);
    removed = erase.Number(0);
    // The deletion is complete only when the statement has run to its end.
    while ((code = erase.Step()) == SQLITE_ROW) {
    }
    if (code != SQLITE_DONE) return StatusOf(code);
  }
  if (std::vector<std::int64_t>* ids = values_.Edit(key)) {
    auto found = std::find(ids->begin(), ids->end(), removed);
    if (found != ids->end()) ids->erase(found);
  }
  return kOk;
}

}  // namespace tsl::reg
