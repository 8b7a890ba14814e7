// The protection decision of protection_policy.h, for UTF-16 and ANSI text.
#include "protection_policy.h"

namespace tavik::policy {
namespace {

// Only ASCII letters fold: the driver's UTF-16 names and the walks' ANSI names then compare alike.
template <typename Char>
uint32_t Fold(Char c) {
  const uint32_t code = static_cast<uint32_t>(c) & (sizeof(Char) == 1 ? 0xFFu : 0xFFFFu);
  return (code >= 'A' && code <= 'Z') ? code + ('a' - 'A') : code;
}

template <typename Char>
bool EqualsIgnoringCase(const Char* text, size_t length, const char* ascii) {
  for (size_t i = 0; i < length; ++i) {
    if (ascii[i] == '\0' || Fold(text[i]) != Fold(ascii[i])) return false;
  }
  return ascii[length] == '\0';
}

template <typename Char>
bool IsLetter(Char c) {
  const uint32_t folded = Fold(c);
  return folded >= 'a' && folded <= 'z';
}

char UpperLetter(uint32_t folded) { return static_cast<char>(folded - ('a' - 'A')); }

// The last component with its leading backslash, or the whole name when it holds none.
template <typename Char>
void LastComponent(const Char* name, size_t length, const Char** component, size_t* component_length) {
  size_t start = length;
  while (start > 0 && name[start - 1] != '\\') --start;
  if (start > 0) --start;
  *component = name + start;
  *component_length = length - start;
}

template <typename Char>
bool HasPlainExtension(const Char* name, size_t length) {
  const Char* component;
  size_t component_length;
  LastComponent(name, length, &component, &component_length);
  size_t dot = component_length;
  while (dot > 0 && component[dot - 1] != '.') --dot;
  if (dot == 0) return false;
  const Char* extension = component + dot - 1;
  const size_t extension_length = component_length - (dot - 1);
  static constexpr const char* kPlainExtensions[] = {".lnk", ".sys", ".bat", ".manifest"};
  for (const char* plain : kPlainExtensions) {
    if (EqualsIgnoringCase(extension, extension_length, plain)) return true;
  }
  return false;
}

template <typename Char>
bool HasPlainFileName(const Char* name, size_t length) {
  const Char* component;
  size_t component_length;
  LastComponent(name, length, &component, &component_length);
  static constexpr const char* kPlainNames[] = {"\\desktop.ini", "\\index.dat", "\\usrclass.dat", "\\usrclass.dat.log"};
  for (const char* plain : kPlainNames) {
    if (EqualsIgnoringCase(component, component_length, plain)) return true;
  }
  return false;
}

// Under \System Volume Information (or its short name), which only the system writes.
template <typename Char>
bool InSystemVolumeInformation(const Char* name, size_t length) {
  size_t end = 1;
  while (end < length && name[end] != '\\') ++end;
  if (end == length) return false;
  return EqualsIgnoringCase(name, end, "\\System~1") || EqualsIgnoringCase(name, end, "\\System Volume Information");
}

template <typename Char>
bool RuleAppliesTo(const RuleSet<Char>& rules, const Rule<Char>& rule, char drive) {
  const char rule_drive = rule.drive == kSystemVolume ? rules.system_drive : rule.drive;
  return Fold(rule_drive) == Fold(drive);
}

}  // namespace

template <typename Char>
bool ParseRuleText(const Char* text, size_t length, Rule<Char>* rule) {
  if (length >= 1 && text[0] == '\\') {
    rule->path = text;
    rule->length = length;
    rule->drive = kSystemVolume;
    return true;
  }
  char drive;
  const Char* rest;
  size_t rest_length;
  if (!SplitDrivePath(text, length, &drive, &rest, &rest_length)) return false;
  rule->path = rest;
  rule->length = rest_length;
  rule->drive = drive;
  return true;
}

template <typename Char>
bool SplitDrivePath(const Char* path, size_t length, char* drive, const Char** rest, size_t* rest_length) {
  if (length < 3 || !IsLetter(path[0]) || path[1] != ':' || path[2] != '\\') return false;
  *drive = UpperLetter(Fold(path[0]));
  *rest = path + 2;
  *rest_length = length - 2;
  return true;
}

template <typename Char>
bool IsAlwaysPlainName(const Char* name, size_t length) {
  if (name == nullptr || length <= 1) return true;
  for (size_t i = 1; i < length; ++i) {
    if (name[i] == ':') return true;
  }
  return HasPlainExtension(name, length) || HasPlainFileName(name, length) || InSystemVolumeInformation(name, length);
}

template <typename Char>
bool PathPrefixEquals(const Char* name, size_t name_length, const Char* rule, size_t rule_length) {
  if (name_length < rule_length) return false;
  for (size_t i = 0; i < rule_length; ++i) {
    if (Fold(name[i]) != Fold(rule[i])) return false;
  }
  return name_length == rule_length || name[rule_length] == '\\';
}

template <typename Char>
const Rule<Char>* DecidingDirectoryRule(const RuleSet<Char>& rules, char drive, const Char* name, size_t length) {
  const Rule<Char>* deciding = nullptr;
  for (size_t i = 0; i < rules.directory_count; ++i) {
    const Rule<Char>& rule = rules.directories[i];
    if (!RuleAppliesTo(rules, rule, drive) || rule.length >= length) continue;
    if (deciding != nullptr && rule.length < deciding->length) continue;
    if (PathPrefixEquals(name, length, rule.path, rule.length)) deciding = &rule;
  }
  return deciding;
}

template <typename Char>
bool IsException(const RuleSet<Char>& rules, char drive, const Char* name, size_t length) {
  for (size_t i = 0; i < rules.exception_count; ++i) {
    const Rule<Char>& exception = rules.exceptions[i];
    if (exception.length == length && RuleAppliesTo(rules, exception, drive) &&
        PathPrefixEquals(name, length, exception.path, exception.length)) {
      return true;
    }
  }
  return false;
}

template <typename Char>
bool IsProtectedFile(const RuleSet<Char>& rules, char drive, const Char* name, size_t length) {
  if (IsAlwaysPlainName(name, length) || name[0] != '\\' || name[1] == '$') return false;
  if (Fold(drive) == Fold(rules.system_drive)) {
    if (rules.directory_count == 0) return false;
    bool in_root = true;
    for (size_t i = 1; i + 1 < length; ++i) {
      if (name[i] == '\\') in_root = false;
    }
    if (in_root) return false;
  }
  const Rule<Char>* deciding = DecidingDirectoryRule(rules, drive, name, length);
  if (deciding != nullptr && deciding->kind == RuleKind::kExclusion) return false;
  return !IsException(rules, drive, name, length);
}

// The two text forms: ANSI for the walks, UTF-16 for the driver.
template bool ParseRuleText<char>(const char*, size_t, Rule<char>*);
template bool ParseRuleText<char16_t>(const char16_t*, size_t, Rule<char16_t>*);
template bool SplitDrivePath<char>(const char*, size_t, char*, const char**, size_t*);
template bool SplitDrivePath<char16_t>(const char16_t*, size_t, char*, const char16_t**, size_t*);
template bool IsAlwaysPlainName<char>(const char*, size_t);
template bool IsAlwaysPlainName<char16_t>(const char16_t*, size_t);
template bool PathPrefixEquals<char>(const char*, size_t, const char*, size_t);
template bool PathPrefixEquals<char16_t>(const char16_t*, size_t, const char16_t*, size_t);
template const Rule<char>* DecidingDirectoryRule<char>(const RuleSet<char>&, char, const char*, size_t);
template const Rule<char16_t>* DecidingDirectoryRule<char16_t>(const RuleSet<char16_t>&, char, const char16_t*, size_t);
template bool IsException<char>(const RuleSet<char>&, char, const char*, size_t);
template bool IsException<char16_t>(const RuleSet<char16_t>&, char, const char16_t*, size_t);
template bool IsProtectedFile<char>(const RuleSet<char>&, char, const char*, size_t);
template bool IsProtectedFile<char16_t>(const RuleSet<char16_t>&, char, const char16_t*, size_t);

}  // namespace tavik::policy
