// TavikUninstall.exe, the uninstall command "ISLink" names (a bare path, started without arguments by diskunseal or
// diskseal once the disk is decrypted): removes the deliverables, the install folder with the key records and
// state the system left in it, the web-service settings and the flag key, so that a new install starts clean. The
// decryption report and the lists of files left encrypted stay (the uninstall's two rounds' lists and the give-up's):
// they hold what the recovery tool needs to recover those files.
#include <cstdio>

#include "installer_private.h"
#include "xp/machine.h"

namespace {

using namespace xp::installer;

int Refuse(const char* text) {
  MessageBoxA(nullptr, text, kCaption, MB_OK | MB_ICONERROR);
  return 1;
}

}  // namespace

int main() {
  if (DiskMayHoldEncryptedFiles()) {
    return Refuse("Quillmarsh Tavik cannot be removed while your hard drive(s) may hold encrypted files.\r\n"
                  "Please run uninstall from Start Menu first.");
  }
  if (LogonComponentInstalled()) {
    return Refuse("Quillmarsh Tavik cannot be removed while its logon component is installed.\r\n"
                  "Please run uninstall from Start Menu first.");
  }
  for (const Deliverable& deliverable : Deliverables()) {
    if (std::string(deliverable.folder) != kInstallFolder) DeleteFileA(deliverable.WindowsPath().c_str());
  }
  RemoveTree(kInstallFolder, {"MorvelReport.txt", "MorvelSpecials1.txt", "MorvelSpecials2.txt", "MorvelSpecials.txt"});
  // The folders above the install folder, when nothing else is in them.
  RemoveDirectoryA("C:\\Program Files\\Quillmarsh\\Tavik");
  RemoveDirectoryA("C:\\Program Files\\Quillmarsh");
  RemoveServerSettings();
  if (!DeleteFlagKey()) return Refuse("Setup could not remove the registry data of Quillmarsh Tavik.");
  xp::machine::Journal("setup removed Quillmarsh Tavik");
  return 0;
}
