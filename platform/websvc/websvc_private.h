// Declarations shared inside the web service stand-in, grouped by the file that defines them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "xp/websvc.h"

namespace httplib {
struct Request;
}

namespace xp::websvc {

// key_cipher.cc: the key cipher's text format as the service reads it, with AES from OpenSSL, so that it owes
// nothing to the system's own cipher. Hex texts: two digits a byte, either case.
std::optional<std::vector<uint8_t>> HexBytes(std::string_view hex);
std::string UpperHex(const std::vector<uint8_t>& bytes);
// AES of one block under a 16-, 24- or 32-byte key.
void AesBlock(const std::vector<uint8_t>& key, const uint8_t in[16], uint8_t out[16], bool encrypt);
// The plain bytes of a cipher text (hex) under a key (32, 48 or 64 hex digits): E_K(IV) first, then CBC from IV
// with the tail stolen into the last whole block; n + 16 cipher bytes for n plain ones. nullopt for a text or key
// that is not hex of a usable length.
std::optional<std::string> DecryptKeyCipher(std::string_view cipher_hex, std::string_view key_hex);

// token_secrets.cc: what the machine's token with this ESN answers to a challenge, computed from the secrets the
// maker provisioned it with (its key slots and key-byte map), as 32 upper-case hex digits; nullopt when the machine
// has no such token or the texts are not 32 hex digits.
std::optional<std::string> TokenAnswer(const std::filesystem::path& machine, const std::string& esn, int slot,
                                       const std::string& selector_hex, const std::string& block_hex);

// records.cc: appending to the service's logs in DIR/web.
void AppendRequest(const std::filesystem::path& machine, const RequestRecord& record);
void AppendRegistration(const std::filesystem::path& machine, const Registration& registration);
void AppendRenewal(const std::filesystem::path& machine, const Renewal& renewal);

// certificates.cc: the machine's web root (made once in DIR/web) and the server certificate of each kind, as PEM.
struct KeyAndCertificate {
  std::string key_pem;
  std::string certificate_pem;
};
KeyAndCertificate WebRoot(const std::filesystem::path& machine);
KeyAndCertificate ServerCertificate(const std::filesystem::path& machine, Certificate kind);

// pages.cc: the pages' own answers, which run their checks and write their records.
struct Session {
  std::string puzzle;
  int slot = 0;
  std::string esn;
};
// The challenges handed out and not yet used, by session id, and the randomness they are made of.
class Sessions {
 public:
  Sessions();
  // A fresh challenge's three fields.
  void NewChallenge(std::string* puzzle, std::string* kid, std::string* session);
  void Add(const std::string& id, const Session& session);
  std::optional<Session> Take(const std::string& id);
  // Puts a session back after a registration that failed, so that the person can try again.
  void PutBack(const std::string& id, const Session& session);

 private:
  std::mutex mutex_;
  std::mt19937_64 random_;
  std::map<std::string, Session> sessions_;
};
// The key slot a client answers a KID field with: "" is 0, a decimal number 0..15 itself, anything else 1.
int SlotOfKid(const std::string& kid);
// `body_template` (the odd replies) or the standard "<puzzle>{PUZ},{KID},{SID}</puzzle>"; the session is what the
// body offers when read as the client reads it.
std::string ChallengeAnswer(const std::filesystem::path& machine, const httplib::Request& request,
                            const std::string* body_template, Sessions& sessions);
std::string RegistrationAnswer(const std::filesystem::path& machine, const httplib::Request& request,
                               Sessions& sessions);
std::string RenewAnswer(const std::filesystem::path& machine, const httplib::Request& request);

// close_connection.cc: ends the connection a request came on, before any byte of answer.
void CloseConnection(const httplib::Request& request);

}  // namespace xp::websvc
