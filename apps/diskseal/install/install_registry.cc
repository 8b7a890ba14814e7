// The registry data the driver reads: the product keys, the serial numbers of the fixed volumes it protects and
// the switch that activates it, and the installing user's data folder that the settings tool uses.
#include "diskseal_private.h"
#include "registry_tree.h"
#include "setupcore.h"

namespace tavik::diskseal {
namespace {

constexpr char kProductKey[] = "SOFTWARE\\Quillmarsh\\Tavik";
constexpr char kDriverKey[] = "SOFTWARE\\Quillmarsh\\Tavik\\driver";
constexpr char kSerialsCaption[] = "CInitEncrypt::addHDSerialNo2Registry()";

bool SetDword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

}  // namespace

bool CreateProductKeys(CWnd* owner) {
  const std::string root = kProductKey;
  for (const std::string& subkey :
       {root, root + "\\driver", root + "\\exclusion", root + "\\inclusion", root + "\\Exception"}) {
    const char exists = regKeyExists(subkey.c_str(), HKEY_LOCAL_MACHINE);
    if (exists == 0) continue;
    if (exists != 1) {
      Box(owner, "Check registry key failure.", kCaption, MB_OK | MB_ICONERROR);
      return false;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
  }
  return true;
}

bool addHDSerialNo2Registry(CWnd* owner) {
  HKEY product = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_ALL_ACCESS, &product) == ERROR_SUCCESS) {
    if (regKeyExists(kDriverKey, HKEY_LOCAL_MACHINE) == 0 && setupcore::DeleteKeyTree(product, "driver") != ERROR_SUCCESS) {
      Box(owner,
          "Important:\r\nPlease ensure the following registry key and subkeys has been deleted.\r\nIf it still "
          "exists, manually remove it, then click OK:\r\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmarsh\\Tavik\\driver",
          kCaption, MB_OK | MB_ICONERROR);
    }
    RegCloseKey(product);
  }
  HKEY driver = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &driver, nullptr) != ERROR_SUCCESS) {
    ShowMessageDlg(owner, "RegCreateKeyEx Error", kSerialsCaption);
    return false;
  }
  unsigned number = 0;
  for (const char letter : FixedDriveLetters()) {
    const char root[] = {letter, ':', '\\', '\0'};
    DWORD serial = 0;
    GetVolumeInformationA(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
    if (!SetDword(driver, std::to_string(++number).c_str(), serial)) {
      RegCloseKey(driver);
      ShowMessageDlg(owner, "RegSetValueEx Error", kSerialsCaption);
      return false;
    }
  }
  RegCloseKey(driver);
  return true;
}

void EnableAutomaticActivation(CWnd* owner) {
  const char* failure = nullptr;
  HKEY driver = nullptr;
  if (regKeyExists(kDriverKey, HKEY_LOCAL_MACHINE) != 0) {
    failure = "Enable kernel automatic activation failed (step 1).";
  } else if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, KEY_ALL_ACCESS, &driver) != ERROR_SUCCESS) {
    failure = "Enable kernel automatic activation failed (step 2).";
  } else {
    if (!SetDword(driver, "nostart", 1)) failure = "Enable kernel automatic activation failed (step 3).";
    RegCloseKey(driver);
  }
  if (failure != nullptr) Box(owner, failure, kCaption, MB_OK | MB_ICONERROR);
}

bool SaveSysDir(CWnd* owner) {
  constexpr char kCaptionSave[] = "Save data error";
  char app_data[kMaxPath + 1] = {};
  const std::string folder_suffix = "\\Quillmarsh\\Tavik";
  if (!getRegStrData(app_data, sizeof app_data, HKEY_CURRENT_USER,
                     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "AppData") ||
      std::string(app_data).size() + folder_suffix.size() > kMaxPath) {
    ShowMessageDlg(owner, "Failed to Read Registry.", kCaptionSave);
    return false;
  }
  const std::string folder = app_data + folder_suffix;
  HKEY flag = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFlagKey, 0, KEY_ALL_ACCESS, &flag) != ERROR_SUCCESS) {
    ShowMessageDlg(owner, "Read data failed for sysDir", kCaptionSave);
    return false;
  }
  const bool written = RegSetValueExA(flag, "sysDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                                      static_cast<DWORD>(folder.size() + 1)) == ERROR_SUCCESS;
  RegCloseKey(flag);
  if (!written) ShowMessageDlg(owner, "Write failed for sysDir", kCaptionSave);
  return written;
}

}  // namespace tavik::diskseal
