// The machine's hosts table and its listener table (see xp/network.h). Both are small text files a person can read
// and edit; writers replace them whole under a lock, so readers in other processes never see half a file.
#include "xp/network.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <system_error>

#include "xp/drive_paths.h"
#include "xp/machine.h"

namespace xp::machine {
namespace {

namespace fs = std::filesystem;

constexpr char kHostsFolder[] = "C:\\WINDOWS\\system32\\drivers\\etc";

fs::path NetworkFolder() { return Root() / "network"; }
fs::path ListenersFile() { return NetworkFolder() / "listeners"; }

// Serialises the writers of both tables across the machine's processes.
class TableLock {
 public:
  TableLock() {
    std::error_code error;
    fs::create_directories(NetworkFolder(), error);
    fd_ = ::open((NetworkFolder() / "lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~TableLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  TableLock(const TableLock&) = delete;
  TableLock& operator=(const TableLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

bool ReplaceFile(const fs::path& path, const std::string& content) {
  const fs::path temporary = path.string() + ".new";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file.flush()) return false;
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  return !error;
}

// The host folder of a Windows folder path, made (component by component, keeping the case of those that exist)
// when missing.
std::optional<fs::path> HostFolder(const std::string& windows_folder) {
  FoundPath found;
  if (FindOnDrives(windows_folder, &found) == PathLookup::kFound) return found.host;
  const size_t separator = windows_folder.find_last_of('\\');
  if (separator == std::string::npos || separator < 3) return std::nullopt;
  const std::optional<fs::path> parent = HostFolder(windows_folder.substr(0, separator));
  if (!parent) return std::nullopt;
  const fs::path folder = *parent / windows_folder.substr(separator + 1);
  std::error_code error;
  fs::create_directory(folder, error);
  if (error) return std::nullopt;
  return folder;
}

// Calls `line` with the address and the names of each entry of the hosts table.
void ForEachHostsEntry(const std::string& text,
                       const std::function<bool(const std::string&, const std::vector<std::string>&)>& line) {
  std::istringstream lines(text);
  for (std::string raw; std::getline(lines, raw);) {
    const size_t comment = raw.find('#');
    std::istringstream words(raw.substr(0, comment));
    std::string address;
    if (!(words >> address)) continue;
    std::vector<std::string> names;
    for (std::string name; words >> name;) names.push_back(name);
    if (!line(address, names)) return;
  }
}

std::string ListenerKey(const std::string& address, uint16_t port) { return address + ":" + std::to_string(port); }

// The listener table as (key, host port) pairs, in file order.
std::vector<std::pair<std::string, uint16_t>> ReadListeners() {
  std::vector<std::pair<std::string, uint16_t>> entries;
  std::istringstream lines(ReadText(ListenersFile()));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string key, equals, port_text;
    if (!(words >> key >> equals >> port_text) || equals != "=") continue;
    uint16_t port = 0;
    const auto [end, failure] = std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
    if (failure != std::errc() || end != port_text.data() + port_text.size() || port == 0) continue;
    entries.emplace_back(key, port);
  }
  return entries;
}

bool WriteListeners(const std::vector<std::pair<std::string, uint16_t>>& entries) {
  std::string text = "# machine address:port = the host port on 127.0.0.1 that serves it\n";
  for (const auto& [key, port] : entries) text += key + " = " + std::to_string(port) + "\n";
  return ReplaceFile(ListenersFile(), text);
}

}  // namespace

std::filesystem::path TrustedRootsFile() { return Root() / "certificates" / "roots.pem"; }

bool AddTrustedRoot(const std::string& pem) {
  const TableLock lock;
  std::error_code error;
  fs::create_directories(TrustedRootsFile().parent_path(), error);
  std::string text = ReadText(TrustedRootsFile());
  if (!lock.held() || error) return false;
  if (text.find(pem) != std::string::npos) return true;
  if (!text.empty() && text.back() != '\n') text += '\n';
  return ReplaceFile(TrustedRootsFile(), text + pem);
}

std::optional<std::string> LookUpHost(std::string_view name) {
  FoundPath found;
  if (name.empty() || FindOnDrives(kHostsFile, &found) != PathLookup::kFound) return std::nullopt;
  std::optional<std::string> result;
  const std::string wanted(name);
  ForEachHostsEntry(ReadText(found.host), [&](const std::string& address, const std::vector<std::string>& names) {
    for (const std::string& candidate : names) {
      if (::strcasecmp(candidate.c_str(), wanted.c_str()) == 0) {
        result = address;
        return false;
      }
    }
    return true;
  });
  return result;
}

bool AddHosts(const std::string& address, const std::vector<std::string>& names) {
  const TableLock lock;
  FoundPath existing;
  const std::optional<fs::path> folder = HostFolder(kHostsFolder);
  if (!lock.held() || !folder) return false;
  const fs::path file =
      FindOnDrives(kHostsFile, &existing) == PathLookup::kFound ? existing.host : *folder / "hosts";
  std::string text = ReadText(file);
  for (const std::string& name : names) {
    if (LookUpHost(name)) continue;
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    text += address + "\t" + name + "\r\n";
    if (!ReplaceFile(file, text)) return false;
  }
  return true;
}

bool IsLoopbackAddress(std::string_view address) {
  int parts = 0;
  size_t start = 0;
  int first = -1;
  while (start <= address.size()) {
    const size_t dot = std::min(address.find('.', start), address.size());
    const std::string_view part = address.substr(start, dot - start);
    int value = -1;
    const auto [end, failure] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (part.empty() || part.size() > 3 || failure != std::errc() || end != part.data() + part.size() || value > 255) {
      return false;
    }
    if (parts++ == 0) first = value;
    start = dot + 1;
  }
  return parts == 4 && first == 127;
}

std::optional<uint16_t> Listener(const std::string& address, uint16_t port) {
  const std::string key = ListenerKey(address, port);
  for (const auto& [entry, host_port] : ReadListeners()) {
    if (entry == key) return host_port;
  }
  return std::nullopt;
}

bool SetListener(const std::string& address, uint16_t port, uint16_t host_port) {
  const TableLock lock;
  if (!lock.held()) return false;
  const std::string key = ListenerKey(address, port);
  std::vector<std::pair<std::string, uint16_t>> entries = ReadListeners();
  std::erase_if(entries, [&](const auto& entry) { return entry.first == key; });
  entries.emplace_back(key, host_port);
  return WriteListeners(entries);
}

bool RemoveListener(const std::string& address, uint16_t port, uint16_t host_port) {
  const TableLock lock;
  if (!lock.held()) return false;
  std::vector<std::pair<std::string, uint16_t>> entries = ReadListeners();
  const std::string key = ListenerKey(address, port);
  std::erase_if(entries, [&](const auto& entry) { return entry.first == key && entry.second == host_port; });
  return WriteListeners(entries);
}

}  // namespace xp::machine
