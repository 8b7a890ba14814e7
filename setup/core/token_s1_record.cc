// The S1 record on token user page 2: S1 at bytes 4-19 and its check copy, S1 encrypted under itself, at bytes
// 20-35. Erasing the check copy (all 0xFF) is what marks the token as no longer bound.
#include <cstring>

#include "setupcore_private.h"
#include "token_keys.h"
#include "tokenio.h"

namespace tavik::setupcore {
namespace {

constexpr int kS1Page = 2;
constexpr int kS1Offset = 4;
constexpr int kCheckOffset = 20;
constexpr unsigned kS1Size = 16;

}  // namespace
}  // namespace tavik::setupcore

using tavik::setupcore::kCheckOffset;
using tavik::setupcore::kS1Offset;
using tavik::setupcore::kS1Page;
using tavik::setupcore::kS1Size;

// Exported by setupcore. The check copy is written only after S1 itself was.
int write_nubo_s1(unsigned char* s1, unsigned int length) {
  if (length != kS1Size) return 0;
  unsigned char check[kS1Size];
  tavik::keys::S1CheckCopy(s1, check);
  if (WriteUserDataPage(kS1Page, kS1Offset, kS1Size, s1) != 1) return 0;
  return WriteUserDataPage(kS1Page, kCheckOffset, kS1Size, check) == 1 ? 1 : 0;
}

// Exported by setupcore. A length other than 16 is refused as a failed read, so no buffer is overrun.
int read_nubo_s1(unsigned char* s1, unsigned int length) {
  if (length != kS1Size) return 1;
  switch (tavik::keys::ReadS1Record(s1)) {
    case tavik::keys::S1Read::kValid: return 0;
    case tavik::keys::S1Read::kReadFailed: return 1;
    case tavik::keys::S1Read::kNoMatch: return 3;
  }
  return 1;
}

// Exported by setupcore.
int clean_nubo_s1(void) {
  unsigned char erased[kS1Size];
  std::memset(erased, 0xFF, sizeof erased);
  return WriteUserDataPage(kS1Page, kCheckOffset, kS1Size, erased) == 1 ? 1 : 0;
}

// Exported by setupcore.
int cleanup_nubo_info(void) { return clean_nubo_s1(); }

// Exported by setupcore. Always 0: an uninstall resumed after its token clean-up must pass this check, so the
// record is read but its state does not decide.
unsigned short all_nubo_info_exist(void) {
  unsigned char s1[kS1Size];
  read_nubo_s1(s1, kS1Size);
  return 0;
}
