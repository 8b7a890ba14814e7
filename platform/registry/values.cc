// Reading, writing, deleting and listing a key's values, each stored with its exact type and bytes. Rewriting a
// value keeps its place in the enumeration order; deleting and writing it again moves it to the end.
#include "registry_private.h"

namespace xp::registry {
namespace {

// The checks every value call starts with: the key still exists, and no injected fault fires.
std::optional<LONG> Refusal(const Transaction& transaction, Op op, KeyId key) {
  if (!KeyExists(transaction, key)) return ERROR_KEY_DELETED;
  return TakeFault(transaction, op, [&] { return PathOf(transaction, key); });
}

}  // namespace

LONG QueryValue(KeyId key, std::u16string_view name, Value* value) {
  return RunInTransaction("QueryValue", [&](Transaction& transaction) -> LONG {
    if (const auto refusal = Refusal(transaction, Op::kQueryValue, key)) return *refusal;
    Statement find(transaction, "SELECT name, type, data FROM key_values WHERE key = ? AND folded = ?");
    if (!find.Bind(1, key).Bind(2, Fold(name)).Step()) return ERROR_FILE_NOT_FOUND;
    *value = Value{find.Text16(0), static_cast<DWORD>(find.Int(1)), find.Blob(2)};
    return ERROR_SUCCESS;
  });
}

LONG SetValue(KeyId key, std::u16string_view name, DWORD type, const std::vector<uint8_t>& data) {
  return RunInTransaction("SetValue", [&](Transaction& transaction) -> LONG {
    if (const auto refusal = Refusal(transaction, Op::kSetValue, key)) return *refusal;
    Statement(transaction,
              "INSERT INTO key_values(key, name, folded, type, data) VALUES(?, ?, ?, ?, ?) "
              "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data")
        .Bind(1, key)
        .Bind(2, name)
        .Bind(3, Fold(name))
        .Bind(4, int64_t{type})
        .BindBlob(5, data)
        .Step();
    return ERROR_SUCCESS;
  });
}

LONG DeleteValue(KeyId key, std::u16string_view name) {
  return RunInTransaction("DeleteValue", [&](Transaction& transaction) -> LONG {
    if (const auto refusal = Refusal(transaction, Op::kDeleteValue, key)) return *refusal;
    Statement(transaction, "DELETE FROM key_values WHERE key = ? AND folded = ?")
        .Bind(1, key)
        .Bind(2, Fold(name))
        .Step();
    return sqlite3_changes(transaction.db()) == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
  });
}

LONG EnumValue(KeyId key, DWORD index, Value* value) {
  return RunInTransaction("EnumValue", [&](Transaction& transaction) -> LONG {
    if (const auto refusal = Refusal(transaction, Op::kEnumValue, key)) return *refusal;
    Statement nth(transaction, "SELECT name, type, data FROM key_values WHERE key = ? ORDER BY id LIMIT 1 OFFSET ?");
    if (!nth.Bind(1, key).Bind(2, int64_t{index}).Step()) return ERROR_NO_MORE_ITEMS;
    *value = Value{nth.Text16(0), static_cast<DWORD>(nth.Int(1)), nth.Blob(2)};
    return ERROR_SUCCESS;
  });
}

}  // namespace xp::registry
