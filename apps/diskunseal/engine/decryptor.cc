// The uninstall's run: its phases in order, each skipped once the install state shows its checkpoint, and the one
// handler that ends a stopped run with its message and exit code 1, the state keeping the last checkpoint.
#include "decryptor.h"

#include <cstdlib>
#include <cstring>

#include "afxcmn.h"
#include "decryptor_run.h"
#include "disk_state.h"
#include "esn_text.h"
#include "interface.h"
#include "setupcore.h"
#include "tokenio.h"

namespace tavik::diskunseal {
namespace {

namespace state = install_state;
using conversion::Stop;

// diskunseal imports every name of the driver-loading library, so that it does not start without it.
[[gnu::used]] const auto kImportedShutdown = &MorvelShutdown;

// An unreadable install state is taken as the earliest state the machine's records still allow: the product's
// registry tree goes at checkpoint 1300, so while it exists the rounds may not be done.
unsigned short ReadState() {
  const unsigned short read = read_hd_install_state();
  if (read != state::kUnreadable) return read;
  // Only a key known to be gone moves the run past the rounds; any doubt runs them again (they skip what is done).
  return regKeyExists("SOFTWARE\\Quillmarsh\\Tavik", HKEY_LOCAL_MACHINE) == 1 ? state::kSecondRoundDecrypted
                                                                              : state::kInstallDone;
}

}  // namespace

void WriteCheckpoint(unsigned short checkpoint) {
  if (!write_hd_install_state(checkpoint)) Stop("Write install state error.");
}

void WriteFlagOrStop(const char* value, const char* write_failed) {
  switch (conversion::SetDecryptedFlag(value)) {
    case conversion::FlagWrite::kWritten:
      return;
    case conversion::FlagWrite::kKeyNotOpened:
      Stop("Read failed for Uninstall Flag ");
    case conversion::FlagWrite::kValueNotWritten:
      Stop(write_failed);
  }
}

CDecryptor::CDecryptor(CWnd* owner) : run_(std::make_unique<Run>()) { run_->owner = owner; }
CDecryptor::~CDecryptor() = default;

bool CDecryptor::getNuboESN() {
  unsigned char area[128] = {};
  for (int read = 0;; ++read) {
    if (GetESN(area)) break;
    if (read == 3) return false;
    conversion::Box(run_->owner, "Please make sure Tavik correctly inserted", "Read Tavik ESN Error", MB_OK);
  }
  const std::string esn = EsnText(area, sizeof area);
  if (esn.size() != kEsnLength) {
    conversion::Box(run_->owner, "Length of ESN not correct", "Tavik ESN Error(from getNuboESN)", MB_OK);
    return false;
  }
  run_->esn = esn;
  return true;
}

void CDecryptor::UseKeyAnswer(const unsigned char* xcfk, const std::string& key_text) {
  run_->key_answer = true;
  run_->key_ready = true;
  std::memcpy(run_->xcfk, xcfk, 32);
  run_->xcfk[32] = 0;
  run_->key_text = key_text;
}

void CDecryptor::RunRounds() {
  run_->FirstRound();
  run_->SecondRound();
}

void CDecryptor::set_durable_commits(bool durable) { run_->history.set_durable(durable); }

void CDecryptor::RunDecryption() {
  Run& run = *run_;
  try {
    // The install folder's file names, which the state and the lists are read through.
    if (!_construct_morvel_sys_files(true)) Stop("Get system status failure.");
    const unsigned short start = ReadState();
    char password[129] = {};
    if (run.owner != nullptr) run.owner->GetDlgItemText(kPasswordEdit, password, sizeof password);
    run.password = password;
    if (run.owner != nullptr) run.owner->SetDlgItemText(kProgressText, "");
    run.ShowProgressBar(false);
    run.AppendProgressText("Checking System Environment ...");

    if (run.key_answer) {
      if (!bValidXCFK(run.xcfk)) Stop("Incorrect decryption key.");
    } else {
      run.CheckEsnOrStop(3);
      if (!run.InitialCheck()) Stop("Initial check failure.");
    }
    if (start < state::kSecondRoundDecrypted) {
      if (run.Ask("It is recommended that you empty the Windows temporary folder\r\nbefore decryption. Temporary "
                  "files can slow down the decryption\r\nprocess. Temporary files are Windows-generated and are "
                  "generally\r\nconsidered safe to delete. Would you like to empty the Windows\r\ntemporary "
                  "folder?\r\n\r\nClick [Yes] to empty it and continue.\r\nClick [No] to skip this step.",
                  conversion::kCaption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        EmptyTemporaryFolders(run.owner);
      } else {
        run.ShowMessage("The Windows temporary folder has not been emptied.\r\nPress the continue button to begin "
                        "the hard drive decryption.",
                        conversion::kCaption, "Continue");
      }
      const std::optional<std::string> flag = conversion::ReadDecryptedFlag();
      if (!flag) Stop("Get system status failure.");
      if (flag->compare(0, 1, decrypted_flag::kDecrypting) == 0) run.RestoreLeftovers();
    }
    run.Ask("Important: During decryption, do not remove your Tavik, do not run any\t\r\napplications and do not "
            "press the reset switch or power switch on your computer!\r\n\r\nQuillmarsh Tavik will now shut down all "
            "running applications and will decrypt\r\nyour hard drive(s). This may take from five minutes to more "
            "than one hour.\r\nAfter decryption, your computer will automatically restart.",
            "Quillmarsh Tavik Uninstallation", MB_OK | MB_ICONWARNING);
    EnumProcs(MyProcessEnumerator, 0);

    if (start >= state::kFirstRoundDecrypted) {
      run.AppendProgressText("\r\nFirst round decryption already Done!");
    } else {
      run.FirstRound();
    }
    if (start >= state::kSecondRoundDecrypted) {
      run.AppendProgressText("\r\nSecond round decryption already done!");
      // Whether files failed is on the disk: a resumed run still offers the recovery of an earlier round's list.
      run.files_failed = SpecialsListsHoldFiles();
    } else {
      run.SecondRound();
    }
    run.AppendProgressText("\r\nCleaning up ...");
    if (start >= state::kRegistryRemoved) {
      run.AppendProgressText("\r\nRegistry already cleaned!");
    } else {
      run.RemoveSystem();
    }
    if (run.key_answer || start >= state::kTokenCleaned) {
      run.AppendProgressText("\r\nTavik already cleaned!");
    } else {
      run.CleanToken();
    }
    if (start >= state::kDiskCleaned) {
      run.AppendProgressText("\r\nHard disk already cleaned!");
    } else {
      run.CleanDisk();
    }
  } catch (const conversion::RunStop& stop) {
    run.ShowMessage(stop.text, "Quillmarsh Tavik Uninstall Error");
    run.FreeDecryptionFiles();
    std::exit(1);
  }
  run.HandOver();
}

}  // namespace tavik::diskunseal
