// The first start: after two warnings the user must both accept, the system's own logon is put back and the
// driver's automatic activation switched off, then the program is armed for the next start and the machine
// restarts. The logon is put back first: a start that finds activation off takes itself for the second one, and must
// never find the logon component still there to load the driver and hand it the key.
#include "diskunseal_private.h"
#include "setupcore.h"
#include "windows.h"

namespace tavik::diskunseal {
namespace {

constexpr char kDriverKey[] = "SOFTWARE\\Quillmarsh\\Tavik\\driver";

constexpr char kDataWarning[] =
    "IMPORTANT! Uninstallation requires data decryption of your entire hard drive.\r\n\r\n1. A power failure during "
    "uninstallation can cause decryption failure and permanent data\r\nloss. Do not run uninstallation on battery "
    "power. Ensure that your computer is securely\r\nplugged in. Use a backup power supply if available.\r\n\r\n2. "
    "Create a backup of your hard drive or of your most important data. Verify the backup\r\ndata. Note: If you "
    "install or attach a drive to your computer (after you have installed\r\nTavik), or if you back up your data to a "
    "network drive, the data that you transfer will be\r\nunencrypted on-the-fly as it is copied from your encrypted "
    "drive to the unencrypted\r\nstorage media.\r\n\r\n3. Tavik requires a minimum of 200 MB free space per partition "
    "(each drive letter) for\r\nuninstallation to continue.\r\n\r\n4. Tavik will not decrypt any file that is bigger "
    "than the free space on the drive the file\r\nis on. For example, if a media clip is 450 MB and there is only "
    "300 MB free space on your\r\ndrive, the media file will not be decrypted.\r\n\r\n5. Review Preparing Your "
    "Computer for Installation in the Tavik User Guide for\r\nadditional tips applicable to the uninstallation of "
    "Tavik.\r\n\r\nWould you like to continue?\r\n\r\nClick [Yes] to continue.\r\nClick [No] to cancel.";
constexpr char kDriveWarning[] =
    "Do not proceed with uninstallation of Quillmarsh Tavik if you have either installed or removed\r\nany hard "
    "drives in your computer, after you installed Quillmarsh Tavik.\r\n\r\n1. You MUST reinstall any encrypted "
    "drive(s) that you removed from your computer after installing\r\nQuillmarsh Tavik. If you do not reinstall the "
    "drive before running uninstallation, you will\r\nnot be able to decrypt the drive at a later time.\r\n\r\n2. You "
    "MUST remove any unencrypted drive(s) that you installed in your computer after installing\r\nQuillmarsh Tavik. "
    "If you do not remove the drive before running uninstallation, it will\r\nbe corrupted during "
    "uninstallation.\r\n\r\nRead the Quillmarsh Tavik User Guide for more information. Would you like to "
    "continue?\r\n\r\nClick [Yes] to reboot and start decryption.\r\nClick [No] to cancel.";

void Fail(const char* text) {
  Box(nullptr, text, kCaption, MB_OK | MB_ICONERROR);
  ExitProcess(1);
}

}  // namespace

void PrepareSecondStart() {
  for (const char* warning : {kDataWarning, kDriveWarning}) {
    if (Box(nullptr, warning, kUninstallCaption, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES) {
      return ExitProcess(1);
    }
  }
  if (regKeyExists(kDriverKey, HKEY_LOCAL_MACHINE) != 0) return Fail("Disable kernel automatic activation failed (step 1).");
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return Fail("Disable kernel automatic activation failed (step 2).");
  }
  if (!setWinLogonKey("GinaDLL", "msgina.dll")) {
    RegCloseKey(key);
    return Fail("Failed to reset Gina.\r\nPlease contact software vendor for help.");
  }
  const DWORD off = 0;
  const LSTATUS written = RegSetValueExA(key, "nostart", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off);
  RegCloseKey(key);
  if (written != ERROR_SUCCESS) return Fail("Disable kernel automatic activation failed (step 3).");
  conversion::ArmRunSetup(kProgram);
  doReboot();
  ExitProcess(1);
}

}  // namespace tavik::diskunseal
