// What the rounds do with each file's result. The D-coded lines are read by people and by the report, so their
// letter case stays as each round has always written it. A file whose compression or sparseness did not come back
// is put back encrypted, listed and counted like the other failures, so that the report carries its key.
#include "decryptor_run.h"

namespace tavik::diskunseal {
namespace {

namespace conv = conversion;

conv::ResultTable Table(bool first_round) {
  return {
      {
          {1, nullptr, false, false, "Decryption block size error/memory allocation error", nullptr},
          {2, nullptr, false, false, "Decryption block size error/memory allocation error", nullptr},
          {3, nullptr, false, false, "Memory allocation error.", nullptr},
          {conv::kRenameFailed, "Error[D4]: cannot rename \"%s\" to \"~.H0K\"", true, true, nullptr, nullptr},
          {conv::kOpenReadFailed, "Error[D5]: cannot open \"%s.H0K\" with read permission", true, true, nullptr,
           nullptr},
          {conv::kOpenWriteFailed, "Error[D6]: cannot open \"%s\" with write permission", true, true, nullptr,
           nullptr},
          {conv::kWrongKey, "Error[D7]: wrong CFK for \"%s\"", false, false, conv::kStopWithLine, nullptr},
          {conv::kWriteFailed, "Error[D8]: _write() error on \"%s\"", true, true, nullptr,
           "Maximum error numbers exceeded: error code 8."},
          {conv::kAttributesUnreadable, "Error[D9]: GetFileAttributes() error on \"%s.H0K\"", true, true, nullptr,
           nullptr},
          {conv::kAttributesNotSet, "Error[D10]: SetFileAttributes() error on \"%s\"", true, true, nullptr, nullptr},
          // The file is plain and committed; only its stale encrypted copy is left, which the next run deletes.
          {conv::kTemporaryNotDeleted, "Error[D11]: _unlink() error on \"%s.H0K\"", false, true, nullptr, nullptr},
          {conv::kReadFailed,
           first_round ? "Error[D12]: Read error on \"%s.H0K\"" : "Error[D12]: read error on \"%s.H0K\"", true, true,
           nullptr, nullptr},
          {conv::kVerifyFailed, nullptr, false, false, "decrypt verify error.", nullptr},
          {conv::kCompressionNotSet,
           first_round ? "Error[D14]: set compressed attribute error on \"%s\""
                       : "Error[D14]: Set compressed attribute error on \"%s\"",
           true, true, nullptr, nullptr},
          {conv::kSparseNotSet,
           first_round ? "Error[D15]: set sparse attribute error on \"%s\""
                       : "Error[D15]: Set sparse attribute error on \"%s\"",
           true, true, nullptr, nullptr},
          // Both copies stay; the next run puts the encrypted one back and tries again.
          {conv::kHistoryNotWritten, "Error[D16]: cannot record \"%s\" in the decryption history", false, false,
           conv::kStopWithLine, nullptr},
      },
      {-1, "Error[D16]: unknown error, returns %d on \"%s\"", false, false, conv::kStopWithLine, nullptr},
      100,
      "Maximum error numbers exceeded.",
  };
}

}  // namespace

const conversion::ResultTable& DecryptionTable(bool first_round) {
  static const conversion::ResultTable kFirst = Table(true);
  static const conversion::ResultTable kSecond = Table(false);
  return first_round ? kFirst : kSecond;
}

}  // namespace tavik::diskunseal
