// Setting the disk-state flag "Decrypted" with diskseal's own words for what failed.
#include "diskseal_private.h"

namespace tavik::diskseal {

using conversion::FlagWrite;

bool WriteDecryptedFlag(CWnd* parent, const char* value) {
  switch (conversion::SetDecryptedFlag(value)) {
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
  switch (conversion::SetDecryptedFlag(value)) {
    case FlagWrite::kWritten:
      return;
    case FlagWrite::kKeyNotOpened:
      Stop(open_error);
    case FlagWrite::kValueNotWritten:
      Stop(write_error);
  }
}

}  // namespace tavik::diskseal
