// LogonUserW: an interactive logon of one of the machine's accounts, checked as the local security authority checks
// it, into a token of a new logon session. The LAN agent challenges the workstation while a logon of an account it
// watches runs, as a domain's agent would.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "advapi32_private.h"
#include "security_private.h"
#include "xp/accounts.h"
#include "xp/faults.h"
#include "xp/lanagent.h"
#include "xp/machine.h"
#include "xp/registry.h"

namespace xp::advapi32 {
namespace {

constexpr DWORD kFirstLogonId = 0x3E8;  // the system's own sessions end at 0x3E7
constexpr DWORD kLogonTokenRights = TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE | STANDARD_RIGHTS_READ;

std::string Text(LPCWSTR text) { return text != nullptr ? registry::Utf16ToAnsi(text) : ""; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

BOOL Refuse(const std::string& user, DWORD error) {
  machine::Journal("advapi32 LogonUserW " + user + " refused (error " + std::to_string(error) + ")");
  SetLastError(error);
  return FALSE;
}

}  // namespace

// A counter in the machine folder, so that no two logons of the machine share a session.
LUID NewLogonId() {
  const std::filesystem::path counter = machine::Root() / "logon-sessions";
  const int fd = ::open(counter.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  DWORD next = kFirstLogonId;
  if (fd >= 0 && ::flock(fd, LOCK_EX) == 0) {
    char text[16] = {};
    if (::pread(fd, text, sizeof text - 1, 0) > 0) next = static_cast<DWORD>(std::strtoul(text, nullptr, 10));
    if (next < kFirstLogonId) next = kFirstLogonId;
    const std::string written = std::to_string(next + 1) + "\n";
    if (::pwrite(fd, written.data(), written.size(), 0) < 0 || ::ftruncate(fd, written.size()) != 0) {
      std::fprintf(stderr, "warn:advapi32:LogonUserW cannot keep the session counter\n");
    }
  }
  if (fd >= 0) ::close(fd);
  return LUID{next, 0};
}

}  // namespace xp::advapi32

// Exported by advapi32.
extern "C" BOOL LogonUserW(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logon_type, DWORD logon_provider,
                           PHANDLE token) {
  using namespace xp::advapi32;
  if (logon_type != LOGON32_LOGON_INTERACTIVE ||
      (logon_provider != LOGON32_PROVIDER_DEFAULT && logon_provider != LOGON32_PROVIDER_WINNT50)) {
    Unimplemented("LogonUserW", "only interactive logons are implemented");
    return FALSE;
  }
  const std::string name = Text(user);
  const std::string domain_name = Text(domain);
  if (token == nullptr || name.empty() || domain_name.empty()) return Refuse(name, ERROR_INVALID_PARAMETER);
  *token = nullptr;
  if (domain_name != "." && !SameName(domain_name, xp::machine::Setting("computer_name").value_or(""))) {
    return Refuse(name, ERROR_NO_SUCH_DOMAIN);
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("LogonUserW", name)) return Refuse(name, *error);
  const std::optional<xp::machine::Account> account = xp::machine::FindAccount(name);
  if (!account || account->kind != xp::machine::AccountKind::kUser ||
      xp::machine::AccountPassword(*account) != Text(password)) {
    return Refuse(name, ERROR_LOGON_FAILURE);
  }
  if (account->disabled) return Refuse(name, ERROR_ACCOUNT_DISABLED);
  if (account->must_change_password) return Refuse(name, ERROR_PASSWORD_MUST_CHANGE);
  if (account->lan_challenge && !xp::lanagent::ChallengeWorkstation(account->name)) {
    return Refuse(name, ERROR_LOGON_FAILURE);
  }
  const LUID session = NewLogonId();
  *token = xp::InsertHandle(std::make_shared<TokenObject>(account->name, session, kLogonTokenRights));
  xp::machine::Journal("advapi32 LogonUserW " + account->name + " session " + std::to_string(session.LowPart));
  return TRUE;
}
