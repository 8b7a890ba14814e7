// The registry copies of the folder lists that the filter driver reads as its rules: "exclusion" from MRVNEFLI,
// "inclusion" from MRVEFLST and "Exception" from MRVBADFILES, under HKLM "SOFTWARE\Quillmarsh\Tavik". Each value
// "1", "2", ... holds a path: on drive C: without its drive ("\WINDOWS"), on any other drive with its letter
// ("D:\Recycler"), so that the driver applies it on the right volume. A path whose 8.3 form is shorter is written
// a second time in that form under the next number. Folder lines on a drive the machine does not have are skipped.
#include <vector>

#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

constexpr char kRuleRoot[] = "SOFTWARE\\Quillmarsh\\Tavik";

// Which lines of a list become rules.
enum class LineFilter {
  kAllButSystemVolumeInformation,  // the driver never protects System Volume Information, whatever the rules
  kEveryLine,
  kExistingFiles,
};

struct RuleListCopy {
  const char* subkey;
  const char* list_file;
  size_t line_limit;
  const char* missing_file_error;  // nullptr: a missing list is an empty one
  LineFilter filter;
  bool folders;  // a missing folder is created to be asked for its short name
  DWORD short_buffer_size;
  const char* first_write_error;
  const char* second_write_error;
  const char* create_error;
  const char* size_error;
  const char* short_name_error;
};

const RuleListCopy kExclusions = {
    .subkey = "exclusion",
    .list_file = "MRVNEFLI",
    .line_limit = kMaxPathLength,
    .missing_file_error = "Failed to Open Non-Encryption Folder File",
    .filter = LineFilter::kAllButSystemVolumeInformation,
    .folders = true,
    .short_buffer_size = 261,
    .first_write_error = "Write to Registry Error(CInitEncrypt::addNEFL2Registry())",
    .second_write_error = "Write to Registry Error(from addNEFL2Registry())",
    .create_error = "Create Folder Error(from addNEFL2Registry())",
    .size_error = "Buffer Size not Big enough. (from addNEFL2Registry())",
    .short_name_error = "GetShortPathName(rbuf, rbufShort, MAX_PATH) failed. (from addNEFL2Registry())",
};

const RuleListCopy kInclusions = {
    .subkey = "inclusion",
    .list_file = "MRVEFLST",
    .line_limit = kMaxPathLength,
    .missing_file_error = "Failed to Open Encryption Folder File",
    .filter = LineFilter::kEveryLine,
    .folders = true,
    .short_buffer_size = 260,
    .first_write_error = "Write to Registry Error(from addEFL2Registry())",
    .second_write_error = "Write to Registry Error(from addEFL2Registry())",
    .create_error = "Create Folder Error(from addEFL2Registry())",
    .size_error = "Buffer Size not Big enough. (from addEFL2Registry())",
    .short_name_error = "GetShortPathName(rbuf, rbufShort, MAX_PATH) failed. (from addEFL2Registry())",
};

const RuleListCopy kExceptions = {
    .subkey = "Exception",
    .list_file = "MRVBADFILES",
    .line_limit = 514,
    .missing_file_error = nullptr,
    .filter = LineFilter::kExistingFiles,
    .folders = false,
    .short_buffer_size = 260,
    .first_write_error = "Write to Registry Error (fromaddBadFiles2Registry())",
    .second_write_error = "Write to Registry Error(CInitEncrypt::addBadFiles2Registry())",
    .create_error = "",
    .size_error = "Buffer Size not Big enough (from addBadFiles2Registry())",
    .short_name_error = "GetShortPathName(rbuf, rbufShort, MAX_PATH) failed. (from addBadFiles2Registry())",
};

void ShowError(const std::string& text) { ShowMessage(text, MB_OK | MB_ICONERROR); }

// The rule text of a full path: drive C: is the system volume and loses its drive; other drives keep it.
std::string RuleText(const std::string& path) { return FoldAscii(path[0]) == 'c' ? path.substr(2) : path; }

// The folders a short-name probe had to create, removed again (deepest first) when the probe is done.
class ProbeFolder {
 public:
  // False when a missing level cannot be created.
  bool Create(const std::string& path) {
    std::vector<std::string> missing;
    for (std::string level = path; GetFileAttributesA(level.c_str()) == INVALID_FILE_ATTRIBUTES;) {
      missing.push_back(level);
      const size_t cut = level.rfind('\\');
      if (cut == std::string::npos || cut < 3) break;
      level.resize(cut);
    }
    for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
      if (!CreateDirectoryA(level->c_str(), nullptr)) return false;
      created_.push_back(*level);
    }
    return true;
  }
  ~ProbeFolder() {
    for (auto level = created_.rbegin(); level != created_.rend(); ++level) RemoveDirectoryA(level->c_str());
  }

 private:
  std::vector<std::string> created_;
};

