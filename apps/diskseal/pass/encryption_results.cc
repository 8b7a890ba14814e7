// What the encryption passes do with each file's result: the E-coded log line, the plain-left list (MRVBADFILES,
// which the driver gets as its exceptions), the error count that stops a run at its 101st counted error, and the
// results that stop the pass at once. The first pass's E7 line ends with a period, the second's does not.
#include "diskseal_private.h"
#include "install/init_encrypt.h"

namespace conversion = tavik::conversion;
using conversion::kStopWithLine;

namespace {

conversion::ResultTable EncryptionTable(bool first_pass) {
  return {
      {
          {conversion::kRenameFailed, "Error[E4]: cannot rename \"%s\" to \"~.H1K\"", true, true, nullptr, nullptr},
          {conversion::kOpenReadFailed, "Error[E5]: cannot open \"%s.H1K\" with read permission", true, true, nullptr,
           nullptr},
          {conversion::kOpenWriteFailed, "Error[E6]: cannot open \"%s\" with write permission", true, true, nullptr,
           nullptr},
          {conversion::kWrongKey, first_pass ? "Error[E7]: wrong CFK for \"%s\"." : "Error[E7]: wrong CFK for \"%s\"",
           true, false, kStopWithLine, nullptr},
          {conversion::kWriteFailed, "Error[E8]: _write() error on \"%s\"", true, true, nullptr,
           "Maximum error numbers exceeded: error code 8"},
          {conversion::kAttributesUnreadable, "Error[E9]: GetFileAttributes() error on \"%s.H1K\"", true, true,
           nullptr, nullptr},
          {conversion::kAttributesNotSet, "Error[E10]: SetFileAttributes() error on \"%s\"", true, true, nullptr,
           nullptr},
          // The file is encrypted and committed; only its temporary copy is left, for the next resume to delete.
          {conversion::kTemporaryNotDeleted, "Error[E11]: DeleteFile() error on \"%s.H1K\"", false, true, nullptr,
           nullptr},
          {conversion::kReadFailed, "Error[E12]: Read error on \"%s.H1K\"", true, true, nullptr, nullptr},
          {conversion::kVerifyFailed, nullptr, false, false, "encrypt verify error.", nullptr},
          {conversion::kCompressionNotSet, "Error[E14]: set compressed attribute error on \"%s\"", true, true, nullptr,
           nullptr},
          {conversion::kSparseNotSet, "Error[E15]: set sparse attribute error on \"%s\"", true, true, nullptr, nullptr},
          {conversion::kHistoryNotWritten, "Error[E16]: cannot record \"%s\" in the encryption history", false, false,
           kStopWithLine, nullptr},
      },
      {-1, "Error[E16]: unknown error, returns %d on \"%s\"", false, false, kStopWithLine, nullptr},
      100,
      "Maximum error numbers exceeded.",
  };
}

}  // namespace

void CInitEncrypt::ListAsBadFile(const std::string& path) {
  if (!bad_files_.Add(path)) return;
  std::fprintf(bad_files_stream_, "%s\n", path.c_str());
  std::fflush(bad_files_stream_);
  rules_.AddException(path);
}

void CInitEncrypt::HandleResult(int result, const std::string& path, bool first_pass) {
  if (result == conversion::kConverted) return;
  static const conversion::ResultTable kFirstPass = EncryptionTable(true);
  static const conversion::ResultTable kSecondPass = EncryptionTable(false);
  results_.Handle(first_pass ? kFirstPass : kSecondPass, result, path);
}
