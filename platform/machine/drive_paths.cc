// Windows paths on the machine's drives, found component by component ignoring case, as NTFS does.
#include "xp/drive_paths.h"

#include <strings.h>

#include <cctype>
#include <system_error>
#include <vector>

#include "xp/machine.h"

namespace xp::machine {
namespace {

namespace fs = std::filesystem;

bool IsPlainName(std::string_view name) {
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

// The components after "X:", with "." dropped and ".." applied; nullopt for a name Windows would refuse.
std::optional<std::vector<std::string>> Components(std::string_view rest) {
  std::vector<std::string> components;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = rest.size();
    const std::string_view part = rest.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!components.empty()) components.pop_back();
      continue;
    }
    if (!IsPlainName(part)) return std::nullopt;
    components.emplace_back(part);
  }
  return components;
}

// The entry of `folder` named `name` ignoring case: the exact name first, then a scan of the folder.
std::optional<fs::path> FindEntry(const fs::path& folder, const std::string& name) {
  std::error_code error;
  const fs::path exact = folder / name;
  if (fs::symlink_status(exact, error).type() != fs::file_type::not_found && !error) return exact;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string candidate = it->path().filename().string();
    if (candidate.size() == name.size() && ::strcasecmp(candidate.c_str(), name.c_str()) == 0) return it->path();
  }
  return std::nullopt;
}

}  // namespace

PathLookup FindOnDrives(std::string_view windows_path, FoundPath* found) {
  if (windows_path.size() < 3 || !std::isalpha(static_cast<unsigned char>(windows_path[0])) || windows_path[1] != ':' ||
      (windows_path[2] != '\\' && windows_path[2] != '/')) {
    return PathLookup::kInvalid;
  }
  const std::optional<std::vector<std::string>> components = Components(windows_path.substr(2));
  if (!components) return PathLookup::kInvalid;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(windows_path[0])));
  fs::path host = Root() / "drives" / std::string(1, letter);
  std::string windows = std::string(1, letter) + ":";
  std::error_code error;
  if (!fs::is_directory(fs::symlink_status(host, error))) return PathLookup::kPathNotFound;
  for (size_t i = 0; i < components->size(); ++i) {
    const bool last = i + 1 == components->size();
    const std::optional<fs::path> entry = FindEntry(host, (*components)[i]);
    if (!entry) return last ? PathLookup::kFileNotFound : PathLookup::kPathNotFound;
    const fs::file_type type = fs::symlink_status(*entry, error).type();
    if (type == fs::file_type::symlink) return last ? PathLookup::kFileNotFound : PathLookup::kPathNotFound;
    if (!last && type != fs::file_type::directory) return PathLookup::kPathNotFound;
    host = *entry;
    windows += "\\" + entry->filename().string();
  }
  if (components->empty()) windows += "\\";
  found->host = host;
  found->windows = windows;
  return PathLookup::kFound;
}

std::optional<std::string> WindowsPathOf(const fs::path& host) {
  std::error_code error;
  const fs::path file = fs::absolute(host, error).lexically_normal();
  const fs::path relative = file.lexically_relative(Root() / "drives");
  auto part = relative.begin();
  if (error || relative.empty() || part == relative.end()) return std::nullopt;
  const std::string letter = part->string();
  if (letter.size() != 1 || !std::isupper(static_cast<unsigned char>(letter[0]))) return std::nullopt;
  std::string windows = letter + ":";
  for (++part; part != relative.end(); ++part) {
    if (part->empty()) continue;
    windows += "\\" + part->string();
  }
  if (windows.size() == 2) windows += "\\";
  return windows;
}

}  // namespace xp::machine
