// The install's last phase: the driver's service, the logon component in "GinaDLL", the verification program in
// "Userinit", the disk-state flag "0", checkpoint 1000 and the restart. Every step of it may run again after a
// crash; nothing is recorded as installed before the logon component is in place.
#include "diskseal_private.h"
#include "init_encrypt.h"

using namespace tavik::diskseal;

namespace {

constexpr char kVerifier[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\MRVVerifyCFK.exe";
constexpr char kSevereSetFailure[] =
    "Severe Error:\r\nSet registry data failure.\r\nPlease DO NOT shut down your machine and contact\r\nthe Software "
    "vendor for help.";
constexpr char kSevereRegistryData[] =
    "Severe Error:\r\nYour registry data is not correct.\r\nPlease DO NOT shut down your machine and contact\r\nthe "
    "Software vendor for help.";

}  // namespace

int CInitEncrypt::RunFinalPhase() {
  CWnd* owner = owner_->Window();
  AppendProgressText("\r\nInstalling driver ...");
  if (lists_loaded_) FreeEncryptionFiles();
  if (InstallDriverService(owner) != 0) Stop("Install kernel driver error.");
  // Without the logon component nobody could give the driver its key: the install is not done, and the next
  // start of diskseal tries this phase again.
  if (!setWinLogonKey("GinaDLL", "logongate.dll")) {
    Box(owner, "Failed to install Gina.\r\nPlease contact software vendor for help.", kCaption, MB_OK | MB_ICONERROR);
    return 1;
  }
  if (!insertWinLogOnRegData(kVerifier)) {
    Box(owner, kSevereSetFailure, kCaption, MB_OK | MB_ICONERROR);
    return 1;
  }
  if (checkUserInit() != 0) {
    Box(owner, kSevereRegistryData, kCaption, MB_OK | MB_ICONERROR);
    return 1;
  }
  WriteDecryptedFlagOrStop(tavik::decrypted_flag::kEncrypted, "Read failed for install Flag ", "Write failed for install Flag ");
  if (!write_hd_install_state(tavik::install_state::kInstallDone)) Stop("Write install state error.");
  AppendProgressText("\r\nEncryption Complete. Rebooting ...");
  Sleep(2000);
  doReboot();
  return 1;
}
