// The side store of a volume, DIR/drives/<L>.meta (SQLite): what the host folder cannot hold. One row per file or
// folder by upper-cased path (attributes, the four times, the valid data length while the machine writes the file,
// and the stamp of the host file the row was saved against) and the volume's free and total bytes, so that
// renames and deletes keep it right and a full disk can happen. Every change is written through, in one statement
// or one transaction; a failure of the store is an NTSTATUS for the request, with the transaction rolled back.
// The fault point "side-store" (matched against the statement's SQL) makes a step fail with the SQLite result code
// given as the fault's error.
#include <string>

#include "fs/model_fs.h"
#include "include/internal/rtl.h"
#include "xp/faults.h"

namespace xp::ntos::fs {
namespace {

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS files (path TEXT PRIMARY KEY, attributes INTEGER NOT NULL, created INTEGER NOT "
    "NULL, accessed INTEGER NOT NULL, written INTEGER NOT NULL, changed INTEGER NOT NULL, valid_data INTEGER, "
    "disk_size INTEGER, disk_time INTEGER, disk_id INTEGER, settled INTEGER NOT NULL DEFAULT 1);"
    "CREATE TABLE IF NOT EXISTS volume (name TEXT PRIMARY KEY, value INTEGER NOT NULL);";
// Stores made before the rows carried the host file's stamp gain the columns (an error means they are there).
constexpr const char* kAddedColumns[] = {
    "ALTER TABLE files ADD COLUMN disk_size INTEGER", "ALTER TABLE files ADD COLUMN disk_time INTEGER",
    "ALTER TABLE files ADD COLUMN disk_id INTEGER", "ALTER TABLE files ADD COLUMN settled INTEGER NOT NULL DEFAULT 1"};

constexpr char kFaultPoint[] = "side-store";

NTSTATUS StatusOf(int result) {
  switch (result & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return STATUS_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return STATUS_DEVICE_BUSY;
    case SQLITE_FULL: return STATUS_DISK_FULL;
    case SQLITE_NOMEM: return STATUS_INSUFFICIENT_RESOURCES;
    default: return STATUS_IO_DEVICE_ERROR;
  }
}

// One statement, prepared once per store and kept; its first failure is kept in status() and every later call does
// nothing. It is reset when it goes, so a kept statement holds no read of the store between requests; while it
// lives no other thread uses the store's statements.
class Statement {
 public:
  Statement(SideStore& store, const char* sql) : in_use_(store.statements_lock()), sql_(sql) {
    statement_ = store.Prepared(sql, &result_);
  }
  ~Statement() {
    if (statement_ != nullptr) {
      sqlite3_reset(statement_);
      sqlite3_clear_bindings(statement_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, const std::u16string& text) {
    const std::string utf8 = rtl::ToUtf8(text);
    if (result_ == SQLITE_OK) {
      result_ = sqlite3_bind_text(statement_, index, utf8.c_str(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    }
    return *this;
  }
  Statement& Bind(int index, int64_t value) {
    if (result_ == SQLITE_OK) result_ = sqlite3_bind_int64(statement_, index, value);
    return *this;
  }
  // True for a row; false at the end or after a failure (see status()).
  bool Step() {
    if (result_ != SQLITE_OK && result_ != SQLITE_ROW) return false;
    if (const std::optional<uint32_t> injected = machine::FailPoint(kFaultPoint, sql_)) {
      result_ = static_cast<int>(*injected);
      return false;
    }
    result_ = sqlite3_step(statement_);
    return result_ == SQLITE_ROW;
  }
  NTSTATUS status() const { return StatusOf(result_); }
  int64_t Column(int index) { return sqlite3_column_int64(statement_, index); }
  bool IsNull(int index) { return sqlite3_column_type(statement_, index) == SQLITE_NULL; }

 private:
  std::lock_guard<std::recursive_mutex> in_use_;
  const char* sql_;
  sqlite3_stmt* statement_ = nullptr;
  int result_ = SQLITE_OK;
};

NTSTATUS Execute(sqlite3* db, const char* sql) {
  if (const std::optional<uint32_t> injected = machine::FailPoint(kFaultPoint, sql)) {
    return StatusOf(static_cast<int>(*injected));
  }
  return StatusOf(sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
}

// A volume value, made with `initial` when the store has none yet.
NTSTATUS VolumeValue(SideStore& store, const char* name, uint64_t initial, uint64_t* value) {
  Statement query(store, "SELECT value FROM volume WHERE name = ?1");
  query.Bind(1, rtl::FromUtf8(name));
  if (query.Step()) {
    *value = static_cast<uint64_t>(query.Column(0));
    return STATUS_SUCCESS;
  }
  if (!NT_SUCCESS(query.status())) return query.status();
  Statement put(store, "INSERT OR IGNORE INTO volume (name, value) VALUES (?1, ?2)");
  put.Bind(1, rtl::FromUtf8(name)).Bind(2, static_cast<int64_t>(initial)).Step();
  *value = initial;
  return put.status();
}

}  // namespace

NTSTATUS SideStore::Open(const std::filesystem::path& path, uint64_t initial_free_bytes,
                         std::unique_ptr<SideStore>* store) {
  auto opened = std::unique_ptr<SideStore>(new SideStore);
  if (sqlite3_open(path.c_str(), &opened->db_) != SQLITE_OK) return STATUS_IO_DEVICE_ERROR;
  sqlite3_busy_timeout(opened->db_, 5000);
  NTSTATUS status = Execute(opened->db_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
  if (NT_SUCCESS(status)) status = Execute(opened->db_, kSchema);
  if (!NT_SUCCESS(status)) return status;
  for (const char* column : kAddedColumns) sqlite3_exec(opened->db_, column, nullptr, nullptr, nullptr);
  uint64_t free = 0;
  status = VolumeValue(*opened, "free", initial_free_bytes, &free);
  // A volume's size is what was free when its store was made.
  if (NT_SUCCESS(status)) status = VolumeValue(*opened, "total", free, &opened->total_bytes_);
  if (NT_SUCCESS(status)) *store = std::move(opened);
  return status;
}

SideStore::~SideStore() {
  for (const auto& [sql, statement] : prepared_) sqlite3_finalize(statement);
  sqlite3_close(db_);
}

sqlite3_stmt* SideStore::Prepared(const char* sql, int* result) {
  if (auto found = prepared_.find(sql); found != prepared_.end()) {
    *result = SQLITE_OK;
    return found->second;
  }
  sqlite3_stmt* statement = nullptr;
  *result = sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr);
  if (*result != SQLITE_OK) {
    sqlite3_finalize(statement);
    return nullptr;
  }
  prepared_.emplace(sql, statement);
  return statement;
}

NTSTATUS SideStore::Find(const std::u16string& key, std::optional<StoredRecord>* found) {
  found->reset();
  Statement query(*this,
                  "SELECT attributes, created, accessed, written, changed, valid_data, disk_size, disk_time, disk_id, "
                  "settled FROM files WHERE path = ?1");
  query.Bind(1, key);
  if (!query.Step()) return query.status();
  StoredRecord stored;
  FileRecord& record = stored.record;
  record.attributes = static_cast<ULONG>(query.Column(0));
  record.creation_time = query.Column(1);
  record.last_access_time = query.Column(2);
  record.last_write_time = query.Column(3);
  record.change_time = query.Column(4);
  if (!query.IsNull(5)) record.valid_data_length = query.Column(5);
  if (!query.IsNull(6)) stored.stamp = DiskStamp{query.Column(6), query.Column(7), query.Column(8)};
  stored.settled = query.Column(9) != 0;
  *found = stored;
  return STATUS_SUCCESS;
}

NTSTATUS SideStore::Put(const std::u16string& key, const StoredRecord& stored) {
  Statement put(*this,
                "INSERT OR REPLACE INTO files (path, attributes, created, accessed, written, changed, valid_data, "
                "disk_size, disk_time, disk_id, settled) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
  const FileRecord& record = stored.record;
  put.Bind(1, key)
      .Bind(2, static_cast<int64_t>(record.attributes))
      .Bind(3, record.creation_time)
      .Bind(4, record.last_access_time)
      .Bind(5, record.last_write_time)
      .Bind(6, record.change_time)
      .Bind(11, stored.settled ? 1 : 0);
  if (record.valid_data_length) put.Bind(7, *record.valid_data_length);
  if (stored.stamp) put.Bind(8, stored.stamp->size).Bind(9, stored.stamp->time_ns).Bind(10, stored.stamp->id);
  put.Step();
  return put.status();
}

NTSTATUS SideStore::Remove(const std::u16string& key) {
  Statement remove(*this, "DELETE FROM files WHERE path = ?1");
  remove.Bind(1, key).Step();
  return remove.status();
}

NTSTATUS SideStore::Rename(const std::u16string& old_key, const std::u16string& new_key) {
  NTSTATUS status = Execute(db_, "BEGIN IMMEDIATE");
  if (!NT_SUCCESS(status)) return status;
  Statement remove_target(*this, "DELETE FROM files WHERE path = ?1");
  remove_target.Bind(1, new_key).Step();
  status = remove_target.status();
  if (NT_SUCCESS(status)) {
    Statement move(*this, "UPDATE files SET path = ?2 WHERE path = ?1");
    move.Bind(1, old_key).Bind(2, new_key).Step();
    status = move.status();
  }
  if (NT_SUCCESS(status)) {
    // Rows beneath a moved folder: "\OLD\..." becomes "\NEW\...". They are the keys from "\OLD\" up to "\OLD]"
    // (']' follows '\'), a range of the path index rather than a look at every row.
    Statement children(*this,
                       "UPDATE files SET path = ?2 || substr(path, length(?1) + 1) "
                       "WHERE path > ?1 || '\\' AND path < ?1 || ']'");
    children.Bind(1, old_key).Bind(2, new_key).Step();
    status = children.status();
  }
  if (NT_SUCCESS(status)) status = Execute(db_, "COMMIT");
  if (!NT_SUCCESS(status)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return status;
}

NTSTATUS SideStore::Charge(int64_t bytes) {
  if (bytes == 0) return STATUS_SUCCESS;
  // One statement: the check and the charge cannot be split by another charge.
  Statement charge(*this, "UPDATE volume SET value = value - ?1 WHERE name = 'free' AND value >= ?1");
  charge.Bind(1, bytes).Step();
  if (!NT_SUCCESS(charge.status())) return charge.status();
  return sqlite3_changes(db_) == 1 ? STATUS_SUCCESS : STATUS_DISK_FULL;
}

NTSTATUS SideStore::FreeBytes(uint64_t* free) {
  Statement query(*this, "SELECT value FROM volume WHERE name = 'free'");
  *free = query.Step() ? static_cast<uint64_t>(query.Column(0)) : 0;
  return query.status();
}

}  // namespace xp::ntos::fs
