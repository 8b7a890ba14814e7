// interface: the driver-loading library programs link to load the file-encryption driver and hand it key
// operations. Plain C names, the caller cleans the stack; every BOOL is read by its low byte (non-zero: success).
#pragma once

#include "windows.h"

extern "C" {

// TRUE when the driver runs after the call: started now, or running already.
BOOL MorvelLoadDriver(void);
// `which` 0: why the last MorvelLoadDriver of this process failed, as a Win32 error (0 after a success). 1 counts
// as success for callers; no failure ever gives it.
int MorvelGetErrorCode(int which);
// TRUE when the driver answered; *key_held is then 1 when it holds a file key, else 0.
BOOL IsCFKSet(BYTE* key_held);
// kn (16 bytes) and EFKN (32), flag 0: unwrap the EFKN under the expanded kn. kn NULL, the XCFK (32), flag 1: take
// it as the key. TRUE when the driver holds a file key afterwards.
BOOL MorvelSetCFK(const BYTE* kn, const BYTE* efkn, BYTE flag);
// TRUE when kn (16) opens efkn (32): the unwrapped key carries the marker.
BOOL MorvelCheckCFK(const BYTE* kn, const BYTE* efkn);
// The next SN (16 bytes) from SN (16): TRUE when made.
BOOL MorvelGetSn(const BYTE* sn, BYTE* next_sn);
// The held key wrapped under KN' (16) into EFKN' (32): TRUE when made.
BOOL MorvelGetFKn(const BYTE* next_kn, BYTE* next_efkn);
// Tells the driver the key hand-over is over: TRUE when it holds a key.
BOOL MorvelStart(void);
// Present for the programs that import it; nothing calls it. Fails with ERROR_CALL_NOT_IMPLEMENTED.
BOOL MorvelShutdown(void);
// Stops the driver service and deletes it: non-zero when the service is gone (also when it was gone already).
// `manager` is opened with SC_MANAGER_ALL_ACCESS. The driver's file stays: the installer's uninstall removes it.
int removeKernel(SC_HANDLE manager, LPCSTR service_name);

}  // extern "C"
