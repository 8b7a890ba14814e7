// The conversion engine the setup programs share: the install encrypts the disk with it, the uninstall and the
// give-up of an incomplete install decrypt it again, and the recovery decrypts a file into a copy beside it. One
// routine converts a file in either direction; one history protocol makes each conversion happen exactly once
// across crashes; one result mechanism, one log writer, one walk, one message dialog and one key check serve every
// program, which passes in its own texts, codes, limits and dialog numbers.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "folder_lines.h"
#include "history.h"
#include "path_set.h"
#include "walk_rules.h"
#include "windows.h"

class CWnd;

namespace tavik::conversion {

inline constexpr char kCaption[] = "Quillmarsh Tavik";
inline constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";
// The Windows path limit every walked path and list line keeps to.
inline constexpr size_t kMaxPath = 260;
// The file at the install folder's fixed path.
std::string InstallFile(std::string_view name);

// ---- A long operation gives up: its text is shown by the one handler at the operation's end. Nothing else is ever
// caught there, so a crash or a program error is never mistaken for it.
struct RunStop {
  std::string text;
};
[[noreturn]] void Stop(std::string text);

// ---- One file, converted (convert_file.cc).
enum class Direction { kEncrypt, kDecrypt };

// The results; what each means for a run is the program's table (ResultTable below).
enum ConvertResult {
  kConverted = 0,
  kRenameFailed = 4,    // nothing was moved
  kOpenReadFailed = 5,  // the temporary copy (or, in place, the new file) did not open
  kOpenWriteFailed = 6,  // the file to write did not open (a copy: was not created)
  kWrongKey = 7,         // the key buffer does not hold an XCFK
  kWriteFailed = 8,
  kAttributesUnreadable = 9,
  kAttributesNotSet = 10,
  kTemporaryNotDeleted = 11,  // the file is converted and committed; its temporary copy stays behind
  kReadFailed = 12,
  kVerifyFailed = 13,
  kCompressionNotSet = 14,
  kSparseNotSet = 15,
  kHistoryNotWritten = 16,  // both copies stay: the history could not record the file
};

// The captions of the boxes a failed conversion shows when the old content cannot be put back by itself (the user
// is asked to rename it), and the box some failures show first; nullptr: no such box.
struct ConversionTexts {
  const char* attributes_unreadable;
  const char* open_read;
  const char* open_read_box;  // shown before the restore when the temporary copy does not open
  const char* open_write;
  const char* wrong_key;
  const char* read_failed;
  const char* verify_failed;
  const char* attributes_not_set;
  const char* compression_not_set;
};

struct FileConversion {
  Direction direction;
  const char* suffix;  // the temporary name's ending: ".H1K" encrypting, ".H0K" decrypting
  const ConversionTexts* texts;
};

// The install's and the removal's conversions, with their texts.
extern const FileConversion kEncryption;
extern const FileConversion kDecryption;

// Converts `path` in place under `xcfk` (33 bytes: the XCFK and a NUL): the file is renamed to path + suffix,
// written back under its own name through the file cipher in 64 KiB chunks, each verified right after it is
// written, given back its compression, sparseness, EFS, times and attributes, written through to the disk
// (durable history) and committed in `history`; only then does its temporary copy go. Any failure before the
// commit puts the old content back under its name.
int ConvertFileInPlace(const FileConversion& conversion, const unsigned char* xcfk, const std::string& path,
                       CWnd* owner, History* history);

// The recovery's copy: decrypts the encrypted `path` into path + ".H2K" (an older copy is replaced), verified chunk
// by chunk, with the file's attributes, compression, sparseness, EFS and times, written through to the disk. When a
// decryption left the file's encrypted content under path + ".H0K" (its restore failed), the copy is made from
// there. The copy is written beside under a name of its own and takes the ".H2K" name only once complete, so a failed
// attempt leaves an earlier copy as it was. The encrypted file is never changed; a copy that fails part-way is
// deleted. Results: kConverted, kOpenReadFailed (the
// file), kOpenWriteFailed (the copy), kWrongKey, kWriteFailed, kAttributesUnreadable, kAttributesNotSet,
// kReadFailed, kVerifyFailed, kCompressionNotSet, kSparseNotSet.
inline constexpr char kCopySuffix[] = ".H2K";
int DecryptFileToCopy(const unsigned char* xcfk, const std::string& path, CWnd* owner);

// ---- The files a specials list names, recovered into copies (recovery.cc).
// The install folder's lists of files a decryption left encrypted: the uninstall's two rounds, then the give-up of an
// incomplete install.
inline constexpr const char* kSpecialsLists[] = {"MorvelSpecials1.txt", "MorvelSpecials2.txt", "MorvelSpecials.txt"};
// The recovery of "Recover My Files", over the install folder's `lists` in order. Each list's files that exist,
// under their names or their decryption's temporary name, go to `recover` (its code; nonzero adds one to
// *not_recovered), with the wait cursor on. A bad line shows its text in a box with `refusal_caption` (exclamation
// icon) and ends that list. A list that is missing, or that `belongs` (when given) disowns, is skipped while another
// one is there; with none at all, "Open file failure." shows the same way. A refused list counts as one file not
// recovered, so that *not_recovered stays 0 only when every list was read to its end and all its files recovered.
void RecoverFileLists(CWnd* owner, const std::vector<std::string>& lists, const char* refusal_caption,
                      const std::function<int(const std::string&)>& recover, unsigned int* not_recovered,
                      const std::function<bool(const std::string&)>& belongs = nullptr);

// ---- What a run does with each result (results.cc): its log line, its list of files left as they were, its count.
inline constexpr char kStopWithLine[] = "";  // a row's stop: the run stops with the row's log line as its text
struct ResultRow {
  int result;
  const char* line;        // the log line; "%s" the path, "%d" the result; nullptr: none
  bool listed;             // the file goes to the run's list of files left as they were
  bool counted;            // the run's error count grows; the one past the limit stops the run
  const char* stop;        // nullptr: the run goes on; kStopWithLine or a text: the run stops
  const char* limit_text;  // the stop at the limit when this row passes it (nullptr: the table's)
};
struct ResultTable {
  std::vector<ResultRow> rows;
  ResultRow otherwise;     // any result the rows do not name
  unsigned int limit;      // counted errors allowed; the next one stops the run
  const char* limit_text;
};
class ResultLog {
 public:
  // log: writes one log line (the text without stamp); list: records a listed path.
  ResultLog(std::function<void(const std::string&)> log, std::function<void(const std::string&)> list)
      : log_(std::move(log)), list_(std::move(list)) {}
  // Acts on a non-zero result by the table: returns when the run goes on, else Stop()s.
  void Handle(const ResultTable& table, int result, const std::string& path);
  unsigned int error_count() const { return error_count_; }
  void Reset() { error_count_ = 0; }
  // Adds one error that no file result made (a rename line of a leftover); stops past the limit like the rows.
  void Count(const ResultTable& table);

