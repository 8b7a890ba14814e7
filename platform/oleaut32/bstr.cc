// Automation strings: UTF-16 text with its byte length stored just before it and a NUL unit after it, so a BSTR
// can be passed wherever a NUL-terminated string is read and still carry its own length.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "oleauto.h"

namespace xp::oleaut32 {
namespace {

using Prefix = uint32_t;

BSTR Allocate(UINT length) {
  constexpr size_t kMaxUnits = (std::numeric_limits<Prefix>::max() - sizeof(OLECHAR)) / sizeof(OLECHAR);
  if (length > kMaxUnits) return nullptr;
  const Prefix bytes = static_cast<Prefix>(length * sizeof(OLECHAR));
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(Prefix) + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &bytes, sizeof(bytes));
  BSTR text = reinterpret_cast<BSTR>(block + sizeof(Prefix));
  text[length] = 0;
  return text;
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
extern "C" UINT SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  xp::oleaut32::Prefix bytes;
  std::memcpy(&bytes, xp::oleaut32::BlockOf(text), sizeof(bytes));
  return bytes / sizeof(OLECHAR);
}
