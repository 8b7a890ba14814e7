// The driver's activation setting tells the two starts apart; once a run has removed the driver's key, the install
// state it reached stands in for it.
#include "diskunseal_private.h"
#include "setupcore.h"
#include "windows.h"

namespace tavik::diskunseal {
namespace {

constexpr char kDriverKey[] = "SOFTWARE\\Quillmarsh\\Tavik\\driver";
constexpr unsigned short kRunStarted = 1100;
// read_hd_install_state's answer for a state file that exists but does not read as a number.
constexpr unsigned short kStateUnreadable = 9999;

}  // namespace

KernelStartState ReadKernelStartState() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    // An unreadable state is no evidence that a run got past the clean-up.
    const unsigned short state = read_hd_install_state();
    return state >= kRunStarted && state != kStateUnreadable ? kSecondStart : kNoDriverKey;
  }
  DWORD value = 0;
  DWORD size = sizeof(value);
  const LSTATUS status = RegQueryValueExA(key, "nostart", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || size != sizeof(value)) return kUnreadableStart;
  if (value == 1) return kFirstStart;
  if (value == 0) return kSecondStart;
  return kUnknownStart;
}

}  // namespace tavik::diskunseal
