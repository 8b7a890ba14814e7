// The string functions for the form-based programs: the data or cipher bytes come in an automation string, go
// through a zero-filled work buffer and come back in a new string of exactly the result's length. A length outside
// the limits or a refused key gives no string: the programs read that as an empty string, and nothing unset leaves
// the library.
#include "cipherkit.h"
#include "cipherkit_private.h"

namespace tavik::cipherkit {
namespace {

constexpr size_t kBlock = cipher::kAesBlockSize;

const uint8_t* BytesOf(BSTR text) { return reinterpret_cast<const uint8_t*>(text); }

BSTR ByteString(const void* bytes, size_t length) {
  return SysAllocStringByteLen(static_cast<LPCSTR>(bytes), static_cast<UINT>(length));
}

bool IsCipherLength(size_t length) { return length > kBlock && length <= kMaxStringCipher; }

// The n + 16 cipher bytes of `data` into work; enckey's code.
int EncryptString(BSTR data, LPCSTR key_hex, uint8_t* work, int* len) {
  *len = static_cast<int>(SysStringByteLen(data));
  return enckey(BytesOf(data), work, key_hex, len);
}

}  // namespace

bool ReplaceString(BSTR* target, const void* bytes, size_t length) {
  BSTR copy = ByteString(bytes, length);
  if (copy == nullptr) return false;
  SysFreeString(*target);
  *target = copy;
  return true;
}

}  // namespace tavik::cipherkit

using tavik::cipherkit::ByteString;
using tavik::cipherkit::BytesOf;
using tavik::cipherkit::IsCipherLength;
using tavik::cipherkit::kDone;
using tavik::cipherkit::kMaxStringData;
using tavik::cipherkit::kWorkBufferSize;

// Exported by cipherkit.
extern "C" BSTR WINAPI vbenckeyhex(BSTR data, LPCSTR keyHex) {
  if (SysStringByteLen(data) > kMaxStringData) return nullptr;
  char work[kWorkBufferSize] = {};
  int len = static_cast<int>(SysStringByteLen(data));
  if (tavik::cipherkit::EncryptToHex(BytesOf(data), work, keyHex, &len) != kDone) return nullptr;
  return ByteString(work, 2 * static_cast<size_t>(len));
}

// Exported by cipherkit.
extern "C" BSTR WINAPI vbdeckeyhex(BSTR hex, LPCSTR keyHex) {
  const size_t m = SysStringByteLen(hex) / 2;
  if (!IsCipherLength(m)) return nullptr;
  uint8_t work[kWorkBufferSize] = {};
  const int code = tavik::cipherkit::DecryptFromHex(reinterpret_cast<const char*>(hex), work, keyHex,
                                                    static_cast<int>(m));
  if (code != kDone) return nullptr;
  return ByteString(work, m - tavik::cipher::kAesBlockSize);
}

// Exported by cipherkit.
extern "C" BSTR WINAPI vbenckey(BSTR data, LPCSTR keyHex) {
  if (SysStringByteLen(data) > kMaxStringData) return nullptr;
  uint8_t work[kWorkBufferSize] = {};
  int len = 0;
  if (tavik::cipherkit::EncryptString(data, keyHex, work, &len) != kDone) return nullptr;
  return ByteString(work, static_cast<size_t>(len));
}

// Exported by cipherkit.
extern "C" BSTR WINAPI vbdeckey(BSTR cipher, LPCSTR keyHex) {
  const size_t n = SysStringByteLen(cipher);
  if (!IsCipherLength(n)) return nullptr;
  uint8_t work[kWorkBufferSize] = {};
  if (deckey(BytesOf(cipher), work, keyHex, static_cast<int>(n)) != kDone) return nullptr;
  return ByteString(work, n - tavik::cipher::kAesBlockSize);
}

// Exported by cipherkit.
extern "C" int WINAPI vbaenckey(BSTR data, LPCSTR keyHex, BSTR* result) {
  if (SysStringByteLen(data) > kMaxStringData) return -1;
  uint8_t work[kWorkBufferSize] = {};
  int len = 0;
  const int code = tavik::cipherkit::EncryptString(data, keyHex, work, &len);
  if (code != kDone) return code;
  return tavik::cipherkit::ReplaceString(result, work, static_cast<size_t>(len)) ? kDone : -1;
}

// Exported by cipherkit.
extern "C" int WINAPI vbadeckey(BSTR cipher, LPCSTR keyHex, BSTR* result) {
  const size_t n = SysStringByteLen(cipher);
  if (!IsCipherLength(n)) return 1;
  uint8_t work[kWorkBufferSize] = {};
  const int code = deckey(BytesOf(cipher), work, keyHex, static_cast<int>(n));
  if (code != kDone) return code;
  return tavik::cipherkit::ReplaceString(result, work, n - tavik::cipher::kAesBlockSize) ? kDone : 1;
}
