// The walks' rule set over the shared protection routine.
#include "walk_rules.h"

namespace tavik::conversion {

bool WalkRules::Add(const std::string& text, policy::RuleKind kind, std::vector<policy::Rule<char>>* rules) {
  texts_.push_back(text);
  policy::Rule<char> rule;
  rule.kind = kind;
  const std::string& stored = texts_.back();
  if (!policy::ParseRuleText(stored.data(), stored.size(), &rule) || rule.drive == policy::kSystemVolume) {
    texts_.pop_back();
    return false;
  }
  rules->push_back(rule);
  return true;
}

bool WalkRules::AddFolder(const std::string& folder, policy::RuleKind kind) { return Add(folder, kind, &folders_); }

bool WalkRules::AddException(const std::string& file) { return Add(file, policy::RuleKind::kExclusion, &exceptions_); }

bool WalkRules::IsProtected(const std::string& file) const {
  char drive = 0;
  const char* rest = nullptr;
  size_t rest_length = 0;
  if (!policy::SplitDrivePath(file.data(), file.size(), &drive, &rest, &rest_length)) return false;
  policy::RuleSet<char> set;
  set.directories = folders_.data();
  set.directory_count = folders_.size();
  set.exceptions = exceptions_.data();
  set.exception_count = exceptions_.size();
  return policy::IsProtectedFile(set, drive, rest, rest_length);
}

void WalkRules::Clear() {
  folders_.clear();
  exceptions_.clear();
  texts_.clear();
}

}  // namespace tavik::conversion
