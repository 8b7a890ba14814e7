// setupcore's file-cipher exports: in-place encryption and decryption of file data into the encrypted file
// format under the first 16 bytes of `key`. One call treats its buffer as one stream (blocks, then a tail), so a
// file goes through in pieces whose lengths are multiples of 16, the last piece excepted.
#pragma once

extern "C" {

[[gnu::visibility("default")]] void _enc(unsigned char* data, unsigned int length, unsigned char* key,
                                         unsigned int keyLength);
[[gnu::visibility("default")]] void _dec(unsigned char* data, unsigned int length, unsigned char* key,
                                         unsigned int keyLength);
[[gnu::visibility("default")]] void freeRijndaleTempKey(void);
[[gnu::visibility("default")]] void gentables(void);

}  // extern "C"
