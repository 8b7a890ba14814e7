// The filter driver's control device as its callers see it: the device and link names, the 18 control codes and
// the layouts of the records they carry. Shared by the driver and the library that loads and drives it; plain
// integers only, so both the kernel-side and the user-side headers may come before it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavik::morvel {

inline constexpr char16_t kControlDeviceName[] = u"\\FileSystem\\Filters\\Morvel";
inline constexpr char16_t kControlDeviceLink[] = u"\\DosDevices\\Morvel";
// The same device as a program opens it.
inline constexpr char16_t kControlDeviceWin32Path[] = u"\\\\.\\Morvel";
inline constexpr char16_t kServiceName[] = u"Morvel";

// Every code is CTL_CODE(FILE_DEVICE_DISK_FILE_SYSTEM, function, METHOD_BUFFERED, access): 0x84000 + 4 * function
// with read access, 0x88000 + 4 * function with write access.
inline constexpr uint32_t kStorePath = 0x88000;        // 0: keeps up to three path texts
inline constexpr uint32_t kMorvelStart = 0x84004;      // 1: success when a key is held
inline constexpr uint32_t kNoOperation2 = 0x84008;     // 2
inline constexpr uint32_t kMorvelSetFKn = 0x8800C;     // 3: KeyUnwrapRequest -> 1 byte
inline constexpr uint32_t kMorvelGetSn = 0x84010;      // 4: SN (16) -> SN' (16)
inline constexpr uint32_t kMorvelGetFKn = 0x84014;     // 5: kn' (16) -> EFKN' (32)
inline constexpr uint32_t kGetStats = 0x84018;         // 6: -> StatsReply
inline constexpr uint32_t kEncryptData = 0x8401C;      // 7: DataRequest -> length bytes
inline constexpr uint32_t kDecryptData = 0x84020;      // 8: DataRequest -> length bytes
inline constexpr uint32_t kMorvelCheckFKn = 0x84024;   // 9: KeyUnwrapRequest -> 1 byte
inline constexpr uint32_t kNoOperation10 = 0x88028;    // 10
inline constexpr uint32_t kSetExclusion = 0x8802C;     // 11: RuleEditRequest
inline constexpr uint32_t kRemoveExclusion = 0x88030;  // 12: RuleEditRequest
inline constexpr uint32_t kSetInclusion = 0x88034;     // 13: RuleEditRequest
inline constexpr uint32_t kRemoveInclusion = 0x88038;  // 14: RuleEditRequest
inline constexpr uint32_t kNoOperation15 = 0x8803C;    // 15
inline constexpr uint32_t kNoOperation16 = 0x88040;    // 16
inline constexpr uint32_t kChange = 0x88044;           // 17: RuleEditRequest, flips the rules' kind

// Records, all integers little-endian, as byte offsets.
// KeyUnwrapRequest: kn (16) at 0, efk (32) at 16, flag (1) at 48.
inline constexpr size_t kKeyUnwrapKnOffset = 0;
inline constexpr size_t kKeyUnwrapEfkOffset = 16;
inline constexpr size_t kKeyUnwrapFlagOffset = 48;
inline constexpr size_t kKeyUnwrapRequestSize = 49;
// StatsReply: failedUnwraps (u32) at 0, flaggedAttempts (u32) at 4, key held (1 or 0) at 8.
inline constexpr size_t kStatsFailedUnwrapsOffset = 0;
inline constexpr size_t kStatsFlaggedAttemptsOffset = 4;
inline constexpr size_t kStatsKeyHeldOffset = 8;
inline constexpr size_t kStatsReplySize = 12;
// DataRequest: data address (u32, in the caller's address space) at 0, length (u32) at 4, key material (32) at 8,
// mode (u32) at 40. Mode bits, tested in this order: 4 the XCFK built from key material 0..15, 1 the expanded
// kn of key material 0..15, 2 the key material as it is; none of them: the file-data cipher with the held key.
inline constexpr size_t kDataAddressOffset = 0;
inline constexpr size_t kDataLengthOffset = 4;
inline constexpr size_t kDataKeyOffset = 8;
inline constexpr size_t kDataModeOffset = 40;
inline constexpr size_t kDataRequestSize = 44;
inline constexpr uint32_t kDataModeXcfk = 4;
inline constexpr uint32_t kDataModeExpandedKn = 1;
inline constexpr uint32_t kDataModeRawKey = 2;
// RuleEditRequest: firstLength (s32, characters) at 0, secondLength (s32) at 4, the first path (firstLength
// UTF-16 characters and a NUL) at 8, the second path at 10 + 2 * firstLength. A length of 0 or less leaves that
// path out (-1: no characters and no NUL).
inline constexpr size_t kRuleEditFirstLengthOffset = 0;
inline constexpr size_t kRuleEditSecondLengthOffset = 4;
inline constexpr size_t kRuleEditPathsOffset = 8;
inline constexpr size_t kRuleEditMinimumSize = 12;

inline constexpr size_t kFileKeySize = 32;  // the held key: the XCFK
inline constexpr size_t kKnSize = 16;
inline constexpr size_t kSnSize = 16;

}  // namespace tavik::morvel
