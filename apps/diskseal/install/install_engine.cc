// The install, resumed from the recorded install state: each phase runs only when the state read at the start has
// not reached its checkpoint. A stop anywhere is shown, the lists are freed and the process ends with exit code 0;
// the install state and the disk-state flag keep their last values, and the RunOnce entry brings diskseal back.
#include "diskseal_private.h"
#include "init_encrypt.h"

using namespace tavik::diskseal;
using namespace tavik::install_state;

namespace {

constexpr char kEmptyTempQuestion[] =
    "It is recommended that you empty the Windows temporary folder\r\nbefore encryption. Temporary files can slow "
    "down the encryption\r\nprocess. Temporary files are Windows-generated and are generally\r\nconsidered safe to "
    "delete. Would you like to empty the Windows\r\ntemporary folder?\r\n\r\nClick [Yes] to empty it and "
    "continue.\r\nClick [No] to skip this step.";
constexpr char kEncryptionWarning[] =
    "Important: During encryption, do not remove your Tavik, do not run any\t\r\napplications and do not press the "
    "reset switch or power switch on your computer!\r\n\r\nQuillmarsh Tavik will now shut down all running "
    "applications and will encrypt\r\nyour hard drive(s). This may take from five minutes to more than one "
    "hour.\r\nAfter encryption, your computer will automatically restart.";
constexpr char kStateUnreadable[] =
    "Read install state error.\r\nThe install state cannot be read, so the installation cannot tell which of its "
    "steps are done.\r\nNothing has been changed. Please contact software vendor for help.";
constexpr char kHistoryUnreadable[] =
    "Read encryption history error.\r\nThe encryption history cannot be read, so the installation cannot tell "
    "which files are encrypted.\r\nNothing has been changed. Please contact software vendor for help.";

std::string WindowsTemp() {
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, sizeof windows);
  return std::string(windows) + "\\Temp";
}

}  // namespace

CInitEncrypt::CInitEncrypt(InstallView* owner) : owner_(owner) {}

CInitEncrypt::~CInitEncrypt() { FreeEncryptionFiles(); }

void CInitEncrypt::doMRVInstall() { ExitProcess(static_cast<UINT>(RunInstall())); }

int CInitEncrypt::RunInstall() {
  CWnd* owner = owner_->Window();
  try {
    owner_->ShowProgressBar(false);
    // Without the state or, once encryption has begun, the history, a resume could claim steps done or encrypt
    // files twice: nothing is changed, and the disk-state flag and RunOnce keep the install for a later start.
    const std::optional<unsigned short> read_state = ReadInstallState();
    if (!read_state) Stop(kStateUnreadable);
    const unsigned short state = *read_state;
    if (state < kSecondPassDone && EncryptionHasBegun() && !HistoryReadable()) Stop(kHistoryUnreadable);
    PumpMessages();
    if (state < kSecondPassDone) {
      if (Box(owner, kEmptyTempQuestion, kInstallCaption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        emptyDirectory(WindowsTemp().c_str());
      } else {
        ShowMessageDlg(owner,
                       "The Windows temporary folder has not been emptied.\r\nPress the continue button to begin the "
                       "hard drive encryption.",
                       kCaption, "Continue");
      }
      if (state >= kKeysReady) RestoreTemporaryFiles();
    }
    AppendProgressText("\r\nPreparing Initial Encryption ...");
    if (state < kS1Written) {
      WriteTokenS1();
    } else {
      AppendProgressText("\r\n\tKey already exists! Old Key will be used.");
    }
    PumpMessages();
    if (state < kKeysReady) {
      MakeKeyRecords();
    } else {
      AppendProgressText("\r\n\tKey already Encrypted!");
    }
    PumpMessages();
    Box(owner, kEncryptionWarning, kInstallCaption, MB_OK | MB_ICONWARNING);
    EnumProcs(MyProcessEnumerator, 0);
    owner_->EnterEncryptionLook();
    if (state < kFirstPassDone) {
      RunFirstPass();
    } else {
      AppendProgressText("\r\nFirst round encryption already done!");
    }
    if (state < kSecondPassDone) {
      RunSecondPass();
    } else {
      AppendProgressText("\r\nSecond round encryption already done!");
    }
    if (state < kDriverRegistryDone) {
      WriteDriverRegistry();
    } else {
      AppendProgressText("\r\n\tRegistry already Set!");
    }
    PumpMessages();
    if (state < kFinalPhaseStarted) return RunFinalPhase();
    AppendProgressText("\r\nInitial Encryption Complete!");
    FreeEncryptionFiles();
    Box(owner, "Abnormal exit.\r\nLast state value is: " + std::to_string(state) + ".", kCaption, MB_OK | MB_ICONERROR);
    return 1;
  } catch (const InstallStop& stop) {
    ShowMessageDlg(owner, stop.text);
    FreeEncryptionFiles();
    return 0;
  }
}

void CInitEncrypt::WriteDriverRegistry() {
  CWnd* owner = owner_->Window();
  if (lists_loaded_) FreeEncryptionFiles();
  AppendProgressText("\r\nSetting Registry ...");
  if (!CreateProductKeys(owner)) Stop("Failed to create Quillmarsh Tavik registry");
  if (!addHDSerialNo2Registry(owner)) Stop("addHDSerialNo2Registry() falied,");
  if (!addNEFL2Registry()) Stop("Failed to add NEFL to registry!");
  if (!addEFL2Registry()) Stop("Failed to add EFL to registry!");
  if (!addBadFiles2Registry()) Stop("Failed to add Exception Files to registry!");
  EnableAutomaticActivation(owner);
  if (!write_hd_install_state(kDriverRegistryDone)) Stop("Write install state error.");
}
