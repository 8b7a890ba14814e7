// The side store of a volume, DIR/drives/<L>.meta (SQLite): what the host folder cannot hold. One row per file
// or folder by upper-cased path (attributes, the four times, the valid data length) and the volume's free bytes,
// so that renames and deletes keep it right and a full disk can happen. Every change is written through.
#include <stdexcept>
#include <string>

#include "fs/model_fs.h"
#include "include/internal/rtl.h"

namespace xp::ntos::fs {
namespace {

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS files (path TEXT PRIMARY KEY, attributes INTEGER NOT NULL, created INTEGER NOT "
    "NULL, accessed INTEGER NOT NULL, written INTEGER NOT NULL, changed INTEGER NOT NULL, valid_data INTEGER);"
    "CREATE TABLE IF NOT EXISTS volume (name TEXT PRIMARY KEY, value INTEGER NOT NULL);";

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string("side store: ") + sqlite3_errmsg(db));
    }
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement& Bind(int index, const std::u16string& text) {
    const std::string utf8 = rtl::ToUtf8(text);
    sqlite3_bind_text(statement_, index, utf8.c_str(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Bind(int index, int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
    return *this;
  }
  bool Step() {
    const int result = sqlite3_step(statement_);
    if (result != SQLITE_ROW && result != SQLITE_DONE) throw std::runtime_error("side store: step failed");
    return result == SQLITE_ROW;
  }
  int64_t Column(int index) { return sqlite3_column_int64(statement_, index); }
  bool IsNull(int index) { return sqlite3_column_type(statement_, index) == SQLITE_NULL; }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

}  // namespace

SideStore::SideStore(const std::filesystem::path& path, uint64_t initial_free_bytes) {
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
    throw std::runtime_error("cannot open side store " + path.string());
  }
  sqlite3_busy_timeout(db_, 5000);
  Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
  Execute(kSchema);
  Statement free_query(db_, "SELECT value FROM volume WHERE name = 'free'");
  if (free_query.Step()) {
    free_bytes_ = static_cast<uint64_t>(free_query.Column(0));
  } else {
    free_bytes_ = initial_free_bytes;
    SetFreeBytes(free_bytes_);
  }
  Statement total_query(db_, "SELECT value FROM volume WHERE name = 'total'");
  if (total_query.Step()) {
    total_bytes_ = static_cast<uint64_t>(total_query.Column(0));
  } else {
    total_bytes_ = free_bytes_;
    Statement put(db_, "INSERT OR REPLACE INTO volume (name, value) VALUES ('total', ?1)");
    put.Bind(1, static_cast<int64_t>(total_bytes_)).Step();
  }
}

SideStore::~SideStore() { sqlite3_close(db_); }

void SideStore::Execute(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string what = error != nullptr ? error : "unknown";
    sqlite3_free(error);
    throw std::runtime_error("side store: " + what);
  }
}

std::optional<FileRecord> SideStore::Find(const std::u16string& key) {
  Statement query(db_, "SELECT attributes, created, accessed, written, changed, valid_data FROM files WHERE path = ?1");
  query.Bind(1, key);
  if (!query.Step()) return std::nullopt;
  FileRecord record;
  record.attributes = static_cast<ULONG>(query.Column(0));
  record.creation_time = query.Column(1);
  record.last_access_time = query.Column(2);
  record.last_write_time = query.Column(3);
  record.change_time = query.Column(4);
  if (!query.IsNull(5)) record.valid_data_length = query.Column(5);
  return record;
}

void SideStore::Put(const std::u16string& key, const FileRecord& record) {
  Statement put(db_,
                "INSERT OR REPLACE INTO files (path, attributes, created, accessed, written, changed, valid_data) "
                "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
  put.Bind(1, key)
      .Bind(2, static_cast<int64_t>(record.attributes))
      .Bind(3, record.creation_time)
      .Bind(4, record.last_access_time)
      .Bind(5, record.last_write_time)
      .Bind(6, record.change_time);
  if (record.valid_data_length) put.Bind(7, *record.valid_data_length);
  put.Step();
}

void SideStore::Remove(const std::u16string& key) {
  Statement remove(db_, "DELETE FROM files WHERE path = ?1");
  remove.Bind(1, key).Step();
}

void SideStore::Rename(const std::u16string& old_key, const std::u16string& new_key) {
  Execute("BEGIN");
  Statement remove_target(db_, "DELETE FROM files WHERE path = ?1");
  remove_target.Bind(1, new_key).Step();
  Statement move(db_, "UPDATE files SET path = ?2 WHERE path = ?1");
  move.Bind(1, old_key).Bind(2, new_key).Step();
  // Rows beneath a moved folder: "\OLD\..." becomes "\NEW\...".
  Statement children(db_,
                     "UPDATE files SET path = ?2 || substr(path, length(?1) + 1) "
                     "WHERE substr(path, 1, length(?1) + 1) = ?1 || '\\'");
  children.Bind(1, old_key).Bind(2, new_key).Step();
  Execute("COMMIT");
}

void SideStore::SetFreeBytes(uint64_t bytes) {
  free_bytes_ = bytes;
  Statement put(db_, "INSERT OR REPLACE INTO volume (name, value) VALUES ('free', ?1)");
  put.Bind(1, static_cast<int64_t>(bytes)).Step();
}

}  // namespace xp::ntos::fs
