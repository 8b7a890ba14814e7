// The key records every component builds and checks the same way: the XCFK (CFK interleaved with the marker), the
// expanded KN, the EFKN (the XCFK wrapped under KN) and the fixed texts the token derivations use. No allocation,
// no exceptions: the driver, the logon component and the setup programs link this.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavik::keys {

inline constexpr size_t kKeySize = 16;  // S1, SN, CFK, KN
inline constexpr size_t kXcfkSize = 32;
inline constexpr size_t kExpandedKnSize = 32;
inline constexpr size_t kEfknSize = 32;
inline constexpr size_t kMarkerLength = 16;

// The marker carried at the XCFK's even bytes. Its presence tells a correctly unwrapped XCFK from garbage.
inline constexpr char kXcfkMarker[kMarkerLength] = {'T', 'a', 'v', 'i', 'k', 'X', 'c', 'f',
                                                    'k', 'M', 'a', 'r', 'k', 'e', 'r', '1'};

// The fixed block the token answers every key derivation over (32 upper-case hex digits, NUL-terminated).
inline constexpr char kPuzzleBlock[] = "5C19D0E7A3B48F2269E10DB7C4F3A815";

// xcfk[2i] = marker character i, xcfk[2i+1] = cfk[i].
void ExpandCfk(const uint8_t cfk[kKeySize], uint8_t xcfk[kXcfkSize]);

// out[0..15] = kn; out[16..23] and out[24..31] are the 8x8 bit transposes of kn's two halves: bit (7 - k) of
// out[16 + 8h + j] is bit j of kn[8h + k].
void ExpandKn(const uint8_t kn[kKeySize], uint8_t out[kExpandedKnSize]);

// True when the 16 even bytes hold the marker; the odd bytes are not looked at.
bool IsValidXcfk(const uint8_t xcfk[kXcfkSize]);

// EFKN = each 16-byte half of the XCFK encrypted (AES-128) under KN, which is what the file cipher gives over 32
// bytes keyed by the expanded KN. In and out may be the same buffer.
void WrapXcfk(const uint8_t kn[kKeySize], const uint8_t xcfk[kXcfkSize], uint8_t efkn[kEfknSize]);
void UnwrapEfkn(const uint8_t kn[kKeySize], const uint8_t efkn[kEfknSize], uint8_t xcfk[kXcfkSize]);

// True when KN unwraps the EFKN into an XCFK that carries the marker.
bool KnOpensEfkn(const uint8_t kn[kKeySize], const uint8_t efkn[kEfknSize]);

}  // namespace tavik::keys
