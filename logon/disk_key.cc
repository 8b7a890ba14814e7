// The disk key's hand-over at a token logon: the driver gets the file key from the key records (KN, which the
// token derives from the SN record, and the EFKN record), or, when the records do not open, the key rebuilt from
// S1 on the token, with the records put aside. Then the records rotate: a new SN and EFKN that open the same key,
// so the Key Puzzle and the Key Answer change at every boot. The new pair replaces the old only once it is known to
// open the key the driver holds, and by the key records' switch, so the folder always holds a pair that opens it.
#include <cstring>

#include "interface.h"
#include "key_format.h"
#include "key_records.h"
#include "logongate_private.h"
#include "token_keys.h"

namespace tavik::logongate {
namespace {

constexpr UINT kErrorBox = MB_OK | MB_ICONERROR;
constexpr char kSolveFailure[] = "Solve puzzle failure. Please keep your Tavik inserted during authentication.";

void Say(const KeyContext& context, const char* text, UINT style = kErrorBox) {
  ShowBox(context.owner, text, kCaption, style);
}

// The token's answer to `value`; false when there is none (a text that is not hex is said to be so).
bool TokenKey(const KeyContext& context, const uint8_t value[keys::kKeySize], uint8_t key[keys::kKeySize]) {
  const keys::TokenAnswer answer = keys::AnswerAfterPause(value, key);
  if (answer == keys::TokenAnswer::kNotHex) Say(context, "Data conversion error.");
  return answer == keys::TokenAnswer::kAnswered;
}

// The key for a record at the hand-over, where a missing answer is the token's fault and is said so.
bool HandOverKey(const KeyContext& context, const uint8_t value[keys::kKeySize], uint8_t key[keys::kKeySize]) {
  if (TokenKey(context, value, key)) return true;
  Say(context, kSolveFailure);
  return false;
}

void PutRecordsAside(const KeyContext& context) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  keys::PutAsideNames names;
  const int failed = keys::PutKeyRecordsAside(kInstallFolder, now, &names);
  LogEvent(kWarning, "Key records put aside as %s and %s\n", names.sn.c_str(), names.efkn.c_str());
  for (int i = 0; i < failed; ++i) Say(context, "Rename file failed.", MB_OK | MB_ICONWARNING);
}

// The rotation's result: 0, or 1 to 5 for the step that failed (the old records then stand).
int Rotate(KeyContext& context, const uint8_t held_key[keys::kXcfkSize]) {
  uint8_t next_sn[keys::kKeySize];
  if (!MorvelGetSn(context.sn, next_sn)) return 1;
  uint8_t next_kn[keys::kKeySize];
  if (!TokenKey(context, next_sn, next_kn)) return 2;
  uint8_t next_efkn[keys::kEfknSize];
  if (!MorvelGetFKn(next_kn, next_efkn)) return 3;
  // The new records must open the very key the driver holds, or the Key Answer they give would open nothing.
  uint8_t opened[keys::kXcfkSize];
  keys::UnwrapEfkn(next_kn, next_efkn, opened);
  const bool opens = std::memcmp(opened, held_key, keys::kXcfkSize) == 0;
  std::memset(opened, 0, sizeof opened);
  std::memset(next_kn, 0, sizeof next_kn);
  if (!opens) {
    LogEvent(kError, "The driver's new key records do not open its key\n");
    return 3;
  }
  switch (keys::SwitchKeyRecords(kInstallFolder, next_sn, next_efkn)) {
    case keys::SwitchOutcome::kSwitched: return 0;
    case keys::SwitchOutcome::kSnNotWritten: return 4;
    case keys::SwitchOutcome::kEfknNotWritten: return 5;
  }
  return 5;
}

// The key rebuilt from S1, handed to the driver as the key itself.
HandOver RebuildFromS1(KeyContext& context, bool records_put_aside, uint8_t held_key[keys::kXcfkSize]) {
  if (keys::ReadS1Record(context.sn) != keys::S1Read::kValid) {
    Say(context, "Read Tavik failure.");
    Say(context, "Read Tavik error. Please keep your Tavik inserted during authentication.");
    return kS1Unreadable;
  }
  uint8_t cfk[keys::kKeySize];
  if (!HandOverKey(context, context.sn, cfk)) return kTokenAnswerFailed;
  keys::ExpandCfk(cfk, held_key);
  std::memset(cfk, 0, sizeof cfk);
  if (!MorvelSetCFK(nullptr, held_key, 1)) {
    Say(context, "Authentication failure.");
    if (!records_put_aside) PutRecordsAside(context);
    return kKeyRefused;
  }
  return kKeySetAndRotated;
}

}  // namespace

HandOver HandOverDiskKey(KeyContext& context) {
  uint8_t s1[keys::kKeySize];
  if (keys::ReadS1Record(s1) != keys::S1Read::kValid) return kS1RecordBad;
  std::memset(s1, 0, sizeof s1);
  if (SafeMode()) return kSafeMode;
  BYTE key_held = 0;
  if (!IsCFKSet(&key_held)) {
    Say(context, "Call IsCFKSet failure.");
    return kIsCfkSetFailed;
  }
  if (key_held != 0) return kKeyWasHeld;

  uint8_t held_key[keys::kXcfkSize];
  HandOver result = kKeySetAndRotated;
  bool from_records = false;
  bool put_aside = false;
  if (keys::ReadSnRecord(kInstallFolder, context.sn) != keys::RecordRead::kRead) {
    Say(context, "Read system file failed[1].\r\nQuillmarsh Tavik will recover system files.");
  } else if (keys::ReadEfknRecord(kInstallFolder, context.efkn) != keys::RecordRead::kRead) {
    Say(context, "Read system file failed[2].\r\nQuillmarsh Tavik will recover system files.");
  } else {
    uint8_t kn[keys::kKeySize];
    if (!HandOverKey(context, context.sn, kn)) return kTokenAnswerFailed;
    from_records = MorvelSetCFK(kn, context.efkn, 0) != FALSE;
    if (from_records) {
      keys::UnwrapEfkn(kn, context.efkn, held_key);
    } else {
      PutRecordsAside(context);
      put_aside = true;
    }
    std::memset(kn, 0, sizeof kn);
  }
  if (!from_records) result = RebuildFromS1(context, put_aside, held_key);
  if (result == kKeySetAndRotated) {
    const int rotation = Rotate(context, held_key);
    if (rotation != 0) {
      const std::string text = "Get New Key Returned Error Code " + std::to_string(rotation) + ".";
      Say(context, text.c_str());
    }
  }
  std::memset(held_key, 0, sizeof held_key);
  return result;
}

}  // namespace tavik::logongate
