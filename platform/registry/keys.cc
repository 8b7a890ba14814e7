// Opening, making, deleting and listing keys. \Registry, \Registry\Machine and \Registry\User hold only hives
// (SOFTWARE, SYSTEM, one per user): no call makes keys beside the hives or deletes one, as on XP.
#include <cstdlib>

#include "registry_private.h"

namespace xp::registry {
namespace {

bool HoldsOnlyHives(KeyId key) { return key == kRegistryRoot || key == kMachineKey || key == kUsersKey; }

bool IsHiveOrAbove(const Transaction& transaction, KeyId key) {
  if (HoldsOnlyHives(key)) return true;
  Statement parent(transaction, "SELECT parent FROM keys WHERE id = ?");
  return parent.Bind(1, key).Step() && HoldsOnlyHives(parent.Int(0));
}

bool HasSubkeys(const Transaction& transaction, KeyId key) {
  return Statement(transaction, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1").Bind(1, key).Step();
}

constexpr std::u16string_view kRegistryPrefix = u"\\REGISTRY";

}  // namespace

std::string CurrentUser() {
  const char* user = std::getenv("XPMACHINE_USER");
  return user != nullptr && *user != '\0' ? user : "Administrator";
}

LONG OpenUserHive(std::u16string_view user, KeyId* key) {
  if (user.empty() || user.find(u'\\') != std::u16string_view::npos) return ERROR_BAD_PATHNAME;
  return RunInTransaction("OpenUserHive", [&](Transaction& transaction) -> LONG {
    const std::optional<KeyId> hive = FindChild(transaction, kUsersKey, user);
    *key = hive ? *hive : AddChild(transaction, kUsersKey, user);
    return ERROR_SUCCESS;
  });
}

LONG OpenPath(std::u16string_view path, KeyId* key) {
  const bool under_registry = Fold(path.substr(0, kRegistryPrefix.size())) == kRegistryPrefix &&
                              (path.size() == kRegistryPrefix.size() || path[kRegistryPrefix.size()] == u'\\');
  if (!under_registry) return ERROR_BAD_PATHNAME;
  path.remove_prefix(kRegistryPrefix.size());
  if (!path.empty()) path.remove_prefix(1);
  return OpenKey(kRegistryRoot, path, key);
}

LONG OpenKey(KeyId parent, std::u16string_view sub_path, KeyId* key) {
  const auto components = SplitPath(sub_path);
  if (!components) return ERROR_BAD_PATHNAME;
  return RunInTransaction("OpenKey", [&](Transaction& transaction) -> LONG {
    if (!KeyExists(transaction, parent)) return ERROR_KEY_DELETED;
    const auto fault = TakeFault(transaction, Op::kOpen, [&] { return JoinPath(transaction, parent, *components); });
    if (fault) return *fault;
    return Walk(transaction, parent, *components, key);
  });
}

LONG CreateKey(KeyId parent, std::u16string_view sub_path, KeyId* key, bool* created) {
  const auto components = SplitPath(sub_path);
  if (!components) return ERROR_BAD_PATHNAME;
  return RunInTransaction("CreateKey", [&](Transaction& transaction) -> LONG {
    if (!KeyExists(transaction, parent)) return ERROR_KEY_DELETED;
    const auto fault = TakeFault(transaction, Op::kCreate, [&] { return JoinPath(transaction, parent, *components); });
    if (fault) return *fault;
    KeyId current = parent;
    bool made = false;
    for (std::u16string_view component : *components) {
      std::optional<KeyId> child = FindChild(transaction, current, component);
      if (!child) {
        if (HoldsOnlyHives(current)) return ERROR_ACCESS_DENIED;
        child = AddChild(transaction, current, component);
        made = true;
      }
      current = *child;
    }
    *key = current;
    if (created != nullptr) *created = made;
    return ERROR_SUCCESS;
  });
}

LONG DeleteKey(KeyId parent, std::u16string_view sub_path) {
  const auto components = SplitPath(sub_path);
  if (!components) return ERROR_BAD_PATHNAME;
  return RunInTransaction("DeleteKey", [&](Transaction& transaction) -> LONG {
    if (!KeyExists(transaction, parent)) return ERROR_KEY_DELETED;
    const auto fault =
        TakeFault(transaction, Op::kDeleteKey, [&] { return JoinPath(transaction, parent, *components); });
    if (fault) return *fault;
    KeyId key = 0;
    const LONG found = Walk(transaction, parent, *components, &key);
    if (found != ERROR_SUCCESS) return found;
    if (IsHiveOrAbove(transaction, key) || HasSubkeys(transaction, key)) return ERROR_ACCESS_DENIED;
    Statement(transaction, "DELETE FROM key_values WHERE key = ?").Bind(1, key).Step();
    Statement(transaction, "DELETE FROM keys WHERE id = ?").Bind(1, key).Step();
    return ERROR_SUCCESS;
  });
}

LONG EnumKey(KeyId key, DWORD index, std::u16string* name) {
  return RunInTransaction("EnumKey", [&](Transaction& transaction) -> LONG {
    if (!KeyExists(transaction, key)) return ERROR_KEY_DELETED;
    const auto fault = TakeFault(transaction, Op::kEnumKey, [&] { return PathOf(transaction, key); });
    if (fault) return *fault;
    Statement nth(transaction, "SELECT name FROM keys WHERE parent = ? ORDER BY folded LIMIT 1 OFFSET ?");
    if (!nth.Bind(1, key).Bind(2, int64_t{index}).Step()) return ERROR_NO_MORE_ITEMS;
    *name = nth.Text16(0);
    return ERROR_SUCCESS;
  });
}

LONG KeyPath(KeyId key, std::u16string* path) {
  return RunInTransaction("KeyPath", [&](Transaction& transaction) -> LONG {
    if (!KeyExists(transaction, key)) return ERROR_KEY_DELETED;
    *path = PathOf(transaction, key);
    return ERROR_SUCCESS;
  });
}

}  // namespace xp::registry
