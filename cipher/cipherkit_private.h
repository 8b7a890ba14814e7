// Declarations shared inside the key cipher library, grouped by the file that defines them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes.h"
#include "oleauto.h"

namespace tavik::cipherkit {

// The results of enckey and deckey (cipherkit.h says what each means).
inline constexpr int kDone = 0;
inline constexpr int kRefusedLength = -1;
inline constexpr int kKeyNotHex = -2;
inline constexpr int kKeyTooLong = -3;
inline constexpr int kKeyWrongLength = -4;
inline constexpr int kNoIv = -5;

// The string functions' limits and the size of their zero-filled work buffers.
inline constexpr size_t kMaxStringData = 127;
inline constexpr size_t kMaxStringCipher = kMaxStringData + cipher::kAesBlockSize;
inline constexpr size_t kWorkBufferSize = 320;

// aes_context.cc: one AES key schedule for one direction, built anew on every call. Callers start from a zeroed
// context.
struct AesContext {
  cipher::AesKey schedule;
  uint32_t rounds;  // 10, 12 or 14; 0 after a refused set-up
  uint32_t flags;   // kEncryptSchedule or kDecryptSchedule once set up
};
inline constexpr uint32_t kEncryptSchedule = 17;  // bit 0: encryption may run
inline constexpr uint32_t kDecryptSchedule = 18;  // bit 1: decryption may run
// 1 for a 16-, 24- or 32-byte key; any other length gives 0 and rounds 0.
int AesSetEncryptKey(const uint8_t* key, size_t key_length, AesContext* context);
int AesSetDecryptKey(const uint8_t* key, size_t key_length, AesContext* context);
// 1; 0 with nothing written when the context was not set up for that direction. in and out may be the same block.
int AesEncryptBlock(const uint8_t in[cipher::kAesBlockSize], uint8_t out[cipher::kAesBlockSize],
                    const AesContext& context);
int AesDecryptBlock(const uint8_t in[cipher::kAesBlockSize], uint8_t out[cipher::kAesBlockSize],
                    const AesContext& context);

// iv_source.cc: where each encryption takes its IV, the system's random source unless a test put another in.
// Process-wide and unguarded, like the library's only users, who call it from one thread.
using IvSource = bool (*)(uint8_t iv[cipher::kAesBlockSize]);
// False when no IV could be drawn.
bool DrawIv(uint8_t iv[cipher::kAesBlockSize]);
// Puts `source` in place (nullptr: the system's random source again) and returns the one it replaced.
IvSource ReplaceIvSource(IvSource source);

// chained_mode.cc: the library's format. Encryption writes n + 16 bytes (E(IV), then the chain from the plain IV,
// a partial last block stolen into the one before it) and prints "enc len: <n + 16>\n"; kDone or kNoIv, with
// nothing written. Decryption takes len >= 16 cipher bytes and writes len - 16 plain bytes.
int CbcEncryptBuffer(const uint8_t* data, uint8_t* out, const AesContext& context, size_t* len);
void CbcDecryptBuffer(const uint8_t* cipher, uint8_t* out, const AesContext& context, size_t len);

// key_text.cc: the key bytes of a key text, or the refusal code of enckey (printing the -2 line).
struct KeyBytes {
  uint8_t bytes[32];
  size_t size;  // 16, 24 or 32
};
int ReadKeyText(const char* key_hex, KeyBytes* key);

// hex_text.cc: the string functions' hex workers, with enckey's codes. EncryptToHex writes 2(n + 16) upper-case
// digits and no NUL (n up to kMaxStringData); DecryptFromHex reads 2m characters (m from 16 to kMaxStringCipher).
int EncryptToHex(const uint8_t* data, char* out, const char* key_hex, int* len);
int DecryptFromHex(const char* hex, uint8_t* out, const char* key_hex, int m);

// string_exports.cc: the caller's string gives way to a new one of exactly `length` bytes; false, leaving it as it
// was, when memory runs out.
bool ReplaceString(BSTR* target, const void* bytes, size_t length);

}  // namespace tavik::cipherkit
