// The RPC run-time's UUID services: new random UUIDs and their canonical text.
#pragma once

#include "windef.h"

extern "C" {

typedef GUID UUID;
typedef LONG RPC_STATUS;
typedef unsigned char* RPC_CSTR;

#define RPC_S_OK 0L
#define RPC_S_OUT_OF_MEMORY 14L
#define RPC_S_INVALID_ARG 87L
#define RPC_S_UUID_NO_ADDRESS 1739L

// A version-4 (random) UUID from the system's random source; RPC_S_UUID_NO_ADDRESS when that source fails.
RPC_STATUS UuidCreate(UUID* uuid);
// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in lower case, allocated; the caller frees it with RpcStringFreeA.
RPC_STATUS UuidToStringA(const UUID* uuid, RPC_CSTR* text);
// Frees the text and sets *text to NULL.
RPC_STATUS RpcStringFreeA(RPC_CSTR* text);

}  // extern "C"
