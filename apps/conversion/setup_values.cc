// The registry values the setup programs hand each other: the disk-state flag "Decrypted" under the flag key (one
// decimal digit, stored with its NUL; the installer creates the key, nothing here does) and the RunOnce value
// "RunSetup", which Windows runs at the next administrator logon and deletes first, so a program sets it again
// whenever work is left that must resume.
#include "conversion.h"
#include "disk_state.h"
#include "setupcore.h"

namespace tavik::conversion {
namespace {

constexpr char kRunSetup[] = "RunSetup";

}  // namespace

std::optional<std::string> ReadDecryptedFlag() {
  char value[4] = {};
  if (!getRegStrData(value, sizeof value, HKEY_LOCAL_MACHINE, kFlagKey, kDecryptedValue)) return std::nullopt;
  return std::string(value);
}

FlagWrite SetDecryptedFlag(const char* value) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFlagKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return FlagWrite::kKeyNotOpened;
  }
  const LSTATUS status = RegSetValueExA(key, kDecryptedValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                        static_cast<DWORD>(std::string_view(value).size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? FlagWrite::kWritten : FlagWrite::kValueNotWritten;
}

void ArmRunSetup(const char* program) {
  delRunOnceValue(kRunSetup);
  setRunOnceKey(kRunSetup, program);
}

void DisarmRunSetup() { delRunOnceValue(kRunSetup); }

}  // namespace tavik::conversion
