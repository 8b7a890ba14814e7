// CreateProcessAsUserW: a program started as the token's account. The machine's processes have no desktops, window
// titles or environment blocks of their own, so those are journaled with the start and go no further.
#include "advapi32_private.h"
#include "security_private.h"
#include "xp/machine.h"
#include "xp/process_start.h"
#include "xp/ui.h"

namespace xp::advapi32 {
namespace {

std::string Text(LPCWSTR text) { return text != nullptr ? registry::Utf16ToAnsi(text) : ""; }

}  // namespace
}  // namespace xp::advapi32

// Exported by advapi32.
extern "C" BOOL CreateProcessAsUserW(HANDLE token, LPCWSTR application_name, LPWSTR command_line,
                                     LPSECURITY_ATTRIBUTES process_attributes, LPSECURITY_ATTRIBUTES thread_attributes,
                                     BOOL, DWORD creation_flags, LPVOID environment, LPCWSTR current_directory,
                                     LPSTARTUPINFOW startup_info, LPPROCESS_INFORMATION process_information) {
  using namespace xp::advapi32;
  const std::optional<TokenSubject> subject = ResolveToken(token, TOKEN_QUERY | TOKEN_DUPLICATE);
  if (!subject) return FALSE;
  if (startup_info == nullptr || startup_info->cb != sizeof(STARTUPINFOW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string application = Text(application_name);
  std::string command = Text(command_line);
  const std::string desktop = Text(startup_info->lpDesktop);
  const std::string title = Text(startup_info->lpTitle);
  xp::machine::Journal("advapi32 CreateProcessAsUserW as " + subject->account.name + " on desktop " +
                       xp::ui::Quote(desktop) + " titled " + xp::ui::Quote(title) + ": " + xp::ui::Quote(command) +
                       (environment != nullptr ? " (with an environment block)" : ""));
  STARTUPINFOA plain{};
  plain.cb = sizeof plain;
  const std::string folder = Text(current_directory);
  return xp::CreateProcessAsAccount(subject->account.name, application_name != nullptr ? application.c_str() : nullptr,
                                    command_line != nullptr ? command.data() : nullptr, process_attributes,
                                    thread_attributes, creation_flags & ~CREATE_UNICODE_ENVIRONMENT, nullptr,
                                    current_directory != nullptr ? folder.c_str() : nullptr, &plain,
                                    process_information);
}
