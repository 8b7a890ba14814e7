// Files, folders and volumes on the machine's drives: the kernel32 calls the system makes on "X:\..." paths, and
// EFS's EncryptFileA (advapi32). Paths are ANSI and at most MAX_PATH - 1 characters long.
#pragma once

#include "ddk/io_codes.h"  // file attributes, shared with kernel code
#include "ddk/ntdef.h"  // LARGE_INTEGER and ULARGE_INTEGER: one definition for user and kernel code
#include "winbase.h"

extern "C" {

#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

// CreateFileA's flags beside the attributes.
#define FILE_FLAG_WRITE_THROUGH 0x80000000u
#define FILE_FLAG_OVERLAPPED 0x40000000u
#define FILE_FLAG_NO_BUFFERING 0x20000000u
#define FILE_FLAG_RANDOM_ACCESS 0x10000000u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000u
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000u

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)

#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_COPY_ALLOWED 0x00000002u
#define MOVEFILE_DELAY_UNTIL_REBOOT 0x00000004u
#define MOVEFILE_WRITE_THROUGH 0x00000008u

#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#define DRIVE_CDROM 5

typedef struct _WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *PWIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

// Synchronous only (no OVERLAPPED). ReadFile succeeds with 0 bytes at the end of the file.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes_to_read, LPDWORD bytes_read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes_to_write, LPDWORD bytes_written, LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD move_method);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER new_position, DWORD move_method);
DWORD GetFileSize(HANDLE file, LPDWORD size_high);
BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size);
BOOL FlushFileBuffers(HANDLE file);
BOOL SetEndOfFile(HANDLE file);
BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME last_access, LPFILETIME last_write);
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* last_access, const FILETIME* last_write);

BOOL DeleteFileA(LPCSTR file_name);
BOOL MoveFileA(LPCSTR existing_name, LPCSTR new_name);
BOOL MoveFileExA(LPCSTR existing_name, LPCSTR new_name, DWORD flags);
BOOL CopyFileA(LPCSTR existing_name, LPCSTR new_name, BOOL fail_if_exists);
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES attributes);
BOOL RemoveDirectoryA(LPCSTR path);
DWORD GetFileAttributesA(LPCSTR file_name);
BOOL SetFileAttributesA(LPCSTR file_name, DWORD attributes);
// The length without the NUL, or the size needed (with it) when `size` is too small; 0 when the path is missing.
DWORD GetShortPathNameA(LPCSTR long_path, LPSTR short_path, DWORD size);

// "." and ".." come first except in a drive's root; the rest in the order of their upper-cased names.
HANDLE FindFirstFileA(LPCSTR file_name, LPWIN32_FIND_DATAA find_data);
BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA find_data);
BOOL FindClose(HANDLE find);

DWORD GetLogicalDrives(void);
UINT GetDriveTypeA(LPCSTR root_path);
BOOL GetVolumeInformationA(LPCSTR root_path, LPSTR volume_name, DWORD volume_name_size, LPDWORD serial_number,
                           LPDWORD maximum_component_length, LPDWORD file_system_flags, LPSTR file_system_name,
                           DWORD file_system_name_size);
BOOL GetDiskFreeSpaceExA(LPCSTR directory, PULARGE_INTEGER free_bytes_available_to_caller, PULARGE_INTEGER total_bytes,
                         PULARGE_INTEGER total_free_bytes);

// advapi32: marks the file encrypted.
BOOL EncryptFileA(LPCSTR file_name);

}  // extern "C"
