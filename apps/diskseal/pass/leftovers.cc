// The restore of a resumed install: what a crash left in flight is settled by the encryption history. A committed
// file loses its stale plain copy, an uncommitted one gets its plain copy back, and a ".H1K" file that the install
// encrypted as a file of its own is left alone.
#include "diskseal_private.h"
#include "install/init_encrypt.h"

using namespace tavik::diskseal;
namespace conversion = tavik::conversion;

void CInitEncrypt::RestoreTemporaryFiles() {
  StampDebugInfo("Start Restoring files.");
  AppendProgressText("\r\nScanning files need to be restored ...");
  if (!InitEncryptionFiles()) Stop("initialization error");
  const conversion::PathSet& done = history_.paths();
  conversion::SettleLeftovers(
      conversion::kEncryption.suffix,
      [&done](const std::string& temporary, const std::string& file) {
        return conversion::DecideLeftover(&done, &done, temporary, file);
      },
      [this](const std::string& temporary, const std::string& file) {
        Box(owner_->Window(),
            "Rename failure.\r\nPlease rename this file\r\n" + temporary + "\r\nto this file\r\n" + file +
                "\r\nthen click OK.",
            kCaption, MB_OK);
      });
  StampDebugInfo("End Restoring files.");
}
