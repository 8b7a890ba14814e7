// Private responses: the puzzle's PSS is stored on the token, the token answers the challenge over it, and the
// answer goes back as a response record. A puzzle that is malformed or names slots the token does not have is
// refused before the token is touched.
#include <string>

#include "tokenapi.h"
#include "tokenapi_private.h"
#include "tokenio.h"
#include "xml_reading.h"

namespace tavik::tokenapi {
namespace {

enum class PuzzleForm { kXml, kBytes, kNone };
enum class Outcome { kFailed, kNoAnswer, kAnswered };

constexpr int kFirstKeyLocation = 1, kLastKeyLocation = 16;  // KA, 1-based
constexpr int kFirstPssSlot = 1, kLastPssSlot = 31;
constexpr int kHashInputCapacity = 100;                        // 99 characters and a NUL
constexpr int kResentPuzzleCapacity = 200;
constexpr int kFormatXml = 1, kFormatDelimited = 2;
constexpr int kKindXml = 4, kKindBytes = 5;

bool ReadPuzzle(const char* text, int length, PuzzleForm form, PuzzleObject* puzzle) {
  switch (form) {
    case PuzzleForm::kXml: {
      RecordEventsOf<PuzzleObject> events(*puzzle);
      return ReadRecordXml(text, length, events);
    }
    case PuzzleForm::kBytes:
      return puzzle->setBytePuzzle(reinterpret_cast<const unsigned char*>(text), length);
    case PuzzleForm::kNone:
      return true;
  }
  return false;
}

// The token's answer to the puzzle, as a response record. byte_form: the response reports the PSS slot when the
// puzzle named none; otherwise it reports it when the puzzle's PSS was stored.
Outcome Answer(const char* text, int length, PuzzleForm form, bool byte_form, ResponseObject* response) {
  std::string esn;
  if (!ReadIdentityText(&esn)) return Outcome::kFailed;
  PuzzleObject puzzle;
  if (!ReadPuzzle(text, length, form, &puzzle)) return Outcome::kFailed;
  short key_location = -1, pss_slot = -1;
  char challenge[kHexTextLength + 1], pss[kHexTextLength + 1], hash_input[kHashInputCapacity];
  int hash_length = kHashInputCapacity;
  puzzle.getAESLocation(&key_location);
  puzzle.getChallenge(challenge);
  puzzle.getPSSLoc(&pss_slot);
  puzzle.getPSSValue(pss);
  const bool has_pss = pss[0] != '\0';
  if (!has_pss && pss_slot == -1) return Outcome::kNoAnswer;
  if (key_location < kFirstKeyLocation || key_location > kLastKeyLocation || challenge[0] == '\0' ||
      (pss_slot != -1 && (pss_slot < kFirstPssSlot || pss_slot > kLastPssSlot)) ||
      !puzzle.getHashInput(hash_input, &hash_length, 3)) {
    return Outcome::kFailed;
  }
  const bool puzzle_named_slot = pss_slot != -1;
  if (has_pss) {
    const int used = WritePSS(puzzle_named_slot ? pss_slot : 0, pss);
    if (used == 0) return Outcome::kFailed;
    pss_slot = static_cast<short>(used);
  }
  char answer[kHexTextLength + 1] = {};
  if (PSolvePuzzle(key_location - 1, challenge, pss_slot, hash_input, hash_length, answer) != 1) {
    return Outcome::kFailed;
  }
  if (byte_form ? !puzzle_named_slot : has_pss) response->setPssLoc(pss_slot);
  if (!response->setEsn(esn.c_str())) return Outcome::kFailed;
  response->setAnswer(answer, static_cast<int>(kHexTextLength));
  response->setFailedAttempts(LastNonZeroCheckResult());
  return Outcome::kAnswered;
}

int PrivateResponseX(const char* puzzle, int length, char* out, int* out_length, int format) {
  if (puzzle == nullptr || out == nullptr || out_length == nullptr || *out_length <= 0) return 1;
  if (format != kFormatXml && format != kFormatDelimited) return 1;
  ResponseObject response;
  switch (Answer(puzzle, length, PuzzleForm::kXml, /*byte_form=*/false, &response)) {
    case Outcome::kFailed:
      return 1;
    case Outcome::kNoAnswer:
      *out_length = 0;
      return 0;
    case Outcome::kAnswered:
      break;
  }
  if (format == kFormatXml) return response.getXMLResponse(out, out_length) ? 0 : 1;
  out[0] = '\0';
  return response.getDelimResponse(out, out_length) ? 0 : 1;
}

}  // namespace
}  // namespace tavik::tokenapi

using namespace tavik::tokenapi;

// Exported by tokenapi.
extern "C" int NuboGetPrivateResponseX(char* puzzle, int length, char* out, int* out_length, int format) {
  return PrivateResponseX(puzzle, length, out, out_length, format);
}

// Exported by tokenapi. A puzzle that carries a PSS is first tried with that PSS stored over slot 1, then as sent.
extern "C" int NuboGetPrivateResponseOnePassX(char* puzzle, int length, char* out, int* out_length, int format) {
  if (out_length == nullptr) return 1;
  const int capacity = *out_length;
  PuzzleObject parsed;
  RecordEventsOf<PuzzleObject> events(parsed);
  char pss[kHexTextLength + 1];
  if (ReadRecordXml(puzzle, length, events) && parsed.getPSSValue(pss) && pss[0] != '\0') {
    parsed.setPSSLocation(1);
    char resent[kResentPuzzleCapacity];
    int resent_length = sizeof(resent);
    if (parsed.getXMLPuzzle(resent, &resent_length) &&
        PrivateResponseX(resent, resent_length, out, out_length, format) == 0) {
      return 0;
    }
    *out_length = capacity;
  }
  return PrivateResponseX(puzzle, length, out, out_length, format);
}

// Exported by tokenapi. kind 4: an XML puzzle; 5: an 18-byte puzzle; other kinds: an empty puzzle.
extern "C" int NuboGetPrivateResponseBinary(char* puzzle, int length, int kind, char* out, int* out_length) {
  if (puzzle == nullptr || out == nullptr || out_length == nullptr) return 1;
  const PuzzleForm form = kind == kKindXml ? PuzzleForm::kXml : kind == kKindBytes ? PuzzleForm::kBytes
                                                                                     : PuzzleForm::kNone;
  ResponseObject response;
  switch (Answer(puzzle, length, form, /*byte_form=*/true, &response)) {
    case Outcome::kFailed:
      return 1;
    case Outcome::kNoAnswer:
      *out_length = 0;
      return 0;
    case Outcome::kAnswered:
      break;
  }
  return response.getByteResponse(reinterpret_cast<unsigned char*>(out), out_length) ? 0 : 1;
}
