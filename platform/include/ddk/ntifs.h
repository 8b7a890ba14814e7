// The file-system side of the kernel: FsRtl stream headers and per-stream contexts, the cache manager, file-system
// registration and filter callbacks, the information structures a file system answers, and the Nt* file calls.
#pragma once

#include "ntddk.h"

extern "C" {

// ---- Information a file system answers -------------------------------------------------------------------------
typedef struct _FILE_NAME_INFORMATION {
  ULONG FileNameLength;
  WCHAR FileName[1];
} FILE_NAME_INFORMATION, *PFILE_NAME_INFORMATION;

typedef struct _FILE_RENAME_INFORMATION {
  BOOLEAN ReplaceIfExists;
  HANDLE RootDirectory;
  ULONG FileNameLength;
  WCHAR FileName[1];
} FILE_RENAME_INFORMATION, *PFILE_RENAME_INFORMATION;

typedef struct _FILE_DISPOSITION_INFORMATION {
  BOOLEAN DeleteFile;
} FILE_DISPOSITION_INFORMATION, *PFILE_DISPOSITION_INFORMATION;

typedef struct _FILE_ALLOCATION_INFORMATION {
  LARGE_INTEGER AllocationSize;
} FILE_ALLOCATION_INFORMATION, *PFILE_ALLOCATION_INFORMATION;

typedef struct _FILE_DIRECTORY_INFORMATION {
  ULONG NextEntryOffset;
  ULONG FileIndex;
  LARGE_INTEGER CreationTime;
  LARGE_INTEGER LastAccessTime;
  LARGE_INTEGER LastWriteTime;
  LARGE_INTEGER ChangeTime;
  LARGE_INTEGER EndOfFile;
  LARGE_INTEGER AllocationSize;
  ULONG FileAttributes;
  ULONG FileNameLength;
  WCHAR FileName[1];
} FILE_DIRECTORY_INFORMATION, *PFILE_DIRECTORY_INFORMATION;

typedef struct _FILE_BOTH_DIR_INFORMATION {
  ULONG NextEntryOffset;
  ULONG FileIndex;
  LARGE_INTEGER CreationTime;
  LARGE_INTEGER LastAccessTime;
  LARGE_INTEGER LastWriteTime;
  LARGE_INTEGER ChangeTime;
  LARGE_INTEGER EndOfFile;
  LARGE_INTEGER AllocationSize;
  ULONG FileAttributes;
  ULONG FileNameLength;
  ULONG EaSize;
  CCHAR ShortNameLength;
  WCHAR ShortName[12];
  WCHAR FileName[1];
} FILE_BOTH_DIR_INFORMATION, *PFILE_BOTH_DIR_INFORMATION;

typedef struct _FILE_NAMES_INFORMATION {
  ULONG NextEntryOffset;
  ULONG FileIndex;
  ULONG FileNameLength;
  WCHAR FileName[1];
} FILE_NAMES_INFORMATION, *PFILE_NAMES_INFORMATION;

typedef struct _FILE_FS_ATTRIBUTE_INFORMATION {
  ULONG FileSystemAttributes;
  LONG MaximumComponentNameLength;
  ULONG FileSystemNameLength;
  WCHAR FileSystemName[1];
} FILE_FS_ATTRIBUTE_INFORMATION, *PFILE_FS_ATTRIBUTE_INFORMATION;

#define FILE_CASE_SENSITIVE_SEARCH 0x00000001
#define FILE_CASE_PRESERVED_NAMES 0x00000002
#define FILE_UNICODE_ON_DISK 0x00000004
#define FILE_PERSISTENT_ACLS 0x00000008
#define FILE_FILE_COMPRESSION 0x00000010
#define FILE_SUPPORTS_SPARSE_FILES 0x00000040
#define FILE_SUPPORTS_REPARSE_POINTS 0x00000080
#define FILE_SUPPORTS_ENCRYPTION 0x00020000

// The file-system controls (NtFsControlFile) are io_codes.h's, shared with user mode.

// ---- Objects -----------------------------------------------------------------------------------------------------
typedef struct _OBJECT_NAME_INFORMATION {
  UNICODE_STRING Name;
} OBJECT_NAME_INFORMATION, *POBJECT_NAME_INFORMATION;

NTSTATUS ObQueryNameString(PVOID object, POBJECT_NAME_INFORMATION information, ULONG length, PULONG return_length);

// ---- Stacks, file systems and opens ------------------------------------------------------------------------------
typedef void (*PDRIVER_FS_NOTIFICATION)(PDEVICE_OBJECT file_system_device, BOOLEAN file_system_active);

void IoRegisterFileSystem(PDEVICE_OBJECT device);
void IoUnregisterFileSystem(PDEVICE_OBJECT device);
NTSTATUS IoRegisterFsRegistrationChange(PDRIVER_OBJECT driver, PDRIVER_FS_NOTIFICATION routine);
void IoUnregisterFsRegistrationChange(PDRIVER_OBJECT driver, PDRIVER_FS_NOTIFICATION routine);
NTSTATUS IoEnumerateDeviceObjectList(PDRIVER_OBJECT driver, PDEVICE_OBJECT* list, ULONG list_size,
                                     PULONG actual_count);
PDEVICE_OBJECT IoGetLowerDeviceObject(PDEVICE_OBJECT device);
PDEVICE_OBJECT IoGetDeviceAttachmentBaseRef(PDEVICE_OBJECT device);
NTSTATUS IoGetDiskDeviceObject(PDEVICE_OBJECT file_system_device, PDEVICE_OBJECT* disk_device);
void IoCancelFileOpen(PDEVICE_OBJECT device, PFILE_OBJECT file);
BOOLEAN IoIsOperationSynchronous(PIRP irp);

typedef struct _SHARE_ACCESS {
  ULONG OpenCount;
  ULONG Readers;
  ULONG Writers;
  ULONG Deleters;
  ULONG SharedRead;
  ULONG SharedWrite;
  ULONG SharedDelete;
} SHARE_ACCESS, *PSHARE_ACCESS;

NTSTATUS IoCheckShareAccess(ACCESS_MASK access, ULONG share, PFILE_OBJECT file, PSHARE_ACCESS share_access,
                            BOOLEAN update);
void IoSetShareAccess(ACCESS_MASK access, ULONG share, PFILE_OBJECT file, PSHARE_ACCESS share_access);
void IoUpdateShareAccess(PFILE_OBJECT file, PSHARE_ACCESS share_access);
void IoRemoveShareAccess(PFILE_OBJECT file, PSHARE_ACCESS share_access);

// ---- FsRtl stream headers and per-stream contexts ----------------------------------------------------------------
#define FSRTL_FLAG_ADVANCED_HEADER 0x40
#define FSRTL_FLAG2_DO_MODIFIED_WRITE 0x01
#define FSRTL_FLAG2_SUPPORTS_FILTER_CONTEXTS 0x02
#define FSRTL_FLAG2_PURGE_WHEN_MAPPED 0x04

typedef enum _FAST_IO_POSSIBLE { FastIoIsNotPossible, FastIoIsPossible, FastIoIsQuestionable } FAST_IO_POSSIBLE;

typedef struct _FSRTL_COMMON_FCB_HEADER {
  CSHORT NodeTypeCode;
  CSHORT NodeByteSize;
  UCHAR Flags;
  UCHAR IsFastIoPossible;
  UCHAR Flags2;
  UCHAR Reserved;
  PERESOURCE Resource;
  PERESOURCE PagingIoResource;
  LARGE_INTEGER AllocationSize;
  LARGE_INTEGER FileSize;
  LARGE_INTEGER ValidDataLength;
} FSRTL_COMMON_FCB_HEADER, *PFSRTL_COMMON_FCB_HEADER;

typedef struct _FSRTL_ADVANCED_FCB_HEADER : FSRTL_COMMON_FCB_HEADER {
  PFAST_MUTEX FastMutex;
  LIST_ENTRY FilterContexts;
} FSRTL_ADVANCED_FCB_HEADER, *PFSRTL_ADVANCED_FCB_HEADER;

typedef void (*PFREE_FUNCTION)(PVOID buffer);

typedef struct _FSRTL_PER_STREAM_CONTEXT {
  LIST_ENTRY Links;
  PVOID OwnerId;
  PVOID InstanceId;
  PFREE_FUNCTION FreeCallback;
} FSRTL_PER_STREAM_CONTEXT, *PFSRTL_PER_STREAM_CONTEXT;

void FsRtlSetupAdvancedHeader(PFSRTL_ADVANCED_FCB_HEADER header, PFAST_MUTEX fast_mutex);
NTSTATUS FsRtlInsertPerStreamContext(PFSRTL_ADVANCED_FCB_HEADER header, PFSRTL_PER_STREAM_CONTEXT context);
PFSRTL_PER_STREAM_CONTEXT FsRtlLookupPerStreamContextInternal(PFSRTL_ADVANCED_FCB_HEADER header, PVOID owner,
                                                              PVOID instance);
PFSRTL_PER_STREAM_CONTEXT FsRtlRemovePerStreamContext(PFSRTL_ADVANCED_FCB_HEADER header, PVOID owner,
                                                      PVOID instance);
void FsRtlTeardownPerStreamContexts(PFSRTL_ADVANCED_FCB_HEADER header);
BOOLEAN FsRtlIsPagingFile(PFILE_OBJECT file);

inline void FsRtlInitPerStreamContext(PFSRTL_PER_STREAM_CONTEXT context, PVOID owner, PVOID instance,
                                      PFREE_FUNCTION free_callback) {
  context->OwnerId = owner;
  context->InstanceId = instance;
  context->FreeCallback = free_callback;
}
inline PFSRTL_ADVANCED_FCB_HEADER FsRtlGetPerStreamContextPointer(PFILE_OBJECT file) {
  return (PFSRTL_ADVANCED_FCB_HEADER)file->FsContext;
}
inline BOOLEAN FsRtlSupportsPerStreamContexts(PFILE_OBJECT file) {
  PFSRTL_ADVANCED_FCB_HEADER header = FsRtlGetPerStreamContextPointer(file);
  return header != nullptr && (header->Flags2 & FSRTL_FLAG2_SUPPORTS_FILTER_CONTEXTS) != 0;
}
// Finds nothing (NULL) without looking when the stream does not support contexts or has none.
inline PFSRTL_PER_STREAM_CONTEXT FsRtlLookupPerStreamContext(PFSRTL_ADVANCED_FCB_HEADER header, PVOID owner,
                                                             PVOID instance) {
  if ((header->Flags2 & FSRTL_FLAG2_SUPPORTS_FILTER_CONTEXTS) == 0 || IsListEmpty(&header->FilterContexts)) {
    return nullptr;
  }
  return FsRtlLookupPerStreamContextInternal(header, owner, instance);
}

// ---- File-system filter callbacks --------------------------------------------------------------------------------
#define FS_FILTER_ACQUIRE_FOR_SECTION_SYNCHRONIZATION ((UCHAR)-1)
#define FS_FILTER_RELEASE_FOR_SECTION_SYNCHRONIZATION ((UCHAR)-2)
#define FS_FILTER_ACQUIRE_FOR_MOD_WRITE ((UCHAR)-3)
#define FS_FILTER_RELEASE_FOR_MOD_WRITE ((UCHAR)-4)
#define FS_FILTER_ACQUIRE_FOR_CC_FLUSH ((UCHAR)-5)
#define FS_FILTER_RELEASE_FOR_CC_FLUSH ((UCHAR)-6)

typedef union _FS_FILTER_PARAMETERS {
  struct {
    PLARGE_INTEGER EndingOffset;
    PERESOURCE* ResourceToRelease;
  } AcquireForModifiedPageWriter;
  struct {
    PERESOURCE ResourceToRelease;
  } ReleaseForModifiedPageWriter;
  struct {
    ULONG SyncType;
    ULONG PageProtection;
  } AcquireForSectionSynchronization;
  struct {
    PVOID Argument1;
    PVOID Argument2;
    PVOID Argument3;
    PVOID Argument4;
    PVOID Argument5;
  } Others;
} FS_FILTER_PARAMETERS, *PFS_FILTER_PARAMETERS;

typedef struct _FS_FILTER_CALLBACK_DATA {
  ULONG SizeOfFsFilterCallbackData;
  UCHAR Operation;
  UCHAR Reserved;
  PDEVICE_OBJECT DeviceObject;
  PFILE_OBJECT FileObject;
  FS_FILTER_PARAMETERS Parameters;
} FS_FILTER_CALLBACK_DATA, *PFS_FILTER_CALLBACK_DATA;

typedef NTSTATUS (*PFS_FILTER_CALLBACK)(PFS_FILTER_CALLBACK_DATA data, PVOID* completion_context);
typedef void (*PFS_FILTER_COMPLETION_CALLBACK)(PFS_FILTER_CALLBACK_DATA data, NTSTATUS operation_status,
                                               PVOID completion_context);

typedef struct _FS_FILTER_CALLBACKS {
  ULONG SizeOfFsFilterCallbacks;
  ULONG Reserved;
  PFS_FILTER_CALLBACK PreAcquireForSectionSynchronization;
  PFS_FILTER_COMPLETION_CALLBACK PostAcquireForSectionSynchronization;
  PFS_FILTER_CALLBACK PreReleaseForSectionSynchronization;
  PFS_FILTER_COMPLETION_CALLBACK PostReleaseForSectionSynchronization;
  PFS_FILTER_CALLBACK PreAcquireForCcFlush;
  PFS_FILTER_COMPLETION_CALLBACK PostAcquireForCcFlush;
  PFS_FILTER_CALLBACK PreReleaseForCcFlush;
  PFS_FILTER_COMPLETION_CALLBACK PostReleaseForCcFlush;
  PFS_FILTER_CALLBACK PreAcquireForModifiedPageWriter;
  PFS_FILTER_COMPLETION_CALLBACK PostAcquireForModifiedPageWriter;
  PFS_FILTER_CALLBACK PreReleaseForModifiedPageWriter;
  PFS_FILTER_COMPLETION_CALLBACK PostReleaseForModifiedPageWriter;
} FS_FILTER_CALLBACKS, *PFS_FILTER_CALLBACKS;

NTSTATUS FsRtlRegisterFileSystemFilterCallbacks(PDRIVER_OBJECT driver, PFS_FILTER_CALLBACKS callbacks);

// ---- The cache manager -------------------------------------------------------------------------------------------
typedef struct _CC_FILE_SIZES {
  LARGE_INTEGER AllocationSize;
  LARGE_INTEGER FileSize;
  LARGE_INTEGER ValidDataLength;
} CC_FILE_SIZES, *PCC_FILE_SIZES;

typedef BOOLEAN (*PACQUIRE_FOR_LAZY_WRITE)(PVOID context, BOOLEAN wait);
typedef void (*PRELEASE_FROM_LAZY_WRITE)(PVOID context);
typedef BOOLEAN (*PACQUIRE_FOR_READ_AHEAD)(PVOID context, BOOLEAN wait);
typedef void (*PRELEASE_FROM_READ_AHEAD)(PVOID context);

typedef struct _CACHE_MANAGER_CALLBACKS {
  PACQUIRE_FOR_LAZY_WRITE AcquireForLazyWrite;
  PRELEASE_FROM_LAZY_WRITE ReleaseFromLazyWrite;
  PACQUIRE_FOR_READ_AHEAD AcquireForReadAhead;
  PRELEASE_FROM_READ_AHEAD ReleaseFromReadAhead;
} CACHE_MANAGER_CALLBACKS, *PCACHE_MANAGER_CALLBACKS;

// File systems set a stream up for caching and move data through it (the Copy calls raise on I/O errors).
void CcInitializeCacheMap(PFILE_OBJECT file, PCC_FILE_SIZES sizes, BOOLEAN pin_access,
                          PCACHE_MANAGER_CALLBACKS callbacks, PVOID lazy_write_context);
BOOLEAN CcUninitializeCacheMap(PFILE_OBJECT file, PLARGE_INTEGER truncate_size, PVOID uninitialize_event);
void CcSetFileSizes(PFILE_OBJECT file, PCC_FILE_SIZES sizes);
BOOLEAN CcCopyRead(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN wait, PVOID buffer,
                   PIO_STATUS_BLOCK io_status);
BOOLEAN CcCopyWrite(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN wait, PVOID buffer);
// Writes the dirty pages of the range (offset NULL: the whole stream) with paging writes through the top of the
// stream's device stack.
void CcFlushCache(PSECTION_OBJECT_POINTERS section, PLARGE_INTEGER offset, ULONG length,
                  PIO_STATUS_BLOCK io_status);
// Drops the pages of the range, dirty ones included; FALSE while a mapped view holds the stream.
BOOLEAN CcPurgeCacheSection(PSECTION_OBJECT_POINTERS section, PLARGE_INTEGER offset, ULONG length,
                            BOOLEAN uninitialize_cache_maps);

// ---- The Nt file calls (the Zw forms run with KernelMode as the previous mode) ------------------------------------
NTSTATUS NtCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io_status,
                      PLARGE_INTEGER allocation_size, ULONG file_attributes, ULONG share_access, ULONG disposition,
                      ULONG options, PVOID ea_buffer, ULONG ea_length);
