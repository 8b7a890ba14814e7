// The Key Answer check: 32 hex digits, the KN the maker's web service gives for the Key Puzzle shown, must open
// the EFKN record: through the driver, or offline against the record in safe mode, where no driver runs.
#include "interface.h"
#include "key_format.h"
#include "key_records.h"
#include "logongate_private.h"

namespace tavik::logongate {
namespace {

constexpr size_t kAnswerDigits = 32;

void Say(const KeyContext& context, const char* text) { ShowBox(context.owner, text, kCaption, MB_OK | MB_ICONERROR); }

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Whether KN opens the EFKN record; false after saying why not, when there is more to say.
bool Opens(const uint8_t kn[keys::kKeySize], KeyContext& context) {
  for (size_t i = 0; i < keys::kKeySize; ++i) {
    if (kn[i] != 0) break;
    if (i + 1 == keys::kKeySize) return false;
  }
  if (keys::ReadEfknRecord(kInstallFolder, context.efkn) != keys::RecordRead::kRead) {
    Say(context, "Failed to read data from hard drive.");
    return false;
  }
  if (SafeMode()) return keys::KnOpensEfkn(kn, context.efkn);
  BYTE key_held = 0;
  if (!IsCFKSet(&key_held)) {
    Say(context, "Call kernel driver failed.");
    return false;
  }
  return key_held != 0 ? MorvelCheckCFK(kn, context.efkn) != FALSE : MorvelSetCFK(kn, context.efkn, 0) != FALSE;
}

}  // namespace

bool CheckKeyAnswer(const std::u16string& answer, KeyContext& context) {
  if (answer.size() != kAnswerDigits) {
    Say(context, "Invalid Key Answer[1].\r\nPlease try again.");
    return false;
  }
  uint8_t kn[keys::kKeySize] = {};
  for (size_t i = 0; i < kAnswerDigits; ++i) {
    const int digit = HexValue(answer[i]);
    if (digit < 0) {
      Say(context, "Invalid Key Answer[2].\r\nPlease try again.");
      return false;
    }
    kn[i / 2] = static_cast<uint8_t>(kn[i / 2] | (digit << (i % 2 == 0 ? 4 : 0)));
  }
  const bool valid = Opens(kn, context);
  if (!valid) Say(context, "Invalid Key Answer[3].\r\nPlease try again.");
  return valid;
}

}  // namespace tavik::logongate
