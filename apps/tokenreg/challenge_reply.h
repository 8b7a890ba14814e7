// The web service's challenge reply as the registration reads it: the three fields between the first "<puzzle>"
// and the first "</puzzle>" after it, or the ending its status line shows when they are not there.
#pragma once

#include <optional>
#include <string>

struct Challenge {
  std::u16string puzzle;      // 32 hex digits
  std::u16string kid;         // as the service wrote it
  std::u16string session_id;  // no control characters
};

struct ChallengeReading {
  std::optional<Challenge> challenge;
  // Without a challenge: the reply as far as it was cut, and the ending for the status line.
  std::u16string cut;
  std::u16string ending;
};

ChallengeReading ReadChallenge(const std::u16string& reply);

// The text of a reply as the status line shows it: printable characters only, at most 200 of them.
std::u16string StatusText(const std::u16string& reply);
