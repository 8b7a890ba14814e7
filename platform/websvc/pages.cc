// The three pages of the registration service. cookieanswergen.asp hands out a challenge for a token the maker made;
// CCookieSet.asp checks that the token answered it (the answer field is the challenge encrypted under the token's
// answer) and records the password that came encrypted under the same answer; renew.asp checks and records a
// renewed password bound to the password program's fixed challenge, answered by key slot 5.
#include <httplib.h>

#include "websvc_private.h"
#include "xp/usbtoken.h"

namespace xp::websvc {
namespace {

namespace fs = std::filesystem;

constexpr char kStandardChallenge[] = "<puzzle>{PUZ},{KID},{SID}</puzzle>";
constexpr int kRenewSlot = 5;

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text->find(from, at)) != std::string::npos; at += to.size()) {
    text->replace(at, from.size(), to);
  }
}

bool KnownToken(const fs::path& machine, const std::string& esn) {
  for (const usbtoken::TokenInfo& token : usbtoken::List(machine)) {
    if (!esn.empty() && token.esn == esn) return true;
  }
  return false;
}

// The fields between the first "<puzzle>" and the first "</puzzle>" after it, split at ",".
std::vector<std::string> PuzzleFields(const std::string& body) {
  const size_t open = body.find("<puzzle>");
  if (open == std::string::npos) return {};
  const size_t start = open + 8;
  const size_t close = body.find("</puzzle>", start);
  if (close == std::string::npos) return {};
  std::vector<std::string> fields;
  const std::string inner = body.substr(start, close - start);
  size_t from = 0;
  for (size_t comma; (comma = inner.find(',', from)) != std::string::npos; from = comma + 1) {
    fields.push_back(inner.substr(from, comma - from));
  }
  fields.push_back(inner.substr(from));
  return fields;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + 1) {
    parts.push_back(text.substr(from, at - from));
  }
  parts.push_back(text.substr(from));
  return parts;
}

}  // namespace

Sessions::Sessions() : random_(std::random_device{}()) {}

void Sessions::NewChallenge(std::string* puzzle, std::string* kid, std::string* session) {
  static constexpr char kSessionCharacters[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
  const std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint8_t> bytes(16);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random_());
  *puzzle = UpperHex(bytes);
  *kid = std::to_string(random_() % 16);
  session->clear();
  for (int i = 0; i < 20; ++i) session->push_back(kSessionCharacters[random_() % (sizeof kSessionCharacters - 1)]);
}

void Sessions::Add(const std::string& id, const Session& session) {
  const std::lock_guard<std::mutex> lock(mutex_);
  sessions_[id] = session;
}

std::optional<Session> Sessions::Take(const std::string& id) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = sessions_.find(id);
  if (found == sessions_.end()) return std::nullopt;
  Session session = found->second;
  sessions_.erase(found);
  return session;
}

void Sessions::PutBack(const std::string& id, const Session& session) { Add(id, session); }

int SlotOfKid(const std::string& kid) {
  if (kid.empty()) return 0;
  if (kid.size() > 2 || kid.find_first_not_of("0123456789") != std::string::npos) return 1;
  const int value = std::stoi(kid);
  return value <= 15 ? value : 1;
}

std::string ChallengeAnswer(const fs::path& machine, const httplib::Request& request,
                            const std::string* body_template, Sessions& sessions) {
  const std::string esn = request.get_param_value("esnno");
  if (body_template == nullptr && !KnownToken(machine, esn)) return "<html><body>Unknown ESN</body></html>";
  std::string puzzle, kid, session;
  sessions.NewChallenge(&puzzle, &kid, &session);
  std::string body = body_template != nullptr ? *body_template : kStandardChallenge;
  ReplaceAll(&body, "{PUZ}", puzzle);
  ReplaceAll(&body, "{KID}", kid);
  ReplaceAll(&body, "{SID}", session);
  const std::vector<std::string> fields = PuzzleFields(body);
  if (fields.size() >= 3) sessions.Add(fields[2], Session{fields[0], SlotOfKid(fields[1]), esn});
  return body;
}

std::string RegistrationAnswer(const fs::path& machine, const httplib::Request& request, Sessions& sessions) {
  Registration record;
  record.session = request.get_param_value("sessionid");
  record.esn = request.get_param_value("esnno");
  record.p0 = request.get_param_value("p0");
  record.p1 = request.get_param_value("p1");
  const std::optional<Session> session = sessions.Take(record.session);
  std::optional<std::string> answer;
  if (!session) {
    record.verdict = "unknown session";
  } else if (session->esn != record.esn) {
    record.verdict = "wrong ESN";
  } else if (!(answer = TokenAnswer(machine, record.esn, session->slot, session->puzzle, session->puzzle))) {
    record.verdict = "unknown token";
  } else {
    const std::optional<std::string> challenge = DecryptKeyCipher(request.get_param_value("answer"), *answer);
    const std::optional<std::string> password = DecryptKeyCipher(request.get_param_value("p2"), *answer);
    if (!challenge || !password) {
      record.verdict = "bad cipher text";
    } else if (*challenge != session->puzzle) {
      record.verdict = "answer does not match";
    } else {
      record.verdict = "registered";
      record.password = *password;
    }
  }
  if (session && record.verdict != "registered") sessions.PutBack(record.session, *session);
  AppendRegistration(machine, record);
  return record.verdict == "registered" ? "<html><body>Registration Successful</body></html>"
                                        : "<html><body>Registration Failed</body></html>";
}

std::string RenewAnswer(const fs::path& machine, const httplib::Request& request) {
  Renewal record;
  const std::vector<std::string> fields = Split(request.get_param_value("p"), 'g');
  std::optional<std::string> answer;
  if (fields.size() == 5) record.esn = fields[1];
  if (fields.size() != 5) {
    record.verdict = "malformed";
  } else if (fields[2] != std::to_string(kRenewSlot)) {
    record.verdict = "wrong key index";
  } else if (fields[3] != kRenewChallenge) {
    record.verdict = "wrong challenge";
  } else if (!(answer = TokenAnswer(machine, record.esn, kRenewSlot, kRenewChallenge, kRenewChallenge))) {
    record.verdict = "unknown token";
  } else {
    const std::optional<std::string> bound = DecryptKeyCipher(fields[0], *answer);
    const std::optional<std::string> password = DecryptKeyCipher(fields[4], *answer);
    if (!bound || !password) {
      record.verdict = "bad cipher text";
    } else if (*bound != kRenewChallenge + *password) {
      record.verdict = "bound password does not match";
    } else {
      record.verdict = "renewed";
      record.password = *password;
    }
  }
  AppendRenewal(machine, record);
  return record.verdict == "renewed" ? "Successful" : "Failed";
}

}  // namespace xp::websvc
