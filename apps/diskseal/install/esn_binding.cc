// The binding of one token to the machine: its serial number saved in the flag key's "ESN" at the first install
// step, and compared byte for byte with the token inserted at every later step.
#include "diskseal_private.h"
#include "esn_text.h"
#include "setupcore.h"
#include "tokenio.h"

namespace tavik::diskseal {
namespace {

constexpr char kInsertToken[] =
    "Please insert your Tavik.\r\nIf it's already inserted, please unplug it and reinsert it.";

// The token's serial number, or nullopt when the token does not answer.
std::optional<std::string> TokenEsn() {
  unsigned char area[256] = {};
  if (!GetESN(area)) return std::nullopt;
  return EsnText(area, 128);
}

}  // namespace

std::optional<std::string> BoundEsn() {
  char esn[129] = {};
  if (!getRegStrData(esn, sizeof esn, HKEY_LOCAL_MACHINE, kFlagKey, "ESN")) return std::nullopt;
  return std::string(esn);
}

bool SaveTokenEsn(CWnd* parent, bool break_after_invalid) {
  const std::optional<std::string> esn = TokenEsn();
  if (!esn) {
    ShowMessageDlg(parent, kInsertToken);
    return false;
  }
  if (esn->size() != kEsnLength) {
    ShowMessageDlg(parent, std::string(break_after_invalid ? "Invalid ESN.\r\n" : "Invalid ESN. ") +
                               "Please insert your Tavik properly.\r\nIf it's already inserted, please unplug it and "
                               "reinsert it.");
    return false;
  }
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFlagKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    ShowMessageDlg(parent, "Read failed for ESN KEY.");
    return false;
  }
  const LSTATUS status = RegSetValueExA(key, "ESN", 0, REG_SZ, reinterpret_cast<const BYTE*>(esn->c_str()),
                                        static_cast<DWORD>(esn->size() + 1));
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) {
    ShowMessageDlg(parent, "Write failed for ESN.");
    return false;
  }
  return true;
}

bool CheckEsnMatch(CWnd* parent) {
  const std::optional<std::string> esn = TokenEsn();
  if (!esn) {
    ShowMessageDlg(parent, kInsertToken);
    return false;
  }
  if (esn->size() != kEsnLength) {
    ShowMessageDlg(parent, "An Error encountered.\r\nESN should be 8-digits.");
    return false;
  }
  const std::optional<std::string> bound = BoundEsn();
  if (!bound) {
    ShowMessageDlg(parent, "Read ESN from registry failure.");
    return false;
  }
  if (*esn != *bound) {
    ShowMessageDlg(parent, "Wrong Tavik Inserted.\r\nPlease insert Tavik with this ESN#: " + *bound);
    return false;
  }
  return true;
}

bool CheckEsnFourTimes(CWnd* parent) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (CheckEsnMatch(parent)) return true;
  }
  return false;
}

}  // namespace tavik::diskseal