bool SetRule(HKEY key, unsigned number, const std::string& text) {
  const std::string name = std::to_string(number);
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

// The old rule key goes first; a key that will not go is left to the user, who is asked to remove it.
void RemoveOldRules(const RuleListCopy& copy) {
  HKEY root = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRuleRoot, 0, KEY_ALL_ACCESS, &root) != ERROR_SUCCESS) return;
  const LSTATUS status = DeleteKeyTree(root, copy.subkey);
  RegCloseKey(root);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    ShowError(std::string("Important:\r\nPlease ensure the following registry key and subkeys has been deleted.\r\n"
                          "If it still exists, manually remove it, then click OK:\r\nHKEY_LOCAL_MACHINE\\") +
              kRuleRoot + "\\" + copy.subkey);
  }
}

bool EnsureRuleKey(const std::string& subkey) {
  const char exists = regKeyExists(subkey.c_str(), HKEY_LOCAL_MACHINE);
  if (exists == 2) {
    ShowError("Check registry key failure.");
    return false;
  }
  if (exists == 1) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr, &key, &disposition) != ERROR_SUCCESS) {
      ShowError("Create reg key failure: HKLM\\" + subkey);
      return false;
    }
    RegCloseKey(key);
  }
  return true;
}

bool Accepts(LineFilter filter, const std::string& path) {
  switch (filter) {
    case LineFilter::kAllButSystemVolumeInformation:
      return !EqualsIgnoringCase(std::string_view(path).substr(2), "\\System Volume Information");
    case LineFilter::kEveryLine:
      return true;
    case LineFilter::kExistingFiles: {
      const DWORD attributes = GetFileAttributesA(path.c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
  }
  return false;
}

// The path's 8.3 form, or false after showing why it could not be had.
bool ShortForm(const RuleListCopy& copy, const std::string& path, std::string* short_path) {
  ProbeFolder probe;
  if (copy.folders && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES && !probe.Create(path)) {
    ShowMessage(path, MB_OK, "Failed to create folder:");
    ShowError(copy.create_error);
    return false;
  }
  std::vector<char> buffer(copy.short_buffer_size, '\0');
  const DWORD length = GetShortPathNameA(path.c_str(), buffer.data(), copy.short_buffer_size);
  if (length == 0 || length > kMaxPathLength || length >= copy.short_buffer_size) {
    ShowMessage(path, MB_OK | MB_ICONERROR, buffer.data());
    ShowError(length == 0 ? copy.short_name_error : copy.size_error);
    return false;
  }
  short_path->assign(buffer.data(), length);
  return true;
}

bool CopyLines(const RuleListCopy& copy, std::FILE* list, HKEY key) {
  ListLineReader reader(list, copy.line_limit);
  std::string line;
  unsigned number = 1;
  for (LineStatus status; (status = reader.Next(&line)) != LineStatus::kEnd;) {
    if (const char* error = FolderLineError(status, line)) {
      ShowError(error);
      return false;
    }
    if (line.empty() || !Accepts(copy.filter, line)) continue;
    // A folder on a drive that is not there (a user's list, a drive gone between runs) has no files to rule on,
    // and its short form cannot be asked for.
    if (copy.folders && !DriveExists(line[0])) continue;
    if (!SetRule(key, number++, RuleText(line))) {
      ShowError(copy.first_write_error);
      return false;
    }
    std::string short_path;
    if (!ShortForm(copy, line, &short_path)) return false;
    if (short_path.size() < line.size() && !SetRule(key, number++, RuleText(short_path))) {
      ShowError(copy.second_write_error);
      return false;
    }
  }
  return true;
}

bool CopyToRegistry(const RuleListCopy& copy) {
  RemoveOldRules(copy);
  const std::string subkey = std::string(kRuleRoot) + "\\" + copy.subkey;
  if (!EnsureRuleKey(subkey)) return false;
  std::FILE* list = std::fopen(InstallFolderFile(copy.list_file).c_str(), "r");
  if (list == nullptr) {
    if (copy.missing_file_error == nullptr) return true;
    ShowError(copy.missing_file_error);
    return false;
  }
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    std::fclose(list);
    return false;
  }
  const bool copied = CopyLines(copy, list, key);
  RegCloseKey(key);
  std::fclose(list);
  return copied;
}

}  // namespace
}  // namespace tavik::setupcore

// Exported by setupcore.
bool addNEFL2Registry(void) { return tavik::setupcore::CopyToRegistry(tavik::setupcore::kExclusions); }

// Exported by setupcore.
bool addEFL2Registry(void) { return tavik::setupcore::CopyToRegistry(tavik::setupcore::kInclusions); }

// Exported by setupcore.
bool addBadFiles2Registry(void) { return tavik::setupcore::CopyToRegistry(tavik::setupcore::kExceptions); }
