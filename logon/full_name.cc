// XP Home Edition shows its users by their full names, so a user may type one: the first normal local account
// whose full name it is (ignoring case) gives its account name instead.
#include "lm.h"
#include "logongate_private.h"

namespace tavik::logongate {
namespace {

constexpr size_t kNameLimit = 256;
// Accounts come from netapi32 in batches of about this many bytes.
constexpr DWORD kBatchBytes = 4096;

}  // namespace

std::u16string AccountNameOf(const std::u16string& typed) {
  if (!XpHomeEdition() || typed.size() >= kNameLimit) return typed;
  DWORD resume = 0;
  NET_API_STATUS status = ERROR_MORE_DATA;
  while (status == ERROR_MORE_DATA) {
    LPBYTE buffer = nullptr;
    DWORD read = 0;
    DWORD total = 0;
    status = NetUserEnum(nullptr, 10, FILTER_NORMAL_ACCOUNT, &buffer, kBatchBytes, &read, &total, &resume);
    if (status != NERR_Success && status != ERROR_MORE_DATA) break;
    const auto* users = reinterpret_cast<const USER_INFO_10*>(buffer);
    for (DWORD i = 0; i < read; ++i) {
      const std::u16string name = users[i].usri10_name;
      if (lstrcmpiW(users[i].usri10_full_name, typed.c_str()) == 0 && name.size() < kNameLimit) {
        NetApiBufferFree(buffer);
        return name;
      }
    }
    NetApiBufferFree(buffer);
  }
  return typed;
}

}  // namespace tavik::logongate
