// The process's connection to the machine's registry database and the one-transaction-per-call discipline.
// In WAL mode with synchronous=NORMAL a committed call survives its process being killed (the WAL is written
// before COMMIT returns) and a person's sqlite3 reading the store never blocks the machine; Flush adds power-loss
// safety, as RegFlushKey does on Windows.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "registry_private.h"
#include "xp/debug.h"
#include "xp/machine.h"

XP_DEBUG_CHANNEL(registry);

namespace xp::registry {
namespace {

constexpr int kBusyTimeoutMs = 30000;
constexpr int kSchemaVersion = 1;

// A key's name is kept as written and, folded, for lookups; values keep their first-write order in `id`.
constexpr const char* kSchema = R"sql(
  CREATE TABLE keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    UNIQUE(parent, folded));
  CREATE TABLE key_values(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    key INTEGER NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, folded));
  CREATE TABLE faults(
    id INTEGER PRIMARY KEY,
    op TEXT NOT NULL,
    key_substring TEXT NOT NULL,
    nth INTEGER NOT NULL,
    times INTEGER NOT NULL,
    error INTEGER NOT NULL,
    calls INTEGER NOT NULL DEFAULT 0);
  INSERT INTO keys(id, parent, name, folded) VALUES
    (1, 0, 'REGISTRY', 'REGISTRY'), (2, 1, 'MACHINE', 'MACHINE'), (3, 1, 'USER', 'USER'),
    (4, 2, 'SOFTWARE', 'SOFTWARE'), (5, 2, 'SYSTEM', 'SYSTEM');
  PRAGMA user_version = 1;
)sql";  // user_version is kSchemaVersion

struct Connection {
  sqlite3* db = nullptr;
  pid_t pid = 0;
  std::filesystem::path root;
};

std::mutex& ProcessMutex() {
  static std::mutex mutex;
  return mutex;
}

Connection& TheConnection() {
  static Connection connection;
  return connection;
}

// A connection inherited through fork belongs to the parent: SQLite forbids using or closing it in the child,
// so it is set aside (still reachable, so leak checkers stay quiet) and the child opens its own.
std::vector<sqlite3*>& InheritedConnections() {
  static std::vector<sqlite3*> inherited;
  return inherited;
}

void Check(sqlite3* db, int code, const char* what) {
  if (code != SQLITE_OK && code != SQLITE_DONE && code != SQLITE_ROW) {
    throw StoreError(std::string(what) + ": " + (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code)));
  }
}

void Execute(sqlite3* db, const char* sql) { Check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql); }

int UserVersion(sqlite3* db) {
  sqlite3_stmt* statement = nullptr;
  Check(db, sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr), "PRAGMA user_version");
  const int step = sqlite3_step(statement);
  const int version = step == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
  sqlite3_finalize(statement);
  Check(db, step, "PRAGMA user_version");
  return version;
}

sqlite3* Open(const std::filesystem::path& file, int flags) {
  sqlite3* db = nullptr;
  const int opened = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
  if (opened != SQLITE_OK) {
    const std::string message = file.string() + ": " + (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(opened));
    sqlite3_close(db);
    throw StoreError(message);
  }
  return db;
}

// A new store is made whole beside its final name and linked into place, so that processes meeting a new machine
// at once never see a half-made store, and only ever open one already in WAL mode (switching a shared database
// into WAL mode fails while others hold it). Whoever links first wins; the others drop their copy.
void MakeDatabase(const std::filesystem::path& file) {
  const std::filesystem::path draft = file.string() + ".new." + std::to_string(::getpid());
  std::filesystem::remove(draft);
  sqlite3* db = Open(draft, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  try {
    Execute(db, "PRAGMA journal_mode = WAL");
    Execute(db, "BEGIN IMMEDIATE");
    Execute(db, kSchema);
    Execute(db, "COMMIT");
  } catch (...) {
    sqlite3_close(db);
    std::filesystem::remove(draft);
    throw;
  }
  Check(nullptr, sqlite3_close(db), "closing the new registry");
  const int linked = ::link(draft.c_str(), file.c_str());
  const int link_error = errno;
  std::filesystem::remove(draft);
  if (linked != 0 && link_error != EEXIST) {
    throw StoreError("cannot make " + file.string() + ": " + std::strerror(link_error));
  }
}

sqlite3* OpenDatabase(const std::filesystem::path& root) {
  const std::filesystem::path file = root / "registry.db";
  if (!std::filesystem::exists(file)) MakeDatabase(file);
  sqlite3* db = Open(file, SQLITE_OPEN_READWRITE);
  try {
    Check(db, sqlite3_busy_timeout(db, kBusyTimeoutMs), "busy timeout");
    Execute(db, "PRAGMA synchronous = NORMAL");
    const int version = UserVersion(db);
    if (version != kSchemaVersion) throw StoreError("registry.db has schema version " + std::to_string(version));
  } catch (...) {
    sqlite3_close(db);
    throw;
  }
  return db;
}

sqlite3* Connect() {
  Connection& connection = TheConnection();
  if (connection.db != nullptr && connection.pid != ::getpid()) {
    InheritedConnections().push_back(connection.db);
    connection.db = nullptr;
  }
  const std::filesystem::path& root = machine::Root();
  if (connection.db != nullptr && connection.root != root) {
    sqlite3_close(connection.db);
    connection.db = nullptr;
  }
  if (connection.db == nullptr) connection = Connection{OpenDatabase(root), ::getpid(), root};
  return connection.db;
}

}  // namespace