NTSTATUS NtReadFile(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apc, PVOID apc_context, PIO_STATUS_BLOCK io_status,
                    PVOID buffer, ULONG length, PLARGE_INTEGER byte_offset, PULONG key);
NTSTATUS NtWriteFile(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apc, PVOID apc_context,
                     PIO_STATUS_BLOCK io_status, PVOID buffer, ULONG length, PLARGE_INTEGER byte_offset, PULONG key);
NTSTATUS NtQueryInformationFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                                FILE_INFORMATION_CLASS information_class);
NTSTATUS NtSetInformationFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS information_class);
NTSTATUS NtQueryVolumeInformationFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                                      FS_INFORMATION_CLASS information_class);
NTSTATUS NtQueryDirectoryFile(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apc, PVOID apc_context,
                              PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS information_class, BOOLEAN return_single_entry,
                              PUNICODE_STRING file_name, BOOLEAN restart_scan);
NTSTATUS NtFlushBuffersFile(HANDLE handle, PIO_STATUS_BLOCK io_status);
NTSTATUS NtDeviceIoControlFile(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apc, PVOID apc_context,
                               PIO_STATUS_BLOCK io_status, ULONG control_code, PVOID input, ULONG input_length,
                               PVOID output, ULONG output_length);
NTSTATUS NtFsControlFile(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apc, PVOID apc_context,
                         PIO_STATUS_BLOCK io_status, ULONG control_code, PVOID input, ULONG input_length,
                         PVOID output, ULONG output_length);
NTSTATUS NtClose(HANDLE handle);

NTSTATUS ZwQueryDirectoryFile(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apc, PVOID apc_context,
                              PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS information_class, BOOLEAN return_single_entry,
                              PUNICODE_STRING file_name, BOOLEAN restart_scan);
NTSTATUS ZwFlushBuffersFile(HANDLE handle, PIO_STATUS_BLOCK io_status);
NTSTATUS ZwDeviceIoControlFile(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apc, PVOID apc_context,
                               PIO_STATUS_BLOCK io_status, ULONG control_code, PVOID input, ULONG input_length,
                               PVOID output, ULONG output_length);
NTSTATUS ZwFsControlFile(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apc, PVOID apc_context,
                         PIO_STATUS_BLOCK io_status, ULONG control_code, PVOID input, ULONG input_length,
                         PVOID output, ULONG output_length);

}  // extern "C"
