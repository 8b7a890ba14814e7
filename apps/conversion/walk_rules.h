// The rules the walks decide by: the folder lists and the plain-left files as the driver will get them from the
// registry, handed to the one protection routine that the driver uses too. A file the walk leaves plain is then
// exactly a file the driver leaves plain, on every volume.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "protection_policy.h"

namespace tavik::conversion {

class WalkRules {
 public:
  // A folder "X:\path" of a folder list; false when the text is no such path.
  bool AddFolder(const std::string& folder, policy::RuleKind kind);
  // A plain-left file "X:\path\name".
  bool AddException(const std::string& file);
  // Whether the driver will protect the file "X:\path\name": so whether the walk must encrypt it.
  bool IsProtected(const std::string& file) const;
  void Clear();

 private:
  bool Add(const std::string& text, policy::RuleKind kind, std::vector<policy::Rule<char>>* rules);

  std::deque<std::string> texts_;  // stable storage the rules point into
  std::vector<policy::Rule<char>> folders_;
  std::vector<policy::Rule<char>> exceptions_;
};

}  // namespace tavik::conversion
