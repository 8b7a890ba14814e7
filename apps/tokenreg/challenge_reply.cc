// Reading the challenge reply. A challenge needs both tags, a comma and three fields; and nothing malformed is
// taken from it: a puzzle that is not 32 hex digits, or a session holding a control character, makes the session
// invalid too. Further fields are ignored.
#include "challenge_reply.h"

#include <vector>

namespace {

constexpr char16_t kOpen[] = u"<puzzle>";
constexpr char16_t kClose[] = u"</puzzle>";
constexpr char16_t kInvalidSession[] = u" -- Invalid Session.  Please try again.";
constexpr char16_t kNoServer[] = u" -- Could not reach server.  Please try again.";
constexpr size_t kMostShown = 200;

std::vector<std::u16string> Fields(const std::u16string& text) {
  std::vector<std::u16string> fields;
  size_t from = 0;
  for (size_t comma; (comma = text.find(u',', from)) != std::u16string::npos; from = comma + 1) {
    fields.push_back(text.substr(from, comma - from));
  }
  fields.push_back(text.substr(from));
  return fields;
}

bool IsHexPuzzle(const std::u16string& puzzle) {
  return puzzle.size() == 32 && puzzle.find_first_not_of(u"0123456789ABCDEFabcdef") == std::u16string::npos;
}

bool HasControlCharacter(const std::u16string& text) {
  for (const char16_t c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

}  // namespace

ChallengeReading ReadChallenge(const std::u16string& reply) {
  ChallengeReading reading;
  reading.cut = reply;
  const size_t open = reply.find(kOpen);
  bool both_tags = false;
  if (open != std::u16string::npos) {
    reading.cut = reply.substr(open + std::char_traits<char16_t>::length(kOpen));
    const size_t close = reading.cut.find(kClose);
    if (close != std::u16string::npos) {
      reading.cut.resize(close);
      both_tags = true;
    }
  }
  if (!both_tags || reading.cut.find(u',') == std::u16string::npos) {
    reading.ending = both_tags ? kInvalidSession : kNoServer;
    return reading;
  }
  const std::vector<std::u16string> fields = Fields(reading.cut);
  if (fields.size() < 3 || !IsHexPuzzle(fields[0]) || HasControlCharacter(fields[2])) {
    reading.ending = kInvalidSession;
    return reading;
  }
  reading.challenge = Challenge{fields[0], fields[1], fields[2]};
  return reading;
}

std::u16string StatusText(const std::u16string& reply) {
  std::u16string shown;
  for (const char16_t c : reply) {
    if (shown.size() == kMostShown) break;
    if (c >= 0x20 && c != 0x7F) shown.push_back(c);
  }
  return shown;
}
