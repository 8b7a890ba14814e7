// The installer's files on the machine. Folders and the lists go through the Win32 calls, as any program's files
// do; a deliverable is copied from the build into its drive folder as it is, since the machine starts and loads
// that very file.
#include <strings.h>

#include <system_error>

#include "installer_private.h"
#include "xp/drive_paths.h"

namespace xp::installer {
namespace {

namespace fs = std::filesystem;

bool IsKept(const std::string& name, const std::vector<std::string>& kept) {
  for (const std::string& keep : kept) {
    if (::strcasecmp(keep.c_str(), name.c_str()) == 0) return true;
  }
  return false;
}

}  // namespace

bool MakeFolders(const std::string& folder) {
  for (size_t at = folder.find('\\', 3); ; at = folder.find('\\', at + 1)) {
    const std::string part = folder.substr(0, at);
    if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (at == std::string::npos) return true;
  }
}

bool CopyBuiltFile(const fs::path& built, const std::string& windows_path, std::string* error) {
  machine::FoundPath found;
  fs::path target;
  if (machine::FindOnDrives(windows_path, &found) == machine::PathLookup::kFound) {
    target = found.host;  // keeps the case the file was made with, as Windows does
  } else {
    const size_t separator = windows_path.find_last_of('\\');
    if (machine::FindOnDrives(windows_path.substr(0, separator), &found) != machine::PathLookup::kFound) {
      *error = windows_path.substr(0, separator) + " is not on the machine";
      return false;
    }
    target = found.host / windows_path.substr(separator + 1);
  }
  std::error_code failure;
  fs::copy_file(built, target, fs::copy_options::overwrite_existing, failure);
  if (!failure) fs::permissions(target, fs::perms::owner_all, fs::perm_options::add, failure);
  if (failure) *error = failure.message();
  return !failure;
}

bool WriteMachineFile(const std::string& windows_path, const std::string& content) {
  const HANDLE file = CreateFileA(windows_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                     written == content.size();
  return CloseHandle(file) && whole;
}

void RemoveTree(const std::string& folder, const std::vector<std::string>& kept) {
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      RemoveTree(path, kept);
    } else if (!IsKept(name, kept)) {
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  RemoveDirectoryA(folder.c_str());  // refused while a kept file is in it
}

}  // namespace xp::installer
