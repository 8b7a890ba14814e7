// The scratch machine of one bench run: drive D: beside C:, a token in its port, the machine's clock virtual. At
// the end the machine's kernel host is stopped and its folder removed.
#pragma once

#include <filesystem>
#include <string>

namespace bench {

class BenchMachine {
 public:
  // The machine's folder is made under the host's temporary folder, named "<name>-XXXXXX".
  explicit BenchMachine(const std::string& name);
  ~BenchMachine();
  BenchMachine(const BenchMachine&) = delete;
  BenchMachine& operator=(const BenchMachine&) = delete;

  const std::filesystem::path& root() const { return root_; }
  // The generated tree's folder on the host, which cp -a copies.
  std::string HostTree() const { return (root_ / "drives/D/tree").string(); }

 private:
  std::filesystem::path root_;
};

}  // namespace bench
