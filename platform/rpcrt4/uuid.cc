// UUIDs for the system's one-time credentials: random (version 4) from the kernel's random source, and their
// canonical lower-case text.
#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "rpc.h"

namespace xp::rpcrt4 {
namespace {

bool FillRandom(void* buffer, size_t size) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    const ssize_t got = getrandom(bytes, size, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace
}  // namespace xp::rpcrt4

// Exported by rpcrt4.
extern "C" RPC_STATUS UuidCreate(UUID* uuid) {
  if (uuid == nullptr) return RPC_S_INVALID_ARG;
  if (!xp::rpcrt4::FillRandom(uuid, sizeof(*uuid))) return RPC_S_UUID_NO_ADDRESS;
  uuid->Data3 = static_cast<uint16_t>((uuid->Data3 & 0x0FFF) | 0x4000);  // version 4: random
  uuid->Data4[0] = static_cast<uint8_t>((uuid->Data4[0] & 0x3F) | 0x80);  // the standard variant
  return RPC_S_OK;
}

// Exported by rpcrt4.
extern "C" RPC_STATUS UuidToStringA(const UUID* uuid, RPC_CSTR* text) {
  if (uuid == nullptr || text == nullptr) return RPC_S_INVALID_ARG;
  constexpr size_t kTextSize = 37;
  auto* out = static_cast<char*>(std::malloc(kTextSize));
  if (out == nullptr) return RPC_S_OUT_OF_MEMORY;
  const uint8_t* d = uuid->Data4;
  std::snprintf(out, kTextSize, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", uuid->Data1, uuid->Data2,
                uuid->Data3, d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]);
  *text = reinterpret_cast<RPC_CSTR>(out);
  return RPC_S_OK;
}

// Exported by rpcrt4.
extern "C" RPC_STATUS RpcStringFreeA(RPC_CSTR* text) {
  if (text == nullptr) return RPC_S_INVALID_ARG;
  std::free(*text);
  *text = nullptr;
  return RPC_S_OK;
}
