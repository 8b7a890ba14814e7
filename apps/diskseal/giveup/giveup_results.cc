// What the give-up of an incomplete install does with each file's result: the D-coded log line, the list of files
// left encrypted (MorvelSpecials.txt), the error count that stops the run at its 301st counted error, and the
// results that stop it at once. A file whose compression or sparseness could not be set is put back encrypted, so it
// is listed and counted like the other failures: the report then carries the key that recovers it.
#include "giveup/giveup.h"

namespace conversion = tavik::conversion;
using conversion::kStopWithLine;

namespace tavik::diskseal {

const conversion::ResultTable& GiveUpResults() {
  static const conversion::ResultTable kTable = {
      {
          {3, nullptr, false, false, "Memory allocation error.", nullptr},
          {conversion::kRenameFailed, "Error[D4]: cannot rename \"%s\" to \"~.H0K\"", true, true, nullptr, nullptr},
          {conversion::kOpenReadFailed, "Error[D5]: cannot open \"%s.H0K\" with read permission", true, true, nullptr,
           nullptr},
          {conversion::kOpenWriteFailed, "Error[D6]: cannot open \"%s\" with write permission", true, true, nullptr,
           nullptr},
          {conversion::kWrongKey, "Error[D7]: wrong CFK for \"%s\".", false, false, kStopWithLine, nullptr},
          {conversion::kWriteFailed, "Error[D8]: _write() error on \"%s\"", false, false, kStopWithLine, nullptr},
          {conversion::kAttributesUnreadable, "Error[D9]: GetFileAttributes() error on \"%s.H0K\"", true, true,
           nullptr, nullptr},
          {conversion::kAttributesNotSet, "Error[D10]: SetFileAttributes() error on \"%s\"", true, true, nullptr,
           nullptr},
          // The file is plain and committed; only its encrypted copy is left, which the next run's settlement
          // deletes. Listing it would have the recovery decrypt a plain file.
          {conversion::kTemporaryNotDeleted, "Error[D11]: _unlink() error on \"%s.H0K\"", false, true, nullptr,
           nullptr},
          {conversion::kReadFailed, nullptr, false, false, "read data error.", nullptr},
          {conversion::kVerifyFailed, nullptr, false, false, "decrypt verify error.", nullptr},
          {conversion::kCompressionNotSet, "Error[D14]: set compressed attribute error on \"%s\"", true, true, nullptr,
           nullptr},
          {conversion::kSparseNotSet, "Error[D15]: set sparse attribute error on \"%s\"", true, true, nullptr,
           nullptr},
          {1, nullptr, false, false, "Decryption block size error/memory allocation error", nullptr},
          {2, nullptr, false, false, "Decryption block size error/memory allocation error", nullptr},
      },
      {-1, "Error[D16]: unknown error, returns %d on \"%s\"", false, false, kStopWithLine, nullptr},
      300,
      "Maximum error numbers exceeded.",
  };
  return kTable;
}

}  // namespace tavik::diskseal
