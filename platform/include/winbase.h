// Kernel32 base services the system calls: handles, last error, sleeping, mutexes, modules and devices.
#pragma once

#include "windef.h"

extern "C" {

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_FAILED 0xFFFFFFFFu

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

DWORD GetLastError(void);
void SetLastError(DWORD code);
BOOL CloseHandle(HANDLE handle);
void Sleep(DWORD milliseconds);
DWORD GetTickCount(void);

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initial_owner, LPCSTR name);
BOOL ReleaseMutex(HANDLE mutex);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

HMODULE LoadLibraryA(LPCSTR file_name);
FARPROC GetProcAddress(HMODULE module, LPCSTR proc_name);
BOOL FreeLibrary(HMODULE module);

typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stack_size, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creation_flags, LPDWORD thread_id);

HANDLE CreateFileA(LPCSTR file_name, DWORD desired_access, DWORD share_mode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creation_disposition, DWORD flags_and_attributes, HANDLE template_file);
BOOL DeviceIoControl(HANDLE device, DWORD io_control_code, LPVOID in_buffer, DWORD in_size, LPVOID out_buffer,
                     DWORD out_size, LPDWORD bytes_returned, LPOVERLAPPED overlapped);

#define MAX_COMPUTERNAME_LENGTH 15
// *size: the buffer's capacity in, the name's length out; too small: ERROR_BUFFER_OVERFLOW, *size = length + 1.
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size);

#define MAX_COMPUTERNAME_LENGTH 15
// *size: the buffer's capacity in, the name's length out; too small: ERROR_BUFFER_OVERFLOW, *size = length + 1.
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size);

}  // extern "C"
