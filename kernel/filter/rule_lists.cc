// The directory rules and exceptions the driver decides by, kept as the shared protection decision takes them:
// arrays of volume-relative paths with their volume's letter (none for the system volume), in the order they were
// added, each path in its own allocation. Control requests change them at run time, so every walk and change
// holds the rule lock.
#include "morvel_private.h"
#include "protection_policy.h"

namespace tavik::morvel {
namespace {

using PathRule = policy::Rule<char16_t>;

// A growable array of rules in non-paged pool.
struct RuleArray {
  PathRule* rules;
  ULONG count;
  ULONG capacity;
};

RuleArray directory_rules;
RuleArray exceptions;

bool Reserve(RuleArray* array) {
  if (array->count < array->capacity) return true;
  const ULONG capacity = array->capacity == 0 ? 16 : array->capacity * 2;
  auto* grown = static_cast<PathRule*>(ExAllocatePoolWithTag(NonPagedPool, capacity * sizeof(PathRule), kTagRule));
  if (grown == nullptr) return false;
  for (ULONG i = 0; i < array->count; ++i) grown[i] = array->rules[i];
  if (array->rules != nullptr) ExFreePoolWithTag(array->rules, kTagRule);
  array->rules = grown;
  array->capacity = capacity;
  return true;
}

void RemoveAt(RuleArray* array, ULONG index) {
  ExFreePoolWithTag(const_cast<char16_t*>(array->rules[index].path), kTagRule);
  for (ULONG i = index; i + 1 < array->count; ++i) array->rules[i] = array->rules[i + 1];
  --array->count;
}

void FreeArray(RuleArray* array) {
  while (array->count > 0) RemoveAt(array, array->count - 1);
  if (array->rules != nullptr) ExFreePoolWithTag(array->rules, kTagRule);
  *array = RuleArray{};
}

// A rule from its registry text, its path copied into its own allocation.
NTSTATUS MakeRule(const WCHAR* text, ULONG length, policy::RuleKind kind, PathRule* rule) {
  PathRule parsed;
  if (!policy::ParseRuleText(text, length, &parsed) || parsed.length == 0) return STATUS_OBJECT_PATH_SYNTAX_BAD;
  auto* copy = static_cast<char16_t*>(
      ExAllocatePoolWithTag(NonPagedPool, (parsed.length + 1) * sizeof(char16_t), kTagRule));
  if (copy == nullptr) return STATUS_NO_MEMORY;
  RtlCopyMemory(copy, parsed.path, parsed.length * sizeof(char16_t));
  copy[parsed.length] = u'\0';
  parsed.path = copy;
  parsed.kind = kind;
  *rule = parsed;
  return STATUS_SUCCESS;
}

bool SameRule(const PathRule& a, const PathRule& b) {
  return a.drive == b.drive && a.length == b.length && policy::PathPrefixEquals(a.path, a.length, b.path, b.length);
}

// Adds under the rule lock; the newest of equal rules decides, so new rules go to the end.
bool Append(RuleArray* array, const PathRule& rule) {
  KLOCK_QUEUE_HANDLE lock;
  KeAcquireInStackQueuedSpinLock(&State().rule_lock, &lock);
  const bool added = Reserve(array);
  if (added) array->rules[array->count++] = rule;
  KeReleaseInStackQueuedSpinLock(&lock);
  if (!added) ExFreePoolWithTag(const_cast<char16_t*>(rule.path), kTagRule);
  return added;
}

}  // namespace

NTSTATUS AddDir(const WCHAR* text, ULONG length, bool inclusion) {
  PathRule rule;
  const NTSTATUS status =
      MakeRule(text, length, inclusion ? policy::RuleKind::kInclusion : policy::RuleKind::kExclusion, &rule);
  if (!NT_SUCCESS(status)) return status;
  if (!Append(&directory_rules, rule)) return STATUS_NO_MEMORY;
  DbgPrint("\nAdding %s DIR:%ws (%d) to List:%p", inclusion ? "inclusion" : "exclusion", rule.path,
           static_cast<int>(rule.length), &directory_rules);
  DbgPrint("\nReturn from AddDir");
  return STATUS_SUCCESS;
}

NTSTATUS AddException(const WCHAR* text, ULONG length) {
  PathRule rule;
  const NTSTATUS status = MakeRule(text, length, policy::RuleKind::kExclusion, &rule);
  if (!NT_SUCCESS(status)) return status;
  DbgPrint("\nTo add %ws", rule.path);
  return Append(&exceptions, rule) ? STATUS_SUCCESS : STATUS_NO_MEMORY;
}

bool RemoveDir(const WCHAR* text, ULONG length, bool inclusion) {
  DbgPrint(" its length=%x, ", length);
  PathRule wanted;
  const policy::RuleKind kind = inclusion ? policy::RuleKind::kInclusion : policy::RuleKind::kExclusion;
  if (!policy::ParseRuleText(text, length, &wanted)) return false;
  bool removed = false;
  KLOCK_QUEUE_HANDLE lock;
  KeAcquireInStackQueuedSpinLock(&State().rule_lock, &lock);
  for (ULONG i = directory_rules.count; i-- > 0;) {
    const PathRule& rule = directory_rules.rules[i];
    if (rule.kind != kind || !SameRule(rule, wanted)) continue;
    RemoveAt(&directory_rules, i);
    removed = true;
    break;
  }
  KeReleaseInStackQueuedSpinLock(&lock);
  if (removed) DbgPrint(" Found and moved it.");
  DbgPrint("\nReturn from RemoveDir");
  return removed;
}

bool ChangeDir(const WCHAR* text, ULONG length) {
  PathRule wanted;
  if (!policy::ParseRuleText(text, length, &wanted)) return false;
  bool changed = false;
  KLOCK_QUEUE_HANDLE lock;
  KeAcquireInStackQueuedSpinLock(&State().rule_lock, &lock);
  for (ULONG i = directory_rules.count; i-- > 0;) {
    PathRule& rule = directory_rules.rules[i];
    if (!SameRule(rule, wanted)) continue;
    rule.kind = rule.kind == policy::RuleKind::kInclusion ? policy::RuleKind::kExclusion
                                                           : policy::RuleKind::kInclusion;
    changed = true;
    break;
  }
  KeReleaseInStackQueuedSpinLock(&lock);
  if (changed) DbgPrint(" Find it, made change.");
  DbgPrint("\nReturn from ChangeDir");
  return changed;
}

void FreeRuleLists() {
  KLOCK_QUEUE_HANDLE lock;
  KeAcquireInStackQueuedSpinLock(&State().rule_lock, &lock);
  FreeArray(&directory_rules);
  FreeArray(&exceptions);
  KeReleaseInStackQueuedSpinLock(&lock);
}

bool DecideByRules(char drive, char system_drive, const WCHAR* name, ULONG length) {
  KLOCK_QUEUE_HANDLE lock;
  KeAcquireInStackQueuedSpinLock(&State().rule_lock, &lock);
  policy::RuleSet<char16_t> set;
  set.directories = directory_rules.rules;
  set.directory_count = directory_rules.count;
  set.exceptions = exceptions.rules;
  set.exception_count = exceptions.count;
  set.system_drive = system_drive;
  const bool protected_file = policy::IsProtectedFile(set, drive, name, length);
  KeReleaseInStackQueuedSpinLock(&lock);
  return protected_file;
}

bool AnyRuleAtOrUnder(char drive, char system_drive, const WCHAR* path, ULONG length) {
  auto covers = [&](const RuleArray& array) {
    for (ULONG i = 0; i < array.count; ++i) {
      const PathRule& rule = array.rules[i];
      const char rule_drive = rule.drive == policy::kSystemVolume ? system_drive : rule.drive;
      if (rule_drive == drive && policy::PathPrefixEquals(rule.path, rule.length, path, length)) return true;
    }
    return false;
  };
  KLOCK_QUEUE_HANDLE lock;
  KeAcquireInStackQueuedSpinLock(&State().rule_lock, &lock);
  const bool found = covers(directory_rules) || covers(exceptions);
  KeReleaseInStackQueuedSpinLock(&lock);
  return found;
}

}  // namespace tavik::morvel
