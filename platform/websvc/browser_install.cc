// Putting the browser stand-in on the machine as an XP machine has its browser: a program under "Program Files"
// and the ".htm" and ".html" associations in HKLM\SOFTWARE\Classes that the shell follows.
#include <stdexcept>
#include <system_error>

#include "winreg.h"
#include "xp/drive_paths.h"
#include "xp/registry.h"
#include "xp/websvc.h"

namespace xp::websvc {
namespace {

namespace fs = std::filesystem;

void SetDefault(const std::string& key, const std::string& text) {
  registry::KeyId id = 0;
  if (registry::CreateKey(registry::kMachineKey, registry::AnsiToUtf16(key), &id, nullptr) != ERROR_SUCCESS ||
      registry::SetValue(id, u"", REG_SZ,
                         registry::AnsiDataToStored(REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                                    text.size() + 1)) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot associate the browser: registry key " + key);
  }
}

}  // namespace

void InstallBrowser(const fs::path& built) {
  machine::FoundPath program_files;
  if (!fs::is_regular_file(built) ||
      machine::FindOnDrives("C:\\Program Files", &program_files) != machine::PathLookup::kFound) {
    throw std::runtime_error("cannot install the browser " + built.string());
  }
  const fs::path folder = program_files.host / "Web Browser";
  std::error_code error;
  fs::create_directories(folder, error);
  fs::copy_file(built, folder / "browser.exe", fs::copy_options::overwrite_existing, error);
  if (error) throw std::runtime_error("cannot install the browser: " + error.message());
  SetDefault("SOFTWARE\\Classes\\.htm", "htmlfile");
  SetDefault("SOFTWARE\\Classes\\.html", "htmlfile");
  SetDefault("SOFTWARE\\Classes\\htmlfile\\shell\\open\\command", std::string("\"") + kBrowserPath + "\" \"%1\"");
}

}  // namespace xp::websvc
