// Kernel interfaces beyond wdm.h that drivers of the model use: the fast-I/O table and volume information.
#pragma once

#include "wdm.h"

extern "C" {

typedef BOOLEAN (*PFAST_IO_CHECK_IF_POSSIBLE)(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length,
                                              BOOLEAN wait, ULONG lock_key, BOOLEAN check_for_read,
                                              PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_READ)(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN wait,
                                 ULONG lock_key, PVOID buffer, PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_WRITE)(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN wait,
                                  ULONG lock_key, PVOID buffer, PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_QUERY_BASIC_INFO)(PFILE_OBJECT file, BOOLEAN wait, PFILE_BASIC_INFORMATION buffer,
                                             PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_QUERY_STANDARD_INFO)(PFILE_OBJECT file, BOOLEAN wait, PFILE_STANDARD_INFORMATION buffer,
                                                PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_LOCK)(PFILE_OBJECT file, PLARGE_INTEGER offset, PLARGE_INTEGER length,
                                 PEPROCESS process, ULONG key, BOOLEAN fail_immediately, BOOLEAN exclusive,
                                 PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_UNLOCK_SINGLE)(PFILE_OBJECT file, PLARGE_INTEGER offset, PLARGE_INTEGER length,
                                          PEPROCESS process, ULONG key, PIO_STATUS_BLOCK io_status,
                                          PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_UNLOCK_ALL)(PFILE_OBJECT file, PEPROCESS process, PIO_STATUS_BLOCK io_status,
                                       PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_UNLOCK_ALL_BY_KEY)(PFILE_OBJECT file, PVOID process, ULONG key,
                                              PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_DEVICE_CONTROL)(PFILE_OBJECT file, BOOLEAN wait, PVOID input, ULONG input_length,
                                           PVOID output, ULONG output_length, ULONG control_code,
                                           PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device);
typedef void (*PFAST_IO_ACQUIRE_FILE)(PFILE_OBJECT file);
typedef void (*PFAST_IO_RELEASE_FILE)(PFILE_OBJECT file);
typedef void (*PFAST_IO_DETACH_DEVICE)(PDEVICE_OBJECT source, PDEVICE_OBJECT target);
typedef BOOLEAN (*PFAST_IO_QUERY_NETWORK_OPEN_INFO)(PFILE_OBJECT file, BOOLEAN wait,
                                                    PFILE_NETWORK_OPEN_INFORMATION buffer,
                                                    PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device);
typedef NTSTATUS (*PFAST_IO_ACQUIRE_FOR_MOD_WRITE)(PFILE_OBJECT file, PLARGE_INTEGER ending_offset,
                                                   PERESOURCE* resource_to_release, PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_MDL_READ)(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, ULONG lock_key,
                                     PMDL* mdl_chain, PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_MDL_READ_COMPLETE)(PFILE_OBJECT file, PMDL mdl_chain, PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_PREPARE_MDL_WRITE)(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length,
                                              ULONG lock_key, PMDL* mdl_chain, PIO_STATUS_BLOCK io_status,
                                              PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_MDL_WRITE_COMPLETE)(PFILE_OBJECT file, PLARGE_INTEGER offset, PMDL mdl_chain,
                                               PDEVICE_OBJECT device);
typedef struct _COMPRESSED_DATA_INFO* PCOMPRESSED_DATA_INFO;
typedef BOOLEAN (*PFAST_IO_READ_WRITE_COMPRESSED)(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length,
                                                  ULONG lock_key, PVOID buffer, PMDL* mdl_chain,
                                                  PIO_STATUS_BLOCK io_status, PCOMPRESSED_DATA_INFO info,
                                                  ULONG info_length, PDEVICE_OBJECT device);
typedef PFAST_IO_READ_WRITE_COMPRESSED PFAST_IO_READ_COMPRESSED;
typedef PFAST_IO_READ_WRITE_COMPRESSED PFAST_IO_WRITE_COMPRESSED;
typedef BOOLEAN (*PFAST_IO_MDL_READ_COMPLETE_COMPRESSED)(PFILE_OBJECT file, PMDL mdl_chain, PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_MDL_WRITE_COMPLETE_COMPRESSED)(PFILE_OBJECT file, PLARGE_INTEGER offset,
                                                         PMDL mdl_chain, PDEVICE_OBJECT device);
typedef BOOLEAN (*PFAST_IO_QUERY_OPEN)(PIRP irp, PFILE_NETWORK_OPEN_INFORMATION information,
                                       PDEVICE_OBJECT device);
typedef NTSTATUS (*PFAST_IO_RELEASE_FOR_MOD_WRITE)(PFILE_OBJECT file, PERESOURCE resource, PDEVICE_OBJECT device);
typedef NTSTATUS (*PFAST_IO_ACQUIRE_FOR_CCFLUSH)(PFILE_OBJECT file, PDEVICE_OBJECT device);
typedef NTSTATUS (*PFAST_IO_RELEASE_FOR_CCFLUSH)(PFILE_OBJECT file, PDEVICE_OBJECT device);

// A driver's fast-I/O entry points, in XP's slot order; a caller uses a slot only when SizeOfFastIoDispatch
// covers it and it is filled.
struct _FAST_IO_DISPATCH {
  ULONG SizeOfFastIoDispatch;
  PFAST_IO_CHECK_IF_POSSIBLE FastIoCheckIfPossible;
  PFAST_IO_READ FastIoRead;
  PFAST_IO_WRITE FastIoWrite;
  PFAST_IO_QUERY_BASIC_INFO FastIoQueryBasicInfo;
  PFAST_IO_QUERY_STANDARD_INFO FastIoQueryStandardInfo;
  PFAST_IO_LOCK FastIoLock;
  PFAST_IO_UNLOCK_SINGLE FastIoUnlockSingle;
  PFAST_IO_UNLOCK_ALL FastIoUnlockAll;
  PFAST_IO_UNLOCK_ALL_BY_KEY FastIoUnlockAllByKey;
  PFAST_IO_DEVICE_CONTROL FastIoDeviceControl;
  PFAST_IO_ACQUIRE_FILE AcquireFileForNtCreateSection;
  PFAST_IO_RELEASE_FILE ReleaseFileForNtCreateSection;
  PFAST_IO_DETACH_DEVICE FastIoDetachDevice;
  PFAST_IO_QUERY_NETWORK_OPEN_INFO FastIoQueryNetworkOpenInfo;
  PFAST_IO_ACQUIRE_FOR_MOD_WRITE AcquireForModWrite;
  PFAST_IO_MDL_READ MdlRead;
  PFAST_IO_MDL_READ_COMPLETE MdlReadComplete;
  PFAST_IO_PREPARE_MDL_WRITE PrepareMdlWrite;
  PFAST_IO_MDL_WRITE_COMPLETE MdlWriteComplete;
  PFAST_IO_READ_COMPRESSED FastIoReadCompressed;
  PFAST_IO_WRITE_COMPRESSED FastIoWriteCompressed;
  PFAST_IO_MDL_READ_COMPLETE_COMPRESSED MdlReadCompleteCompressed;
  PFAST_IO_MDL_WRITE_COMPLETE_COMPRESSED MdlWriteCompleteCompressed;
  PFAST_IO_QUERY_OPEN FastIoQueryOpen;
  PFAST_IO_RELEASE_FOR_MOD_WRITE ReleaseForModWrite;
  PFAST_IO_ACQUIRE_FOR_CCFLUSH AcquireForCcFlush;
  PFAST_IO_RELEASE_FOR_CCFLUSH ReleaseForCcFlush;
};

typedef struct _FILE_FS_VOLUME_INFORMATION {
  LARGE_INTEGER VolumeCreationTime;
  ULONG VolumeSerialNumber;
  ULONG VolumeLabelLength;
  BOOLEAN SupportsObjects;
  WCHAR VolumeLabel[1];
} FILE_FS_VOLUME_INFORMATION, *PFILE_FS_VOLUME_INFORMATION;

typedef struct _FILE_FS_SIZE_INFORMATION {
  LARGE_INTEGER TotalAllocationUnits;
  LARGE_INTEGER AvailableAllocationUnits;
  ULONG SectorsPerAllocationUnit;
  ULONG BytesPerSector;
} FILE_FS_SIZE_INFORMATION, *PFILE_FS_SIZE_INFORMATION;

typedef struct _FILE_FS_FULL_SIZE_INFORMATION {
  LARGE_INTEGER TotalAllocationUnits;
  LARGE_INTEGER CallerAvailableAllocationUnits;
  LARGE_INTEGER ActualAvailableAllocationUnits;
  ULONG SectorsPerAllocationUnit;
  ULONG BytesPerSector;
} FILE_FS_FULL_SIZE_INFORMATION, *PFILE_FS_FULL_SIZE_INFORMATION;

NTSTATUS ZwQueryVolumeInformationFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                                      FS_INFORMATION_CLASS information_class);

}  // extern "C"
