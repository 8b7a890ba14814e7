// The machine's registry: one SQLite store (DIR/registry.db, made on first use) shared by every process of the
// machine, by advapi32's Reg* calls and by the kernel model's Zw*Key calls. Never included by system code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "windef.h"
#include "winerror.h"

namespace xp::registry {

// The store's namespace is the kernel's: "\Registry\Machine\..." is HKEY_LOCAL_MACHINE and "\Registry\User\<name>"
// the hive of account <name> (HKEY_USERS\<name>; HKEY_CURRENT_USER is the current user's). Key and value names
// compare case-insensitively and keep the case they were created with. Subkeys enumerate in case-insensitive
// name order, values in the order they were first written.
//
// Every call is one transaction and returns a Win32 error code: ERROR_SUCCESS; ERROR_FILE_NOT_FOUND for a missing
// key or value; ERROR_KEY_DELETED when the key was deleted since it was opened; ERROR_ACCESS_DENIED for deleting a
// key that has subkeys or a hive, or for making a key beside the hives; ERROR_NO_MORE_ITEMS past the end of an enumeration; ERROR_BAD_PATHNAME for an
// empty path component; ERROR_REGISTRY_IO_FAILED when the store cannot be read or written; or an injected fault.
// The kernel model reports these as STATUS_OBJECT_NAME_NOT_FOUND, STATUS_KEY_DELETED, STATUS_CANNOT_DELETE,
// STATUS_NO_MORE_ENTRIES, STATUS_OBJECT_PATH_SYNTAX_BAD and STATUS_REGISTRY_IO_FAILED.

// A key of the store. It names the same key in every process until that key is deleted; ids are never reused.
using KeyId = int64_t;
constexpr KeyId kMachineKey = 2;  // \Registry\Machine
constexpr KeyId kUsersKey = 3;    // \Registry\User

struct Value {
  std::u16string name;
  DWORD type = 0;
  std::vector<uint8_t> data;  // exactly the bytes written; REG_SZ as UTF-16LE, with a NUL only if one was written
};

// The account whose hive HKEY_CURRENT_USER names: XPMACHINE_USER, or "Administrator" when it is unset or empty.
std::string CurrentUser();
// The hive of `user`, made on first use.
LONG OpenUserHive(std::u16string_view user, KeyId* key);

// A full kernel path, "\Registry\Machine\SYSTEM\CurrentControlSet\Services\Morvel" (one trailing '\' allowed).
LONG OpenPath(std::u16string_view path, KeyId* key);
// `sub_path` is relative to `parent`, components separated by '\'; empty opens `parent` itself.
LONG OpenKey(KeyId parent, std::u16string_view sub_path, KeyId* key);
// Opens or makes the key, making missing intermediate keys; *created tells which (it may be null).
LONG CreateKey(KeyId parent, std::u16string_view sub_path, KeyId* key, bool* created);
// Deletes the key and its values; refused (ERROR_ACCESS_DENIED) while it has subkeys. Empty deletes `parent`.
LONG DeleteKey(KeyId parent, std::u16string_view sub_path);
LONG EnumKey(KeyId key, DWORD index, std::u16string* name);

// An empty name is the key's default value.
LONG QueryValue(KeyId key, std::u16string_view name, Value* value);
LONG SetValue(KeyId key, std::u16string_view name, DWORD type, const std::vector<uint8_t>& data);
LONG DeleteValue(KeyId key, std::u16string_view name);
LONG EnumValue(KeyId key, DWORD index, Value* value);

// Makes every completed call survive a power loss. (A killed process never loses a completed call.)
LONG Flush();

// The full kernel path of a key, in the case its components were created with.
LONG KeyPath(KeyId key, std::u16string* path);

// Writes what a fresh XP installation holds and the system relies on (Winlogon's "Userinit" and "Shell", its
// "DefaultUserName" (the first account), "DefaultDomainName" (the computer), empty legal-notice values there and
// under Policies\System, "PowerDownAfterShutdown" "0", the RunOnce key, the control sets' Services keys, every
// account's Shell Folders) into the machine XPMACHINE names.
LONG SeedFreshInstallation();

// --- The ANSI side, for the A functions: the machine's ANSI code page (machine.ini "ansi_code_page"; 1252 outside a
// machine, and for a page the host cannot convert). Every stand-in's A calls convert through these two. ---
uint32_t AnsiCodePage();
// Bytes that start no character of the code page become '?'.
std::u16string AnsiToUtf16(std::string_view ansi);
// Characters outside the code page become '?'.
std::string Utf16ToAnsi(std::u16string_view text);
bool IsStringType(DWORD type);
// The text of a stored REG_SZ value, up to its first NUL (a value may be stored without one).
std::u16string StoredText(const Value& value);
// What RegSetValueExA stores for `size` bytes of `type`: string types widened from the code page, others as they are.
std::vector<uint8_t> AnsiDataToStored(DWORD type, const BYTE* data, size_t size);
// What RegQueryValueExA returns for stored data: string types narrowed (an odd trailing byte dropped).
std::vector<uint8_t> StoredDataToAnsi(DWORD type, const std::vector<uint8_t>& stored);

// Host text (UTF-8) for names typed on a command line or printed for a person.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// --- Faults on purpose, shared by every process of the machine (kept in the store). ---
enum class Op { kOpen, kCreate, kQueryValue, kSetValue, kDeleteValue, kDeleteKey, kEnumKey, kEnumValue };
// Makes calls of `op` on keys whose full kernel path contains `key_substring` (case-insensitive; empty matches
// every key) fail with `error`: the nth matching call from now (1 = the next), and the `times` - 1 after it
// (times 0: every matching call from the nth on). Calls are counted machine-wide, across processes.
void InjectFault(Op op, uint32_t nth, LONG error, const std::string& key_substring = "", uint32_t times = 1);
void ClearFaults();

// --- `xpmachine reg query DIR KEY [/v NAME]` (the machine is the one XPMACHINE names). ---
// KEY is "HKLM\...", "HKCU\...", "HKU\..." or the long root names. The text is laid out as reg.exe's query:
//   "\n<ROOT>\<path as typed>\n" then one "    <name>    <TYPE>    <data>\n" line per value ("(Default)" for
//   the unnamed one; with /v, only that value), then, without /v, "\n" and one "<ROOT>\<path>\<subkey>\n" line
//   per subkey; with /v, a closing "\n". Data: REG_SZ and REG_EXPAND_SZ as text up to the first NUL, REG_MULTI_SZ
//   with "\0" between strings, REG_DWORD and REG_QWORD as "0x" and lower-case hex, others as upper-case hex bytes.
// Exit code 0; 1 with "ERROR: The system was unable to find the specified registry key or value.\n" or
// "ERROR: Invalid key name.\nType \"REG QUERY /?\" for usage.\n" (the caller prints those to stderr).
// Injected faults do not touch it, and it makes nothing (not even the current user's hive).
std::string FormatQuery(const std::string& key, const std::optional<std::string>& value_name, int* exit_code);

}  // namespace xp::registry
