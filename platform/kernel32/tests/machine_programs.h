// Test support for the process tests: the child program (xp_kernel32_child) copied
// onto a machine's drive under a Windows name, and the machine's journal without its stamps.
#pragma once

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "built_programs.h"

namespace xp::kernel32::testing {

inline std::filesystem::path HostPathOn(const std::filesystem::path& machine, const std::string& windows_path) {
  std::string relative = windows_path.substr(3);
  for (char& c : relative) c = c == '\\' ? '/' : c;
  return machine / "drives" / windows_path.substr(0, 1) / relative;
}

// Installs a program file at `windows_path` ("C:\Program Files\...\x.exe"): the child program, or `content`.
inline void Install(const std::filesystem::path& machine, const std::string& windows_path,
                    const std::string& content = "") {
  namespace fs = std::filesystem;
  const fs::path target = HostPathOn(machine, windows_path);
  fs::create_directories(target.parent_path());
  if (content.empty()) {
    fs::copy_file(xp::test::BuildProgram("xp_kernel32_child"), target, fs::copy_options::overwrite_existing);
  } else {
    std::ofstream(target) << content;
  }
  fs::permissions(target, fs::perms::owner_all, fs::perm_options::add);
}

inline std::vector<std::string> JournalEvents(const std::filesystem::path& machine) {
  std::ifstream in(machine / "journal.log");
  std::vector<std::string> events;
  for (std::string line; std::getline(in, line);) {
    events.push_back(std::regex_replace(line, std::regex("^\\d+ \\d+ "), ""));
  }
  return events;
}

}  // namespace xp::kernel32::testing
