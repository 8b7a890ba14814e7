// GetShortPathNameA over the machine's alias table (xp/short_names.h): the path must exist; the longest listed
// folder above it (or the path itself) is replaced by its short form, and anything else is given back as it came.
#include <strings.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

#include "ddk/ntifs.h"
#include "file_layer.h"
#include "xp/machine.h"
#include "xp/short_names.h"

namespace xp::kernel32 {
namespace {

constexpr char kTableFile[] = "short_names";

// True when `path` is `folder` or lies beneath it, ignoring case.
bool Covers(const std::string& folder, const std::string& path) {
  if (path.size() < folder.size() || ::strncasecmp(path.c_str(), folder.c_str(), folder.size()) != 0) return false;
  return path.size() == folder.size() || path[folder.size()] == '\\' || folder.back() == '\\';
}

// `path` in its short form, or nullopt when no alias covers it.
std::optional<std::string> Shortened(const std::string& path) {
  std::ifstream table(machine::Root() / kTableFile);
  std::optional<std::string> best;
  size_t best_length = 0;
  for (std::string line; std::getline(table, line);) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    const std::string long_path = line.substr(0, tab);
    if (long_path.size() > best_length && Covers(long_path, path)) {
      best = line.substr(tab + 1) + path.substr(long_path.size());
      best_length = long_path.size();
    }
  }
  return best;
}

}  // namespace

void AddShortNameAlias(const std::string& long_path, const std::string& short_path) {
  if (long_path.empty() || (long_path + short_path).find_first_of("\t\r\n") != std::string::npos) {
    throw std::invalid_argument("an alias is two paths without tabs or line breaks");
  }
  std::ofstream table(machine::Root() / kTableFile, std::ios::app);
  table << long_path << '\t' << short_path << '\n';
  if (!table) throw std::runtime_error("cannot write the short-name table");
}

}  // namespace xp::kernel32

using namespace xp::kernel32;

// Exported by kernel32. The length without the NUL; the size needed (with it) when `size` is too small; 0 with
// the last error set when the path does not exist.
extern "C" DWORD GetShortPathNameA(LPCSTR long_path, LPSTR short_path, DWORD size) {
  const std::optional<WindowsPath> path = ParseWindowsPath(long_path, "GetShortPathNameA");
  if (!path) return 0;
  FILE_BASIC_INFORMATION basic{};
  const NTSTATUS status = QueryBasic(*path, &basic);
  if (!NT_SUCCESS(status)) {
    FailWithStatus(status);
    return 0;
  }
  const std::string result = Shortened(path->Text()).value_or(long_path);
  if (short_path == nullptr || size <= result.size()) return static_cast<DWORD>(result.size() + 1);
  std::memcpy(short_path, result.c_str(), result.size() + 1);
  return static_cast<DWORD>(result.size());
}
