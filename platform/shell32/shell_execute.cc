// The shell's associations, as far as the system follows them: FindExecutableA gives the program a kind of file is
// opened with (the "open" command of the extension's class, per user in HKCU first, then in HKLM), and
// ShellExecuteA starts a program with parameters, as Explorer would. Documents and other verbs are not opened.
#include <strings.h>

#include <cstring>
#include <optional>
#include <string>

#include "shellapi.h"
#include "windows.h"

namespace {

constexpr INT_PTR kSucceeded = 42;  // what XP gives back on success: any value above 32

void Fixme(const char* function, const std::string& what) {
  std::fprintf(stderr, "fixme:shell32:%s %s\n", function, what.c_str());
}

HINSTANCE Result(INT_PTR value) { return reinterpret_cast<HINSTANCE>(value); }

std::optional<std::string> DefaultValue(HKEY root, const std::string& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return std::nullopt;
  char data[MAX_PATH * 2] = {};
  DWORD size = sizeof data - 1;
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExA(opened, "", nullptr, &type, reinterpret_cast<LPBYTE>(data), &size);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
  return std::string(data);
}

// A key of HKEY_CLASSES_ROOT: the user's own classes first, then the machine's.
std::optional<std::string> ClassesDefault(const std::string& key) {
  if (auto text = DefaultValue(HKEY_CURRENT_USER, "Software\\Classes\\" + key)) return text;
  return DefaultValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\" + key);
}

std::string Extension(const std::string& path) {
  const size_t name = path.find_last_of("\\/");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (name != std::string::npos && dot < name)) return "";
  return path.substr(dot);
}

bool IsProgram(const std::string& path) { return ::strcasecmp(Extension(path).c_str(), ".exe") == 0; }

// The program of a command template: its quoted first part, or what comes before the first blank.
std::string ProgramOf(const std::string& command) {
  if (!command.empty() && command[0] == '"') {
    const size_t close = command.find('"', 1);
    return command.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  return command.substr(0, command.find(' '));
}

}  // namespace

// Exported by shell32.
extern "C" HINSTANCE FindExecutableA(LPCSTR file, LPCSTR directory, LPSTR result) {
  if (result == nullptr || file == nullptr) return Result(SE_ERR_FNF);
  result[0] = '\0';
  std::string path = file;
  const bool absolute = path.size() > 1 && path[1] == ':';
  if (!absolute && directory != nullptr && *directory != '\0') {
    path = std::string(directory) + (std::string(directory).ends_with("\\") ? "" : "\\") + path;
  }
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return Result(GetLastError() == ERROR_PATH_NOT_FOUND ? SE_ERR_PNF : SE_ERR_FNF);
  }
  std::string program;
  if (IsProgram(path)) {
    program = path;
  } else {
    const std::optional<std::string> file_class = ClassesDefault(Extension(path));
    const std::optional<std::string> command =
        file_class ? ClassesDefault(*file_class + "\\shell\\open\\command") : std::nullopt;
    if (!command) return Result(SE_ERR_NOASSOC);
    program = ProgramOf(*command);
  }
  if (program.empty()) return Result(SE_ERR_NOASSOC);
  std::strncpy(result, program.c_str(), MAX_PATH - 1);
  result[MAX_PATH - 1] = '\0';
  return Result(kSucceeded);
}

// Exported by shell32.
// No window is shown: the started program is what the user sees.
extern "C" HINSTANCE ShellExecuteA(HWND /*window*/, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                                   LPCSTR directory, INT /*show_command*/) {
  if (operation != nullptr && *operation != '\0' && ::strcasecmp(operation, "open") != 0) {
    Fixme("ShellExecuteA", std::string("only \"open\" (") + operation + ")");
    return Result(SE_ERR_NOASSOC);
  }
  if (file == nullptr || !IsProgram(file)) {
    Fixme("ShellExecuteA", std::string("only programs are started, not ") + (file == nullptr ? "(null)" : file));
    return Result(SE_ERR_NOASSOC);
  }
  std::string command_line = std::string("\"") + file + "\"";
  if (parameters != nullptr && *parameters != '\0') command_line += std::string(" ") + parameters;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(file, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory != nullptr && *directory != '\0' ? directory : nullptr, &startup, &process)) {
    const DWORD error = GetLastError();
    switch (error) {
      case ERROR_FILE_NOT_FOUND: return Result(SE_ERR_FNF);
      case ERROR_PATH_NOT_FOUND: return Result(SE_ERR_PNF);
      case ERROR_BAD_EXE_FORMAT: return Result(ERROR_BAD_FORMAT);
      default: return Result(SE_ERR_ACCESSDENIED);
    }
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return Result(kSucceeded);
}
