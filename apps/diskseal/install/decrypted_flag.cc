// The disk-state flag "Decrypted" under the flag key, through which diskseal and diskunseal hand each other the
// state of the disk: one decimal digit, stored with its NUL. The installer creates the key; nothing here does.
#include "diskseal_private.h"
#include "setupcore.h"

namespace tavik::diskseal {
namespace {

// Whether the flag was set, or which step failed.
enum class FlagWrite { kWritten, kKeyNotOpened, kValueNotWritten };

FlagWrite SetFlag(const char* value) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFlagKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return FlagWrite::kKeyNotOpened;
  }
  const LSTATUS status = RegSetValueExA(key, kDecryptedValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                        static_cast<DWORD>(std::string_view(value).size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? FlagWrite::kWritten : FlagWrite::kValueNotWritten;
}

}  // namespace

std::optional<std::string> ReadDecryptedFlag() {
  char value[4] = {};
  if (!getRegStrData(value, sizeof value, HKEY_LOCAL_MACHINE, kFlagKey, kDecryptedValue)) return std::nullopt;
  return std::string(value);
}

bool WriteDecryptedFlag(CWnd* parent, const char* value) {
  switch (SetFlag(value)) {
    case FlagWrite::kWritten:
      return true;
    case FlagWrite::kKeyNotOpened:
      ShowMessageDlg(parent, "Uninstall Flag Read Failure.\r\nPlease call Quillmarsh for help.");
      return false;
    case FlagWrite::kValueNotWritten:
      ShowMessageDlg(parent, "Uninstall Flag Write Failure.\r\nPlease call Quillmarsh for help.");
      return false;
  }
  return false;
}

void WriteDecryptedFlagOrStop(const char* value, const char* open_error, const char* write_error) {
  switch (SetFlag(value)) {
    case FlagWrite::kWritten:
      return;
    case FlagWrite::kKeyNotOpened:
      Stop(open_error);
    case FlagWrite::kValueNotWritten:
      Stop(write_error);
  }
}

}  // namespace tavik::diskseal
