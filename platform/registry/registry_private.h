// Declarations shared inside the registry store, grouped by the file that defines them.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "winerror.h"
#include "xp/registry.h"

namespace xp::registry {

constexpr KeyId kRegistryRoot = 1;  // \Registry, parent of Machine and User

// database.cc: a failure of the store itself; the public calls turn it into ERROR_REGISTRY_IO_FAILED.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// database.cc: one call's transaction on the process's connection to the current machine's store. Writers and
// readers alike take the write lock at the start (BEGIN IMMEDIATE), so a call never has to upgrade its lock
// while another process writes; the busy timeout makes them queue. Rolled back unless committed.
class Transaction {
 public:
  Transaction();
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();
  sqlite3* db() const { return db_; }

 private:
  std::unique_lock<std::mutex> lock_;
  sqlite3* db_;
  bool done_ = false;
};

// database.cc: a prepared statement; Step() is true while it yields rows.
class Statement {
 public:
  Statement(const Transaction& transaction, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement& Bind(int index, int64_t value);
  Statement& Bind(int index, std::u16string_view text);
  Statement& Bind(int index, const std::string& text);
  Statement& BindBlob(int index, const std::vector<uint8_t>& data);
  bool Step();
  int64_t Int(int column) const;
  std::u16string Text16(int column) const;
  std::string Text(int column) const;
  std::vector<uint8_t> Blob(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
};

// database.cc: runs `body` in one transaction, committing it whatever code the body returns (a failed call may
// still have counted a fault), and turns a store failure into ERROR_REGISTRY_IO_FAILED.
LONG RunInTransaction(const char* call, const std::function<LONG(Transaction&)>& body);

// names.cc
char16_t Upcase(char16_t c);
std::u16string Fold(std::u16string_view name);
// Splits a relative path at '\'. One trailing '\' is ignored; any other empty component makes it nullopt.
std::optional<std::vector<std::u16string_view>> SplitPath(std::u16string_view path);

// tree.cc: the key tree inside a transaction.
bool KeyExists(const Transaction& transaction, KeyId key);
std::optional<KeyId> FindChild(const Transaction& transaction, KeyId parent, std::u16string_view name);
KeyId AddChild(const Transaction& transaction, KeyId parent, std::u16string_view name);
// Walks `components` down from `parent`; ERROR_FILE_NOT_FOUND when one is missing.
LONG Walk(const Transaction& transaction, KeyId parent, const std::vector<std::u16string_view>& components, KeyId* key);
std::u16string PathOf(const Transaction& transaction, KeyId key);
// The path a call names: `parent`'s path with `components` appended.
std::u16string JoinPath(const Transaction& transaction, KeyId parent,
                        const std::vector<std::u16string_view>& components);

// faults.cc: counts a call of `op` on the key `path()` names against the injected faults and gives the code of the
// fault it triggers; `path` is only computed while some fault is armed.
std::optional<LONG> TakeFault(const Transaction& transaction, Op op, const std::function<std::u16string()>& path);

}  // namespace xp::registry
