// What the pass does with each file's result: the E-coded log line, the plain-left list (MRVBADFILES, which the
// driver gets as its exceptions), the error count that stops a run at its 101st counted error, and the results
// that stop the pass at once.
#include "diskseal_private.h"
#include "install/init_encrypt.h"

using tavik::diskseal::Stop;

namespace {

constexpr unsigned int kErrorLimit = 100;

struct ResultRow {
  int result;
  const char* format;  // %s: the file's path
  bool listed;         // the file stays plain and goes to MRVBADFILES
};

// The counted results; 7, 13 and any result not in this table stop the pass.
constexpr ResultRow kResultRows[] = {
    {kRenameFailed, "Error[E4]: cannot rename \"%s\" to \"~.H1K\"", true},
    {kOpenReadFailed, "Error[E5]: cannot open \"%s.H1K\" with read permission", true},
    {kOpenWriteFailed, "Error[E6]: cannot open \"%s\" with write permission", true},
    {kWriteFailed, "Error[E8]: _write() error on \"%s\"", true},
    {kAttributesUnreadable, "Error[E9]: GetFileAttributes() error on \"%s.H1K\"", true},
    {kAttributesNotSet, "Error[E10]: SetFileAttributes() error on \"%s\"", true},
    // The file is encrypted and committed; only its temporary copy is left, for the next resume to delete.
    {kTemporaryNotDeleted, "Error[E11]: DeleteFile() error on \"%s.H1K\"", false},
    {kReadFailed, "Error[E12]: Read error on \"%s.H1K\"", true},
    {kCompressionNotSet, "Error[E14]: set compressed attribute error on \"%s\"", true},
    {kSparseNotSet, "Error[E15]: set sparse attribute error on \"%s\"", true},
};

std::string WithPath(const char* format, const std::string& path) {
  std::string text = format;
  text.replace(text.find("%s"), 2, path);
  return text;
}

}  // namespace

void CInitEncrypt::ListAsBadFile(const std::string& path) {
  if (!bad_files_.Add(path)) return;
  std::fprintf(bad_files_stream_, "%s\n", path.c_str());
  std::fflush(bad_files_stream_);
  rules_.AddException(path);
}

void CInitEncrypt::CountError(const char* limit_text) {
  if (error_count_ >= kErrorLimit) Stop(limit_text);
  ++error_count_;
}

void CInitEncrypt::HandleResult(int result, const std::string& path, bool first_pass) {
  if (result == kEncrypted) return;
  if (result == kVerifyFailed) Stop("encrypt verify error.");
  if (result == kHistoryNotWritten) {
    const std::string line = "Error[E16]: cannot record \"" + path + "\" in the encryption history";
    LogEvent(line);
    Stop(line);
  }
  if (result == kWrongKey) {
    const std::string line =
        WithPath(first_pass ? "Error[E7]: wrong CFK for \"%s\"." : "Error[E7]: wrong CFK for \"%s\"", path);
    LogEvent(line);
    ListAsBadFile(path);
    Stop(line);
  }
  for (const ResultRow& row : kResultRows) {
    if (row.result != result) continue;
    LogEvent(WithPath(row.format, path));
    if (row.listed) ListAsBadFile(path);
    CountError(result == kWriteFailed ? "Maximum error numbers exceeded: error code 8"
                                      : "Maximum error numbers exceeded.");
    return;
  }
  const std::string line = "Error[E16]: unknown error, returns " + std::to_string(result) + " on \"" + path + "\"";
  LogEvent(line);
  Stop(line);
}
