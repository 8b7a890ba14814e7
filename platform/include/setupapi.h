// SetupAPI: device-interface enumeration (find a device of a class and its path), the device information list of
// every device (hardware IDs, removal), INF files and file queues.
#pragma once

#include "windows.h"

extern "C" {

typedef PVOID HDEVINFO;

#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008
#define DIGCF_DEVICEINTERFACE 0x00000010

typedef struct _SP_DEVINFO_DATA {
  DWORD cbSize;
  GUID ClassGuid;
  DWORD DevInst;
  ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;

typedef struct _SP_DEVICE_INTERFACE_DATA {
  DWORD cbSize;
  GUID InterfaceClassGuid;
  DWORD Flags;
  ULONG_PTR Reserved;
} SP_DEVICE_INTERFACE_DATA, *PSP_DEVICE_INTERFACE_DATA;

// On 32-bit XP the fixed part of this record is 5 bytes (a DWORD and one CHAR); callers set cbSize to it.
#pragma pack(push, 1)
typedef struct _SP_DEVICE_INTERFACE_DETAIL_DATA_A {
  DWORD cbSize;
  CHAR DevicePath[1];
} SP_DEVICE_INTERFACE_DETAIL_DATA_A, *PSP_DEVICE_INTERFACE_DETAIL_DATA_A;
#pragma pack(pop)

HDEVINFO SetupDiGetClassDevsA(const GUID* class_guid, LPCSTR enumerator, HWND parent, DWORD flags);
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* interface_class,
                                 DWORD member_index, PSP_DEVICE_INTERFACE_DATA interface_data);
BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interface_data,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detail_size,
                                      PDWORD required_size, PSP_DEVINFO_DATA device);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);

// SetupAPI's own error codes.
#define APPLICATION_ERROR_MASK 0x20000000u
#define ERROR_SEVERITY_ERROR 0xC0000000u
#define ERROR_EXPECTED_SECTION_NAME (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x0u)
#define ERROR_BAD_SECTION_NAME_LINE (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x1u)
#define ERROR_SECTION_NAME_TOO_LONG (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x2u)
#define ERROR_GENERAL_SYNTAX (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x3u)
#define ERROR_WRONG_INF_STYLE (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x100u)
#define ERROR_SECTION_NOT_FOUND (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x101u)
#define ERROR_LINE_NOT_FOUND (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x102u)
#define ERROR_NO_ASSOCIATED_CLASS (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x200u)
#define ERROR_CLASS_MISMATCH (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x201u)
#define ERROR_INVALID_CLASS (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x206u)
#define ERROR_NO_SUCH_DEVINST (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x20Bu)
#define ERROR_DI_BAD_PATH (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x214u)

// The device information list of every device, present or not: SetupDiGetClassDevsA(NULL, NULL, NULL,
// DIGCF_ALLCLASSES), walked by index with a record whose cbSize is sizeof(SP_DEVINFO_DATA).
BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD member_index, PSP_DEVINFO_DATA device);

// Device properties; only the hardware IDs, a REG_MULTI_SZ list. Too small a buffer: ERROR_INSUFFICIENT_BUFFER with
// *required_size set; a device without hardware IDs: ERROR_INVALID_DATA.
#define SPDRP_HARDWAREID 0x00000001u
BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD property_type,
                                       PBYTE buffer, DWORD buffer_size, PDWORD required_size);

// Class installer requests; only DIF_REMOVE, which an administrator may ask for: the device and its interfaces
// leave the device tree and the machine's windows hear WM_DEVICECHANGE.
typedef UINT DI_FUNCTION;
#define DIF_REMOVE 0x00000005u
BOOL SetupDiCallClassInstaller(DI_FUNCTION install_function, HDEVINFO set, PSP_DEVINFO_DATA device);

// INF files: sections of "key = value" lines with comma-separated fields, ';' comments, '\' continued lines,
// quoted fields and %strings% from [Strings]. INF_STYLE_WIN4 needs a [Version] section whose Signature is
// "$Windows NT$", "$Chicago$" or "$Windows 95$". A failed open gives INVALID_HANDLE_VALUE and, for a syntax error,
// the line in *error_line.
typedef PVOID HINF;
#define INF_STYLE_WIN4 0x00000002u
#define MAX_CLASS_NAME_LEN 32
// The class of [Version]'s Class and ClassGUID.
BOOL SetupDiGetINFClassA(LPCSTR inf_name, LPGUID class_guid, LPSTR class_name, DWORD class_name_size,
                         PDWORD required_size);
HINF SetupOpenInfFileA(LPCSTR file_name, LPCSTR inf_class, DWORD inf_style, PUINT error_line);
void SetupCloseInfFile(HINF inf);

// File queues. SetupOpenFileQueue fails with INVALID_HANDLE_VALUE.
typedef PVOID HSPFILEQ;
#define SP_COPY_NEWER 0x0000004u
#define SP_COPY_NEWER_OR_SAME SP_COPY_NEWER
#define SP_COPY_SOURCEPATH_ABSOLUTE 0x0000080u
HSPFILEQ SetupOpenFileQueue(void);
BOOL SetupCloseFileQueue(HSPFILEQ queue);
// Queues the copies of the section's CopyFiles lists: each file from SourceRootPath (with
// SP_COPY_SOURCEPATH_ABSOLUTE, the INF's relative source paths are not used) to its [DestinationDirs] folder.
BOOL SetupInstallFilesFromInfSectionA(HINF inf, HINF layout_inf, HSPFILEQ queue, LPCSTR section_name,
                                      LPCSTR source_root_path, UINT copy_flags);

// Queue notifications, as far as a commit sends them.
#define SPFILENOTIFY_COPYERROR 0x0000000Du
#define SPFILENOTIFY_TARGETNEWER 0x00040000u
#define FILEOP_ABORT 0u
#define FILEOP_DOIT 1u
#define FILEOP_SKIP 2u
typedef struct _FILEPATHS_A {
  LPCSTR Target;
  LPCSTR Source;
  UINT Win32Error;
  DWORD Flags;
} FILEPATHS_A, *PFILEPATHS_A;
typedef UINT (*PSP_FILE_CALLBACK_A)(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2);
// The default callback asks no one here: a newer target is kept, a failed copy ends the commit with its error.
PVOID SetupInitDefaultQueueCallback(HWND owner);
void SetupTermDefaultQueueCallback(PVOID context);
UINT SetupDefaultQueueCallbackA(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2);
BOOL SetupCommitFileQueueA(HWND owner, HSPFILEQ queue, PSP_FILE_CALLBACK_A callback, PVOID context);

// Exported by setupapi and found by name: WAIT_OBJECT_0 once no device installation is pending, WAIT_TIMEOUT when
// one still is after `timeout` ms.
typedef DWORD (*PCMP_WAITNOPENDINGINSTALLEVENTS)(DWORD timeout);

}  // extern "C"
