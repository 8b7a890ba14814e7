// Automation strings: UTF-16 text (or, from the byte calls, any bytes) with its byte length stored just before it and
// a NUL unit after it, so a BSTR can be passed wherever a NUL-terminated string is read and still carry its length.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "oleauto.h"

namespace xp::oleaut32 {
namespace {

using Prefix = uint32_t;

// A string of `bytes` bytes, uninitialised, followed by a NUL unit (two zero bytes, whatever the parity of bytes).
BSTR AllocateBytes(size_t bytes) {
  if (bytes > std::numeric_limits<Prefix>::max() - sizeof(OLECHAR)) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(Prefix) + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const Prefix prefix = static_cast<Prefix>(bytes);
  std::memcpy(block, &prefix, sizeof(prefix));
  std::memset(block + sizeof(Prefix) + bytes, 0, sizeof(OLECHAR));
  return reinterpret_cast<BSTR>(block + sizeof(Prefix));
}

BSTR Allocate(UINT length) {
  if (length > (std::numeric_limits<Prefix>::max() - sizeof(OLECHAR)) / sizeof(OLECHAR)) return nullptr;
  return AllocateBytes(size_t{length} * sizeof(OLECHAR));
}

unsigned char* BlockOf(BSTR text) { return reinterpret_cast<unsigned char*>(text) - sizeof(Prefix); }

}  // namespace
}  // namespace xp::oleaut32

// Exported by oleaut32.
extern "C" BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  BSTR copy = xp::oleaut32::Allocate(length);
  if (copy != nullptr && text != nullptr) std::memcpy(copy, text, length * sizeof(OLECHAR));
  return copy;
}

// Exported by oleaut32.
extern "C" BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  UINT length = 0;
  while (text[length] != 0) ++length;
  return SysAllocStringLen(text, length);
}

// Exported by oleaut32.
extern "C" void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(xp::oleaut32::BlockOf(text));
}

// Exported by oleaut32.
extern "C" UINT SysStringByteLen(BSTR text) {
  if (text == nullptr) return 0;
  xp::oleaut32::Prefix bytes;
  std::memcpy(&bytes, xp::oleaut32::BlockOf(text), sizeof(bytes));
  return bytes;
}

// Exported by oleaut32.
extern "C" UINT SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(OLECHAR); }

// Exported by oleaut32. The bytes are copied as they are: no code-page conversion.
extern "C" BSTR SysAllocStringByteLen(LPCSTR bytes, UINT length) {
  BSTR copy = xp::oleaut32::AllocateBytes(length);
  if (copy != nullptr && bytes != nullptr) std::memcpy(copy, bytes, length);
  return copy;
}
