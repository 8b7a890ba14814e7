// The local computer's accounts through the network management calls: their enumeration in batches, and password
// changes, checked as the local security authority checks them (the old password, the password history).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lm.h"
#include "xp/accounts.h"
#include "xp/faults.h"
#include "xp/machine.h"
#include "xp/registry.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(netapi32);

namespace xp::netapi32 {
namespace {

std::u16string Wide(LPCWSTR text) { return text != nullptr ? std::u16string(text) : std::u16string(); }
std::string Ansi(LPCWSTR text) { return registry::Utf16ToAnsi(Wide(text)); }

bool ThisComputer(LPCWSTR name) {
  std::u16string text = Wide(name);
  if (text.rfind(u"\\\\", 0) == 0) text.erase(0, 2);
  return text.empty() || lstrcmpiW(text.c_str(), registry::AnsiToUtf16(machine::Setting("computer_name").value_or(""))
                                                     .c_str()) == 0;
}

std::vector<machine::Account> NormalAccounts() {
  std::vector<machine::Account> accounts;
  for (const machine::Account& account : machine::Accounts()) {
    if (account.kind == machine::AccountKind::kUser) accounts.push_back(account);
  }
  return accounts;
}

size_t EntrySize(const machine::Account& account) {
  return sizeof(USER_INFO_10) + (account.name.size() + account.full_name.size() + 4) * sizeof(WCHAR);
}

// Lays the entries out in one block: the records, then their strings.
LPBYTE Pack(const std::vector<machine::Account>& accounts) {
  size_t size = 0;
  for (const machine::Account& account : accounts) size += EntrySize(account);
  auto* block = static_cast<LPBYTE>(std::calloc(1, size == 0 ? 1 : size));
  auto* records = reinterpret_cast<USER_INFO_10*>(block);
  auto* strings = reinterpret_cast<WCHAR*>(block + accounts.size() * sizeof(USER_INFO_10));
  const auto put = [&](const std::string& text) {
    const std::u16string wide = registry::AnsiToUtf16(text);
    WCHAR* at = strings;
    std::memcpy(at, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    strings += wide.size() + 1;
    return at;
  };
  for (size_t i = 0; i < accounts.size(); ++i) {
    records[i].usri10_name = put(accounts[i].name);
    records[i].usri10_comment = put("");
    records[i].usri10_usr_comment = put("");
    records[i].usri10_full_name = put(accounts[i].full_name);
  }
  return block;
}

NET_API_STATUS Refuse(const std::string& user, NET_API_STATUS status) {
  machine::Journal("netapi32 NetUserChangePassword " + user + " refused (error " + std::to_string(status) + ")");
  return status;
}

}  // namespace
}  // namespace xp::netapi32

using namespace xp::netapi32;

// Exported by netapi32.
extern "C" NET_API_STATUS NetUserEnum(LPCWSTR server, DWORD level, DWORD filter, LPBYTE* buffer,
                                      DWORD preferred_length, LPDWORD entries_read, LPDWORD total_entries,
                                      LPDWORD resume_handle) {
  if (buffer == nullptr || entries_read == nullptr || total_entries == nullptr) return ERROR_INVALID_PARAMETER;
  if (level != 10 || filter != FILTER_NORMAL_ACCOUNT) {
    XP_FIXME("NetUserEnum", "only level 10 of normal accounts is implemented");
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  if (!ThisComputer(server)) return NERR_InvalidComputer;
  const std::vector<xp::machine::Account> all = NormalAccounts();
  size_t first = resume_handle != nullptr ? *resume_handle : 0;
  if (first > all.size()) first = all.size();
  std::vector<xp::machine::Account> batch;
  size_t size = 0;
  for (size_t i = first; i < all.size(); ++i) {
    size += EntrySize(all[i]);
    if (!batch.empty() && size > preferred_length) break;
    batch.push_back(all[i]);
  }
  *buffer = Pack(batch);
  *entries_read = static_cast<DWORD>(batch.size());
  *total_entries = static_cast<DWORD>(all.size() - first);
  const size_t next = first + batch.size();
  if (resume_handle != nullptr) *resume_handle = next < all.size() ? static_cast<DWORD>(next) : 0;
  return next < all.size() ? ERROR_MORE_DATA : NERR_Success;
}

// Exported by netapi32.
extern "C" NET_API_STATUS NetApiBufferFree(LPVOID buffer) {
  std::free(buffer);
  return NERR_Success;
}

// Exported by netapi32.
extern "C" NET_API_STATUS NetUserChangePassword(LPCWSTR domain, LPCWSTR user, LPCWSTR old_password,
                                                LPCWSTR new_password) {
  const std::string name = Ansi(user);
  if (!ThisComputer(domain)) return Refuse(name, NERR_InvalidComputer);
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("NetUserChangePassword", name)) {
    return Refuse(name, *error);
  }
  const std::optional<xp::machine::Account> account = xp::machine::FindAccount(name);
  if (!account || account->kind != xp::machine::AccountKind::kUser) return Refuse(name, NERR_UserNotFound);
  const std::string current = xp::machine::AccountPassword(*account);
  if (Ansi(old_password) != current) return Refuse(name, ERROR_INVALID_PASSWORD);
  const std::string wanted = Ansi(new_password);
  // "Enforce password history" remembers the current password and the ones before it.
  const int remembered = std::atoi(xp::machine::Setting("password_history").value_or("0").c_str());
  std::vector<std::string> earlier = xp::machine::PasswordHistory(*account);
  earlier.insert(earlier.begin(), current);
  for (int i = 0; i < remembered && i < static_cast<int>(earlier.size()); ++i) {
    if (earlier[i] == wanted) return Refuse(name, NERR_PasswordTooShort);
  }
  if (wanted.empty()) return Refuse(name, NERR_PasswordTooShort);
  xp::machine::ChangeAccountPassword(*account, wanted);
  return NERR_Success;
}
