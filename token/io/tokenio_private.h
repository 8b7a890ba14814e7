// What the token library's files share: the device channel, the register map and the cross-process lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "windows.h"

namespace tavik::tokenio {

// Device control codes; every request carries one 20-byte buffer both ways.
inline constexpr DWORD kIoctlReadRegister = 0x220000;
inline constexpr DWORD kIoctlWriteRegister = 0x220004;
inline constexpr DWORD kIoctlReadCounter = 0x220008;
inline constexpr DWORD kIoctlWriteCounter = 0x22000C;
inline constexpr size_t kRequestSize = 20;
inline constexpr size_t kRequestDataSize = 16;

// Token registers.
inline constexpr uint16_t kRegAesInput = 0x10;
inline constexpr uint16_t kRegAesControl = 0x20;
inline constexpr uint16_t kRegSoftReset = 0x21;
inline constexpr uint16_t kRegCommand = 0x30;
inline constexpr uint16_t kRegStatus = 0x31;
inline constexpr uint16_t kRegAddress = 0x32;
inline constexpr uint16_t kRegPasswordByte = 0x34;
inline constexpr uint16_t kRegReadData = 0x3C;
inline constexpr uint16_t kRegAesOutput = 0x50;

// Commands written to the command register (low nibble; the high nibble carries a length or an index).
inline constexpr uint8_t kCmdComparePasswordByte = 0x02;
inline constexpr uint8_t kCmdMassErase = 0x03;
inline constexpr uint8_t kCmdProgram = 0x05;
inline constexpr uint8_t kCmdErasePage = 0x06;
inline constexpr uint8_t kCmdProgramPasswordBlock = 0x77;
inline constexpr uint8_t kCmdLogout = 0x08;
inline constexpr uint8_t kCmdLoadKeyByte = 0x09;
inline constexpr uint8_t kCmdReadIdentity = 0x0A;
inline constexpr uint8_t kCmdReadUserFlash = 0x0B;
inline constexpr uint8_t kCmdSelectKeySlot = 0x0C;
inline constexpr uint8_t kCmdClearPassword = 0x0E;

// Status register bits. Ready and password-accepted together mean an accepted password; memory operations need
// any one of the three bits.
inline constexpr uint8_t kStatusReady = 0x01;
inline constexpr uint8_t kStatusPasswordAccepted = 0x02;
inline constexpr uint8_t kStatusBit2 = 0x04;
inline constexpr uint8_t kStatusAccepted = kStatusReady | kStatusPasswordAccepted;
inline constexpr uint8_t kStatusMemoryAccess = kStatusReady | kStatusPasswordAccepted | kStatusBit2;

inline constexpr int kPageSize = 512;
inline constexpr int kBlockSize = 64;
inline constexpr int kChunkSize = 8;
inline constexpr int kFlashSize = 16384;
inline constexpr int kPasswordBlockSize = 64;
inline constexpr int kMaxPasswordLength = 63;
inline constexpr int kIdentitySize = 128;

// The device, open for one operation and closed again on every path.
class TokenDevice {
 public:
  // Opens the first present token of the class; ok() is false when none opens.
  explicit TokenDevice(const GUID* interface_class = nullptr);
  ~TokenDevice();
  TokenDevice(const TokenDevice&) = delete;
  TokenDevice& operator=(const TokenDevice&) = delete;

  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  // Closes now; false when the close failed.
  bool Close();
  // Hands the open handle to the caller, who closes it.
  HANDLE Release();

  bool WriteRegister(uint16_t reg, uint16_t count, const uint8_t* data);
  bool WriteRegisterByte(uint16_t reg, uint8_t value) { return WriteRegister(reg, 1, &value); }
  bool ReadRegister(uint16_t reg, uint16_t count, uint8_t* out);
  bool ReadStatus(uint8_t* status) { return ReadRegister(kRegStatus, 1, status); }
  bool Command(uint8_t command) { return WriteRegisterByte(kRegCommand, command); }
  void Reset() { WriteRegisterByte(kRegSoftReset, 1); }
  bool WaitReady();
  // Memory operations need the token to report one of status bits 0-2.
  bool MemoryAccessAllowed();

  // One flash transfer of 1..8 bytes at (block, offset).
  bool ProgramChunk(uint8_t block, uint8_t offset, const uint8_t* data, unsigned n);
  bool ReadChunk(uint8_t block, uint8_t offset, uint8_t command, uint8_t* out, unsigned n);
  // Linear flash transfers in chunks that never cross a 64-byte block; they stop at the first failed chunk.
  bool ProgramLinear(unsigned address, const uint8_t* data, unsigned length);
  bool ReadLinear(unsigned address, uint8_t* out, unsigned length);

  bool ReadFailCounter(uint16_t* value);
  bool WriteFailCounter(uint16_t value);

 private:
  bool Ioctl(DWORD code, uint8_t* buffer);
  HANDLE handle_;
};

// "KeyMutex", held for a scope. Re-entrant for the owning thread, so operations may nest.
class KeyMutexLock {
 public:
  KeyMutexLock();
  ~KeyMutexLock();
  KeyMutexLock(const KeyMutexLock&) = delete;
  KeyMutexLock& operator=(const KeyMutexLock&) = delete;
  bool held() const { return handle_ != nullptr; }

 private:
  HANDLE handle_ = nullptr;
};

// The password block the token compares against: 0x00, the characters, 0xFF fill. False for a missing password or
// one longer than the block holds.
bool BuildPasswordBlock(const char* password, uint8_t block[kPasswordBlockSize]);

// Identity-area transfers from 1-based position `first` to `last`, in the token's fixed chunk sequence.
bool ReadIdentity(int first, int last, uint8_t* out);
bool WriteIdentity(int first, int last, const uint8_t* data);

// The token's AES step: the key formed from `slot` and the 16 selector bytes encrypts `block` into `answer`.
bool TokenAes(TokenDevice& device, int slot, const uint8_t selector[16], const uint8_t block[16],
              uint8_t answer[16]);
// Host-side single-block AES-128, without a tail rule or key cache.
void AesOneBlock(uint8_t data[16], const uint8_t key[16], int encrypt);

}  // namespace tavik::tokenio
