// What setupcore's files share, grouped by the file that defines it: the message boxes, the install-folder paths,
// the list-file line reader and the case-insensitive text helpers.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "registry_tree.h"
#include "setupcore.h"
#include "windows.h"

namespace tavik::setupcore {

// ---- messages.cc
inline constexpr char kCaption[] = "Quillmarsh Tavik";
// A box owned by no window, captioned kCaption unless another caption is given.
void ShowMessage(const std::string& text, UINT type = MB_OK, const char* caption = kCaption);
// Switches a stream to unbuffered; when that fails, says so ("... for stream <stream_name>") and goes on.
void MakeUnbuffered(std::FILE* file, const char* stream_name);

// ---- file_utils.cc
// Writes what the cache still holds of the (closed) file to the disk. A record the install relies on after a
// checkpoint must be there after a power loss, not only in the cache: true once it is.
bool FlushedToDisk(const char* path);

// ---- drives.cc
// "C:\", "D:\", ...: the fixed drives whose volume reports a file-system name, in letter order.
std::vector<std::string> FormattedFixedRoots();
// Whether the machine has a drive of this letter (either case), of any type.
bool DriveExists(char letter);

// ---- install_paths.cc
inline constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";
// The eight files whose paths _construct_morvel_sys_files builds, in its order.
enum class InstallFile { kNefl, kEntfe, kEnchs, kState, kPuzsn, kDechs, kBadFiles, kLog, kCount };
// The path built for the file; empty until _construct_morvel_sys_files has run.
const char* InstallFilePath(InstallFile file);
// A file of the install folder by its fixed full path.
std::string InstallFolderFile(std::string_view name);

// ---- install_state.cc
// Removes MRVSTATE together with what an interrupted write may have left beside it.
void DeleteInstallState();

// ---- list_lines.cc
// The Windows path limit that every list line and every found path must keep to.
inline constexpr size_t kMaxPathLength = 260;
enum class LineStatus { kLine, kEnd, kEmptyRead, kTooLong };
// Reads a list file one line at a time: a line ends at LF or at the end of the file; LF and one CR before it are
// cut, then trailing spaces. A line of more than max_length characters, or with a NUL inside (kTooLong), or that
// begins with a NUL (kEmptyRead) is consumed through its LF, so that reading can go on after it. A last line
// without LF ends at its first NUL, as a torn write leaves it. Lines may come back empty.
class ListLineReader {
 public:
  ListLineReader(std::FILE* file, size_t max_length) : file_(file), max_length_(max_length) {}
  LineStatus Next(std::string* line);
  // True once a line ended at the end of the file without an LF (only the file's last line can).
  bool last_line_unterminated() const { return last_line_unterminated_; }

 private:
  std::FILE* file_;
  size_t max_length_;
  bool last_line_unterminated_ = false;
};
// The folder-name checks of the user's folder lists: the message for a bad line, or nullptr for a good one.
const char* FolderLineError(LineStatus status, const std::string& line);

// ---- text.cc
char FoldAscii(char c);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
// Cuts trailing spaces (' ' only).
void TrimTrailingSpaces(std::string* text);

}  // namespace tavik::setupcore
