// Faults on purpose: rows of the store's `faults` table, so that every process of the machine counts the same
// calls. Each row arms one operation, optionally on keys whose path contains a text, from its nth call on.
#include <stdexcept>

#include "registry_private.h"

namespace xp::registry {
namespace {

// The names the `faults` table uses, in the order of Op.
constexpr const char* kOpNames[] = {"open",         "create",     "query_value", "set_value",
                                    "delete_value", "delete_key", "enum_key",    "enum_value"};

std::string OpName(Op op) { return kOpNames[static_cast<size_t>(op)]; }

struct Armed {
  int64_t id;
  std::u16string folded_substring;
  int64_t nth;
  int64_t times;
  LONG error;
  int64_t calls;
};

}  // namespace

void InjectFault(Op op, uint32_t nth, LONG error, const std::string& key_substring, uint32_t times) {
  const LONG result = RunInTransaction("InjectFault", [&](Transaction& transaction) -> LONG {
    Statement(transaction, "INSERT INTO faults(op, key_substring, nth, times, error) VALUES(?, ?, ?, ?, ?)")
        .Bind(1, OpName(op))
        .Bind(2, key_substring)
        .Bind(3, int64_t{nth})
        .Bind(4, int64_t{times})
        .Bind(5, int64_t{error})
        .Step();
    return ERROR_SUCCESS;
  });
  if (result != ERROR_SUCCESS) throw std::runtime_error("cannot arm a registry fault");
}

void ClearFaults() {
  const LONG result = RunInTransaction("ClearFaults", [](Transaction& transaction) -> LONG {
    Statement(transaction, "DELETE FROM faults").Step();
    return ERROR_SUCCESS;
  });
  if (result != ERROR_SUCCESS) throw std::runtime_error("cannot clear the registry faults");
}

std::optional<LONG> TakeFault(const Transaction& transaction, Op op, const std::function<std::u16string()>& path) {
  std::vector<Armed> armed;
  Statement select(transaction, "SELECT id, key_substring, nth, times, error, calls FROM faults WHERE op = ?");
  select.Bind(1, OpName(op));
  while (select.Step()) {
    armed.push_back(Armed{select.Int(0), Fold(Utf8ToUtf16(select.Text(1))), select.Int(2), select.Int(3),
                          static_cast<LONG>(select.Int(4)), select.Int(5)});
  }
  if (armed.empty()) return std::nullopt;
  const std::u16string folded_path = Fold(path());
  std::optional<LONG> fired;
  for (const Armed& fault : armed) {
    if (folded_path.find(fault.folded_substring) == std::u16string::npos) continue;
    const int64_t call = fault.calls + 1;
    Statement(transaction, "UPDATE faults SET calls = ? WHERE id = ?").Bind(1, call).Bind(2, fault.id).Step();
    const bool in_range = call >= fault.nth && (fault.times == 0 || call < fault.nth + fault.times);
    if (in_range && !fired) fired = fault.error;
  }
  return fired;
}

}  // namespace xp::registry