 private:
  std::function<void(const std::string&)> log_;
  std::function<void(const std::string&)> list_;
  unsigned int error_count_ = 0;
};
// The row's line for a file: "%s" the path, "%d" the result.
std::string FormatLine(const char* format, const std::string& path, int result);

// ---- The walk (walk.cc).
// The letters whose root "X:\" is a fixed drive, in letter order.
std::vector<char> FixedDriveLetters();
// Walks the tree of `folder`: every non-empty file goes to `consider`, in search order; a sub-folder is entered
// unless it is a junction or `skip_folder` says so. 0, or after the box "<failure> (error code: 00N)": 1 no folder,
// 2 the folder longer than kMaxPath, 3 a found path longer than kMaxPath.
int WalkFolder(CWnd* owner, const std::string& folder, const char* failure,
               const std::function<bool(const std::string&)>& skip_folder,
               const std::function<void(const std::string&)>& consider);

// ---- The log and the program's own files (log.cc).
// The stamp every log line begins with: "%i-%i-%i %i:%i:%i " of the machine's local time.
std::string Stamp();
// A stamped log line: stamp and text, cut to 458 characters, then "\n".
std::string LogLine(const std::string& text);
// Opens `file` for appending, writes prefix and text, flushes and closes it; false when it does not open.
bool AppendToFile(const std::string& file, const std::string& prefix, const std::string& text);
// Writes what the cache still holds of the file (closed, or open for appending) to the disk. True once it is there.
bool FlushedToDisk(const std::string& file);
// A C stream without a buffer, or the box "Incorrect type or size of buffer for stream <name>" when it keeps one.
void MakeUnbuffered(CWnd* owner, std::FILE* stream, const char* name);

// ---- Dialogs and boxes (message_dlg.cc).
// A program's one-button message dialog: its resource, its text's control and what it keeps of each text.
struct MessageDlgStyle {
  UINT dialog;
  int text_control;
  size_t caption_limit;
  size_t text_limit;
  size_t button_limit;
};
void ShowMessageDlg(const MessageDlgStyle& style, CWnd* parent, const std::string& text,
                    const std::string& caption, const std::string& button);
// A system message box owned by `owner`'s window (nullptr: none); the button pressed.
int Box(CWnd* owner, const std::string& text, const std::string& caption, UINT type);
// Dispatches every pending window message of the thread, so that a window stays responsive between files.
void PumpMessages();

// ---- The filter driver (driver_state.cc): nothing is decrypted or recovered while it may be loaded.
// Whether its service "Morvel" may run: a service manager that does not answer, or a status that does not read,
// counts as running; a service that does not exist does not run.
bool DriverServiceMayRun();
// That, or "GinaDLL" still names the logon component, which loads the driver at the next logon.
bool DriverMayBeActive();

// ---- The install's records (setup_values.cc, key_check.cc).
// The disk-state flag "Decrypted", when it can be read (at most 3 characters); setting it.
std::optional<std::string> ReadDecryptedFlag();
enum class FlagWrite { kWritten, kKeyNotOpened, kValueNotWritten };
FlagWrite SetDecryptedFlag(const char* value);
// The RunOnce value "RunSetup" that starts `program` at the next administrator logon: deleted and set again.
void ArmRunSetup(const char* program);
void DisarmRunSetup();

// MRVPUZSN: 16 bytes and their 32 lower-case digits with a NUL. MRVENTFE: 32 bytes.
bool ReadSnFile(unsigned char* sn, char* hex);
bool ReadEfknFile(unsigned char* efkn);
// Whether `xcfk` is the key the install's records hold: the token's answer to MRVPUZSN opens MRVENTFE into it.
enum class RecordsCheck { kMatches, kDiffers, kRecordsUnreadable, kNoAnswer };
RecordsCheck CheckKeyAgainstRecords(const unsigned char* xcfk);
bool KeyMatchesRecords(const unsigned char* xcfk);
// The XCFK the token's S1 gives (through the token's answer), into 33 bytes; the answer's 32 hex digits and a NUL
// into `key_text` when given (the "Decryption Key" of a report).
enum class TokenKey { kMade, kNoS1, kS1NotRead, kNoAnswer };
TokenKey KeyFromToken(unsigned char* xcfk, char* key_text = nullptr);
// Whether the token's S1 gives the key the records hold. kUnknown when the token could not be asked.
enum class TokenKeyUse { kNotUsed, kUsed, kUnknown };
TokenKeyUse TokenKeyForRecords();

}  // namespace tavik::conversion
