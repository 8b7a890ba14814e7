// The Win32 registry calls the system makes, their handles, access rights, value types and options.
// Every call returns a Win32 error code (ERROR_SUCCESS on success) and leaves the last error alone.
#pragma once

#include "windef.h"

extern "C" {

typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;
typedef LONG LSTATUS;
typedef struct _FILETIME FILETIME, *PFILETIME;

}  // extern "C"

// Predefined keys: sign-extended 32-bit constants, as in 64-bit Windows.
#define HKEY_CLASSES_ROOT ((HKEY)(LONG_PTR)(LONG)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(LONG_PTR)(LONG)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(LONG_PTR)(LONG)0x80000002)
#define HKEY_USERS ((HKEY)(LONG_PTR)(LONG)0x80000003)

// Access rights. A value query or enumeration needs KEY_QUERY_VALUE, a value write or delete KEY_SET_VALUE, a
// subkey enumeration KEY_ENUMERATE_SUB_KEYS; otherwise the call fails with ERROR_ACCESS_DENIED.
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_CREATE_LINK 0x0020u
// The composites, with the standard rights they carry (READ_CONTROL 0x20000; DELETE, WRITE_DAC, WRITE_OWNER).
#define KEY_READ 0x00020019u
#define KEY_WRITE 0x00020006u
#define KEY_EXECUTE 0x00020019u
#define KEY_ALL_ACCESS 0x000F003Fu

// Value types; data is stored with its exact type and byte length.
#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_DWORD_LITTLE_ENDIAN 4u
#define REG_DWORD_BIG_ENDIAN 5u
#define REG_LINK 6u
#define REG_MULTI_SZ 7u
#define REG_QWORD 11u

// RegCreateKeyEx options and dispositions. Only non-volatile keys exist here; any other option fails with
// ERROR_CALL_NOT_IMPLEMENTED.
#define REG_OPTION_RESERVED 0x00000000u
#define REG_OPTION_NON_VOLATILE 0x00000000u
#define REG_OPTION_VOLATILE 0x00000001u
#define REG_CREATED_NEW_KEY 0x00000001u
#define REG_OPENED_EXISTING_KEY 0x00000002u

extern "C" {

// Missing key: ERROR_FILE_NOT_FOUND. ulOptions must be 0. *phkResult is NULL on failure.
LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
// Creates missing intermediate keys too. lpClass must be NULL or empty and lpSecurityAttributes NULL.
LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions, REGSAM samDesired,
                        LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult, LPDWORD lpdwDisposition);
LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions, REGSAM samDesired,
                        LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult, LPDWORD lpdwDisposition);
// Fails with ERROR_ACCESS_DENIED while the key has subkeys: callers delete depth-first.
LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
LSTATUS RegCloseKey(HKEY hKey);
// Subkeys in case-insensitive name order; ERROR_NO_MORE_ITEMS past the last. lpftLastWriteTime must be NULL.
LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
                      LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);
// Makes everything written so far survive a power loss (a killed process never loses a completed call).
LSTATUS RegFlushKey(HKEY hKey);

// The A query converts string types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) to the ANSI code page and reports
// the ANSI byte length. A buffer too small gives ERROR_MORE_DATA, *lpcbData = the size needed, buffer untouched;
// lpData NULL gives the size only. No terminator is ever added: data comes back as it was written.
LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData);
LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData);
// Stores exactly cbData bytes (the A form widens string types to UTF-16LE, two bytes per ANSI byte).
LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData, DWORD cbData);
LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData, DWORD cbData);
LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
// Values in the order they were first written; ERROR_NO_MORE_ITEMS past the last.
LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);

}  // extern "C"