Transaction::Transaction() : lock_(ProcessMutex()), db_(Connect()) { Execute(db_, "BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
  if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
  Execute(db_, "COMMIT");
  done_ = true;
}

Statement::Statement(const Transaction& transaction, const char* sql) : db_(transaction.db()) {
  Check(db_, sqlite3_prepare_v2(db_, sql, -1, &statement_, nullptr), sql);
}

Statement::~Statement() { sqlite3_finalize(statement_); }

Statement& Statement::Bind(int index, int64_t value) {
  Check(db_, sqlite3_bind_int64(statement_, index, value), "bind");
  return *this;
}

Statement& Statement::Bind(int index, std::u16string_view text) {
  Check(db_,
        sqlite3_bind_text16(statement_, index, text.empty() ? u"" : text.data(),
                            static_cast<int>(text.size() * sizeof(char16_t)), SQLITE_TRANSIENT),
        "bind");
  return *this;
}

Statement& Statement::Bind(int index, const std::string& text) {
  Check(db_, sqlite3_bind_text(statement_, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT),
        "bind");
  return *this;
}

// An empty blob is bound as a zero-length blob, never NULL, so the NOT NULL column holds it.
Statement& Statement::BindBlob(int index, const std::vector<uint8_t>& data) {
  Check(db_, sqlite3_bind_zeroblob(statement_, index, 0), "bind");
  if (!data.empty()) {
    Check(db_, sqlite3_bind_blob(statement_, index, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT),
          "bind");
  }
  return *this;
}

bool Statement::Step() {
  const int code = sqlite3_step(statement_);
  Check(db_, code, sqlite3_sql(statement_));
  return code == SQLITE_ROW;
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(statement_, column); }

std::u16string Statement::Text16(int column) const {
  const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(statement_, column));
  const int bytes = sqlite3_column_bytes16(statement_, column);
  return text != nullptr ? std::u16string(text, static_cast<size_t>(bytes) / sizeof(char16_t)) : std::u16string();
}

std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  const int bytes = sqlite3_column_bytes(statement_, column);
  return text != nullptr ? std::string(text, static_cast<size_t>(bytes)) : std::string();
}

std::vector<uint8_t> Statement::Blob(int column) const {
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(statement_, column));
  const int bytes = sqlite3_column_bytes(statement_, column);
  return data != nullptr ? std::vector<uint8_t>(data, data + bytes) : std::vector<uint8_t>();
}

LONG RunInTransaction(const char* call, const std::function<LONG(Transaction&)>& body) {
  try {
    Transaction transaction;
    const LONG result = body(transaction);
    transaction.Commit();
    return result;
  } catch (const StoreError& error) {
    XP_ERR(call, "%s", error.what());
    return ERROR_REGISTRY_IO_FAILED;
  }
}

LONG Flush() {
  try {
    std::lock_guard<std::mutex> lock(ProcessMutex());
    sqlite3* db = Connect();
    Check(db, sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_FULL, nullptr, nullptr), "checkpoint");
    return ERROR_SUCCESS;
  } catch (const StoreError& error) {
    XP_ERR("Flush", "%s", error.what());
    return ERROR_REGISTRY_IO_FAILED;
  }
}

}  // namespace xp::registry
