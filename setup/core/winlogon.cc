// The Winlogon values the install changes: "Userinit", where the key-check program is listed after the system's
// own userinit.exe, and any value by name ("GinaDLL"). Userinit is edited entry by entry, so that the programs
// other software listed there stay, and the key-check program is never listed twice.
#include <vector>

#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

constexpr char kWinlogonKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char kUserinit[] = "Userinit";
// An inserted Userinit text must stay below this many bytes (the size Winlogon's readers of the value allow).
constexpr size_t kUserinitInsertLimit = 340;

std::string SystemFolder() {
  char folder[MAX_PATH + 1] = {};
  GetSystemDirectoryA(folder, sizeof folder);
  return folder;
}

// The value as text, however long it is; false when it cannot be read.
bool ReadText(HKEY key, const char* name, std::string* text) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
  std::vector<char> data(size + 1, '\0');
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
    return false;
  }
  text->assign(data.data());
  return true;
}

bool WriteText(HKEY key, const char* name, const std::string& text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

// 0 the value begins with the system's userinit.exe entry, 1 no key, 2 unreadable, 3 anything else.
char ReadUserinit(HKEY* key, std::string* value) {
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, KEY_ALL_ACCESS, key) != ERROR_SUCCESS) return 1;
  if (!ReadText(*key, kUserinit, value)) return 2;
  return StartsWithIgnoringCase(*value, SystemFolder() + "\\userinit.exe,") ? 0 : 3;
}

// The comma-separated entries; the text "a,b," gives "a", "b" and a last empty entry.
std::vector<std::string> SplitEntries(const std::string& value) {
  std::vector<std::string> entries;
  size_t start = 0;
  for (size_t comma; (comma = value.find(',', start)) != std::string::npos; start = comma + 1) {
    entries.push_back(value.substr(start, comma - start));
  }
  entries.push_back(value.substr(start));
  return entries;
}

std::string JoinEntries(const std::vector<std::string>& entries) {
  std::string value;
  for (size_t i = 0; i < entries.size(); ++i) value += (i == 0 ? "" : ",") + entries[i];
  return value;
}

bool NamesProgram(std::string entry, const char* program) {
  TrimTrailingSpaces(&entry);
  const size_t start = entry.find_first_not_of(' ');
  return start != std::string::npos && EqualsIgnoringCase(std::string_view(entry).substr(start), program);
}

// Rewrites Userinit through `edit` when it begins with the system's userinit.exe and the new text stays below
// `limit` bytes; the value is left alone on every failure.
template <typename Edit>
bool EditUserinit(Edit edit, size_t limit = std::string::npos) {
  HKEY key = nullptr;
  std::string value;
  const char check = ReadUserinit(&key, &value);
  bool done = false;
  if (check == 0) {
    std::vector<std::string> entries = SplitEntries(value);
    if (!edit(&entries)) {
      done = true;
    } else {
      const std::string edited = JoinEntries(entries);
      done = edited.size() < limit && WriteText(key, kUserinit, edited);
    }
  }
  if (key != nullptr) RegCloseKey(key);
  return done;
}

bool SetWinlogonText(const char* name, const char* value) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
  const bool written = WriteText(key, name, value);
  RegCloseKey(key);
  return written;
}

char CheckUserinit() {
  HKEY key = nullptr;
  std::string value;
  const char check = ReadUserinit(&key, &value);
  if (key != nullptr) RegCloseKey(key);
  return check;
}

// Inserts `program` right after userinit.exe; false from `edit` means nothing to write.
bool InsertIntoUserinit(const char* program) {
  return EditUserinit([program](std::vector<std::string>* entries) {
    for (const std::string& entry : *entries) {
      if (NamesProgram(entry, program)) return false;
    }
    entries->insert(entries->begin() + 1, program);
    return true;
  }, kUserinitInsertLimit);
}

bool RemoveFromUserinit(const char* program) {
  return EditUserinit([program](std::vector<std::string>* entries) {
    const size_t before = entries->size();
    std::erase_if(*entries, [program](const std::string& entry) { return NamesProgram(entry, program); });
    return entries->size() != before;
  });
}

}  // namespace
}  // namespace tavik::setupcore

// Exported by setupcore.
char checkUserInit(void) { return tavik::setupcore::CheckUserinit(); }

// Exported by setupcore. Userinit becomes "<system folder>\userinit.exe,<program>," followed by whatever other
// programs it listed; a program already listed is not added again, and a text that would reach 340 bytes is not
// written.
bool insertWinLogOnRegData(const char* program) {
  return program != nullptr && *program != '\0' && tavik::setupcore::InsertIntoUserinit(program);
}

// Exported by setupcore. Takes the program's entry out of Userinit and keeps every other entry.
bool removeWinLogOnRegData(const char* program) {
  return program != nullptr && tavik::setupcore::RemoveFromUserinit(program);
}

// Exported by setupcore. A REG_SZ value stored with its terminating NUL.
bool setWinLogonKey(const char* name, const char* value) { return tavik::setupcore::SetWinlogonText(name, value); }

// Exported by setupcore.
bool delWinlogOnValue(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, tavik::setupcore::kWinlogonKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS status = RegDeleteValueA(key, name);
  RegCloseKey(key);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}
