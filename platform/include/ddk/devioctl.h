// Device types and control-code construction, as kernel code sees them (winioctl.h is the user-mode twin).
#pragma once

#ifndef CTL_CODE
#define CTL_CODE(device_type, function, method, access) \
  (((device_type) << 16) | ((access) << 14) | ((function) << 2) | (method))
#define METHOD_BUFFERED 0
#define METHOD_IN_DIRECT 1
#define METHOD_OUT_DIRECT 2
#define METHOD_NEITHER 3
#define FILE_ANY_ACCESS 0
#define FILE_READ_ACCESS 1
#define FILE_WRITE_ACCESS 2
#define FILE_DEVICE_UNKNOWN 0x00000022
#endif

#define FILE_DEVICE_CD_ROM 0x00000002
#define FILE_DEVICE_CD_ROM_FILE_SYSTEM 0x00000003
#define FILE_DEVICE_DISK 0x00000007
#define FILE_DEVICE_DISK_FILE_SYSTEM 0x00000008
#define FILE_DEVICE_FILE_SYSTEM 0x00000009
#define FILE_DEVICE_NETWORK_FILE_SYSTEM 0x00000014
#define FILE_DEVICE_VIRTUAL_DISK 0x00000024

#define METHOD_FROM_CTL_CODE(code) ((ULONG)((code) & 3))
#define DEVICE_TYPE_FROM_CTL_CODE(code) (((ULONG)(code) & 0xffff0000) >> 16)
