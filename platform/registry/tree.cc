// The key tree inside one transaction: finding, adding and naming keys.
#include "registry_private.h"

namespace xp::registry {

bool KeyExists(const Transaction& transaction, KeyId key) {
  return Statement(transaction, "SELECT 1 FROM keys WHERE id = ?").Bind(1, key).Step();
}

std::optional<KeyId> FindChild(const Transaction& transaction, KeyId parent, std::u16string_view name) {
  Statement find(transaction, "SELECT id FROM keys WHERE parent = ? AND folded = ?");
  find.Bind(1, parent).Bind(2, Fold(name));
  if (!find.Step()) return std::nullopt;
  return find.Int(0);
}

KeyId AddChild(const Transaction& transaction, KeyId parent, std::u16string_view name) {
  Statement(transaction, "INSERT INTO keys(parent, name, folded) VALUES(?, ?, ?)")
      .Bind(1, parent)
      .Bind(2, name)
      .Bind(3, Fold(name))
      .Step();
  return sqlite3_last_insert_rowid(transaction.db());
}

LONG Walk(const Transaction& transaction, KeyId parent, const std::vector<std::u16string_view>& components,
          KeyId* key) {
  KeyId current = parent;
  for (std::u16string_view component : components) {
    const std::optional<KeyId> child = FindChild(transaction, current, component);
    if (!child) return ERROR_FILE_NOT_FOUND;
    current = *child;
  }
  *key = current;
  return ERROR_SUCCESS;
}

std::u16string PathOf(const Transaction& transaction, KeyId key) {
  std::u16string path;
  for (KeyId current = key; current != 0;) {
    Statement step(transaction, "SELECT parent, name FROM keys WHERE id = ?");
    if (!step.Bind(1, current).Step()) throw StoreError("key " + std::to_string(current) + " has no parent");
    path = u"\\" + step.Text16(1) + path;
    current = step.Int(0);
  }
  return path;
}

std::u16string JoinPath(const Transaction& transaction, KeyId parent,
                        const std::vector<std::u16string_view>& components) {
  std::u16string path = PathOf(transaction, parent);
  for (std::u16string_view component : components) {
    path += u'\\';
    path += component;
  }
  return path;
}

}  // namespace xp::registry
