// The user's programs after a token logon: every program of Winlogon's "Userinit" value, started as the user on
// Winlogon's desktop with the user's profile loaded and environment built. A program path with blanks is quoted,
// so that "C:\Program Files\..." never starts "C:\Program.exe"; empty entries (the value ends with a comma) are
// skipped.
#include <vector>

#include "logongate_private.h"
#include "userenv.h"

namespace tavik::logongate {
namespace {

constexpr DWORD kUserinitCapacity = 260;

std::u16string Trimmed(const std::u16string& text) {
  const size_t first = text.find_first_not_of(u" \t");
  if (first == std::u16string::npos) return u"";
  return text.substr(first, text.find_last_not_of(u" \t") - first + 1);
}

std::vector<std::u16string> Programs(const std::u16string& value) {
  std::vector<std::u16string> programs;
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find(u',', start);
    if (end == std::u16string::npos) end = value.size();
    const std::u16string program = Trimmed(value.substr(start, end - start));
    if (!program.empty()) programs.push_back(program);
    start = end + 1;
  }
  return programs;
}

std::u16string CommandLine(const std::u16string& program) {
  if (program.find(u' ') == std::u16string::npos || program.front() == u'"') return program;
  return u"\"" + program + u"\"";
}

bool Start(HANDLE token, const std::u16string& program, PWSTR desktop, PVOID winlogon_environment,
           const std::u16string& user) {
  PROFILEINFOW profile{};
  profile.dwSize = sizeof profile;
  profile.dwFlags = PI_NOUI;
  std::u16string profile_user = user;
  profile.lpUserName = profile_user.data();
  const bool profile_loaded = LoadUserProfileW(token, &profile) != FALSE;
  LPVOID environment = nullptr;
  const bool own_environment = CreateEnvironmentBlock(&environment, token, FALSE) != FALSE;
  ImpersonateLoggedOnUser(token);
  std::u16string command = CommandLine(program);
  std::u16string title = program;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.lpDesktop = desktop;
  startup.lpTitle = title.data();
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessAsUserW(token, nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                           own_environment ? environment : winlogon_environment, nullptr, &startup, &process);
  const DWORD error = GetLastError();
  RevertToSelf();
  if (own_environment) DestroyEnvironmentBlock(environment);
  if (profile_loaded) UnloadUserProfile(token, profile.hProfile);
  if (!started) {
    LogEvent(kError, "Cannot start %s (error %u)\n", Narrow(program).c_str(), static_cast<unsigned>(error));
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

BOOL StartUserPrograms(PWSTR desktop, PVOID winlogon_environment) {
  WCHAR value[kUserinitCapacity + 1] = {};
  GetProfileStringW(u"Winlogon", u"Userinit", u"Userinit.exe", value, kUserinitCapacity + 1);
  std::u16string user, domain;
  ReadLastUser(&user, &domain);
  const HANDLE token = TheModule().logon_state->user_token;
  bool started = false;
  for (const std::u16string& program : Programs(value)) {
    started = Start(token, program, desktop, winlogon_environment, user) || started;
  }
  return started ? TRUE : FALSE;
}

}  // namespace tavik::logongate
