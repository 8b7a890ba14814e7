// CreateProcessA: starts a program of the machine's drives (a Linux program copied there under its Windows name) as
// a process of the machine, running as the caller's account (or, for Winlogon and its GINA, a logged-on user's), and
// journals the launch.
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "file_layer.h"
#include "process_object.h"
#include "xp/debug.h"
#include "xp/drive_paths.h"
#include "xp/faults.h"
#include "xp/process_start.h"
#include "xp/processes.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

constexpr DWORD kSupportedFlags = CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS;

bool IsDrivePath(const std::string& name) { return name.size() >= 3 && name[1] == ':'; }

bool HasExtension(const std::string& name) {
  const size_t separator = name.find_last_of("\\/");
  return name.find('.', separator == std::string::npos ? 0 : separator + 1) != std::string::npos;
}

DWORD LookUp(const std::string& path, machine::FoundPath* found) {
  switch (machine::FindOnDrives(path, found)) {
    case machine::PathLookup::kFound:
      return std::filesystem::is_regular_file(found->host) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    case machine::PathLookup::kFileNotFound:
      return ERROR_FILE_NOT_FOUND;
    case machine::PathLookup::kPathNotFound:
      return ERROR_PATH_NOT_FOUND;
    case machine::PathLookup::kInvalid:
      break;
  }
  return ERROR_INVALID_NAME;
}

// The folders a bare or relative program name is looked for in: the caller's own program folder, then the system
// and Windows folders.
std::vector<std::string> SearchFolders() {
  std::vector<std::string> folders;
  const std::string image = machine::CurrentProcess().image;
  const size_t separator = image.find_last_of('\\');
  if (IsDrivePath(image) && separator != std::string::npos) folders.push_back(image.substr(0, separator));
  folders.push_back("C:\\WINDOWS\\system32");
  folders.push_back("C:\\WINDOWS");
  return folders;
}

DWORD FindProgram(const std::string& name, machine::FoundPath* found) {
  if (IsDrivePath(name)) return LookUp(name, found);
  for (const std::string& folder : SearchFolders()) {
    if (LookUp(folder + "\\" + name, found) == ERROR_SUCCESS) return ERROR_SUCCESS;
  }
  return ERROR_FILE_NOT_FOUND;
}

// A command line's program: each candidate in turn (with ".exe" added when it has no extension), first found wins.
DWORD FindProgramOfCommandLine(const std::string& command_line, machine::FoundPath* found) {
  DWORD error = ERROR_FILE_NOT_FOUND;
  for (std::string candidate : ProgramCandidates(command_line)) {
    if (!HasExtension(candidate)) candidate += ".exe";
    error = FindProgram(candidate, found);
    if (error == ERROR_SUCCESS) break;
  }
  return error;
}

DWORD ErrorOfFailedStart(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOEXEC:
      return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case EAGAIN:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_GEN_FAILURE;
  }
}

bool UsesOnlyWhatIsImplemented(LPSECURITY_ATTRIBUTES process_attributes, LPSECURITY_ATTRIBUTES thread_attributes,
                               DWORD creation_flags, LPVOID environment, LPCSTR current_directory,
                               const STARTUPINFOA* startup_info) {
  const bool plain_startup =
      startup_info == nullptr || (startup_info->lpDesktop == nullptr && startup_info->lpTitle == nullptr &&
                                  startup_info->dwFlags == 0 && startup_info->cbReserved2 == 0);
  return process_attributes == nullptr && thread_attributes == nullptr && (creation_flags & ~kSupportedFlags) == 0 &&
         environment == nullptr && current_directory == nullptr && plain_startup;
}

}  // namespace
}  // namespace xp::kernel32

namespace xp {

BOOL CreateProcessAsAccount(const std::string& account, LPCSTR application_name, LPSTR command_line,
                            LPSECURITY_ATTRIBUTES process_attributes, LPSECURITY_ATTRIBUTES thread_attributes,
                            DWORD creation_flags, LPVOID environment, LPCSTR current_directory,
                            LPSTARTUPINFOA startup_info, LPPROCESS_INFORMATION process_information) {
  using namespace xp::kernel32;
  if (!UsesOnlyWhatIsImplemented(process_attributes, thread_attributes, creation_flags, environment, current_directory,
                                 startup_info)) {
    XP_FIXME("CreateProcessA",
             "only CREATE_DEFAULT_ERROR_MODE and NORMAL_PRIORITY_CLASS, with no security attributes, "
             "environment, folder or STARTUPINFO options, are implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  if (startup_info == nullptr || process_information == nullptr ||
      (application_name == nullptr && command_line == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  xp::machine::FoundPath program;
  const DWORD error = application_name != nullptr ? FindProgram(application_name, &program)
                                                  : FindProgramOfCommandLine(command_line, &program);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  if (const std::optional<uint32_t> fault = xp::machine::FailPoint("CreateProcessA", program.windows)) {
    SetLastError(*fault);
    return FALSE;
  }
  xp::kernel32::WriteImageBack(program.windows);
  xp::machine::LaunchRequest request;
  request.host_file = program.host;
  request.image = program.windows;
  request.argv = command_line != nullptr ? SplitCommandLine(command_line) : std::vector<std::string>{};
  if (request.argv.empty()) request.argv.push_back(application_name != nullptr ? application_name : program.windows);
  request.account = account;
  request.command_line = command_line != nullptr ? command_line : "";
  ReapEndedChildren();
  xp::machine::LaunchedProcess launched;
  if (const int start_error = xp::machine::LaunchProcess(request, &launched); start_error != 0) {
    SetLastError(ErrorOfFailedStart(start_error));
    return FALSE;
  }
  AddChild(launched.host_pid);
  const auto process = std::make_shared<ProcessObject>(launched.pid, PROCESS_ALL_ACCESS, launched.host_pid);
  process_information->hProcess = xp::InsertHandle(process);
  process_information->hThread = xp::InsertHandle(std::make_shared<ProcessThreadObject>(process));
  process_information->dwProcessId = launched.pid;
  process_information->dwThreadId = launched.thread_id;
  return TRUE;
}

}  // namespace xp

// Exported by kernel32. Handles are never inherited: no handle of this system is created inheritable, so
// inherit_handles changes nothing.
extern "C" BOOL CreateProcessA(LPCSTR application_name, LPSTR command_line, LPSECURITY_ATTRIBUTES process_attributes,
                               LPSECURITY_ATTRIBUTES thread_attributes, BOOL, DWORD creation_flags,
                               LPVOID environment, LPCSTR current_directory, LPSTARTUPINFOA startup_info,
                               LPPROCESS_INFORMATION process_information) {
  return xp::CreateProcessAsAccount(xp::machine::CurrentProcess().account, application_name, command_line,
                                    process_attributes, thread_attributes, creation_flags, environment,
                                    current_directory, startup_info, process_information);
}
