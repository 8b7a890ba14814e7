// The machine.ini edit of machine_setting.h: every other line stays as it was.
#include "machine_setting.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace xp::test {

void SetMachineSetting(const std::filesystem::path& machine, const std::string& key, const std::string& value) {
  const std::filesystem::path file = machine / "machine.ini";
  std::ifstream in(file);
  std::ostringstream text;
  bool replaced = false;
  for (std::string line; std::getline(in, line);) {
    const size_t equals = line.find('=');
    std::string name = line.substr(0, equals == std::string::npos ? 0 : equals);
    name.erase(name.find_last_not_of(" \t") + 1);
    name.erase(0, name.find_first_not_of(" \t"));
    if (!replaced && equals != std::string::npos && name == key) {
      text << key << " = " << value << "\n";
      replaced = true;
    } else {
      text << line << "\n";
    }
  }
  if (!replaced) text << key << " = " << value << "\n";
  in.close();
  std::ofstream out(file, std::ios::trunc);
  out << text.str();
  if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace xp::test
