// Device control code construction, as the DDK and SDK define it.
#pragma once

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
