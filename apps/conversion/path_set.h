// A set of Windows paths that compares them as the file system does, ignoring the case of ASCII letters; lookups
// cost the same however many files an install has done.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

namespace tavik::conversion {

class PathSet {
 public:
  // False when the path was there already.
  bool Add(std::string_view path) { return paths_.insert(Fold(path)).second; }
  bool Contains(std::string_view path) const { return paths_.count(Fold(path)) != 0; }
  size_t size() const { return paths_.size(); }
  void Clear() { paths_.clear(); }

 private:
  static std::string Fold(std::string_view path) {
    std::string folded(path);
    for (char& c : folded) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
  }
  std::unordered_set<std::string> paths_;
};

}  // namespace tavik::conversion
