// After the rounds: the registry tree and the driver's service (1300), the token's S1 record (1400, never with a
// Key Answer), the disk's flag "1" and the logon settings (1500), and the hand-over. The install state and the key
// records stay until "Decrypted" = "1" is written: the uninstall command removes them afterwards.
#include <cstdlib>

#include "decryptor_run.h"
#include "disk_state.h"
#include "removal.h"
#include "setupcore.h"
#include "tokenio.h"

namespace tavik::diskunseal {
namespace {

using conversion::Stop;

constexpr char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

void CDecryptor::Run::RemoveSystem() {
  ShowCurrentFile("");
  conversion::RestartDesktop();
  conversion::RemoveProductRegistry(
      {nullptr, MB_ICONERROR, "Warning: open registry failure", "Warning: open registry failure"});
  if (!conversion::RemoveDriverService()) Stop("Remove kernel failed.");
  WriteCheckpoint(install_state::kRegistryRemoved);
}

void CDecryptor::Run::CleanToken() {
  CheckEsnOrStop(4);
  if (CheckPwd(password.c_str()) != 0) Stop("Check Tavik Password Failure.");
  if (cleanup_nubo_info() == 0) ShowMessage("Clean up Tavik failure.", kUninstallCaption);
  WriteCheckpoint(install_state::kTokenCleaned);
}

void CDecryptor::Run::CleanDisk() {
  FreeDecryptionFiles();
  char local[290] = {};
  if (getRegStrData(local, sizeof local, HKEY_CURRENT_USER, kShellFolders, "Local AppData")) {
    DeleteFileA((std::string(local) + "\\IconCache.db").c_str());
  } else {
    Ask("Error Get Registry Data.", conversion::kCaption, MB_OK);
  }
  if (!delWinlogOnValue("GinaDLL")) {
    Ask("Failed to reset Gina.\r\nPlease configure your registry to use msgina.dll after uninstall.",
        conversion::kCaption, MB_OK | MB_ICONERROR);
  }
  if (!removeWinLogOnRegData("C:\\Program Files\\Quillmarsh\\Tavik\\XP\\MRVVerifyCFK.exe")) {
    Stop("Severe Error:\r\nSet registry data failure.\r\nPlease DO NOT shut down your machine and contact\r\nthe "
         "Software vendor for help.");
  }
  if (checkUserInit() != 0) {
    Stop("Severe Error:\r\nYour registry data is not correct.\r\nPlease DO NOT shut down your machine and "
         "contact\r\nthe Software vendor for help.");
  }
  // The flag says the disk is plain: it is written once everything before it is done, and before the checkpoint, so
  // that a crash between the two runs this phase again rather than leaving "3" behind a finished run.
  WriteFlagOrStop(decrypted_flag::kDecrypted, "Write failed for Uninstall Flag ");
  WriteCheckpoint(install_state::kDiskCleaned);
}

void CDecryptor::Run::HandOver() {
  if (!files_failed) AppendProgressText("\r\nDecryption Complete!");
  static constexpr conversion::HandOverTexts kTexts{
      "Your hard drive(s) has been decrypted.\r\nIn the event that some files did not decrypt, you may use "
      "the\r\nFile Recovery Tool to decrypt them.\r\n\r\nDo you have undecrypted files that need to be decrypted by "
      "File Recovery Tool?\t\r\nImportant: File recovery tool is the last chance to recover your files.\r\nClick "
      "[Yes] to launch File Recovery Tool.\r\nClikc [No] to remove all Quillmarsh Tavik components from your "
      "machine.",
      MB_ICONEXCLAMATION,
      "Tavik has successfully decrypted the data on your hard drive(s).\r\n\r\nPlease click [OK] to uninstall "
      "Quillmarsh Tavik software\r\nfrom your computer.",
      MB_ICONINFORMATION,
      409,
  };
  // Whatever was started, or failed to start, the uninstaller ends here with its refusals' code.
  conversion::HandOver(owner, files_failed, kTexts);
  std::exit(1);
}

}  // namespace tavik::diskunseal
