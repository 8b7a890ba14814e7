// The LAN agent's challenge: a puzzle to the workstation's listener, the response read back, and the answer
// checked: the token's key from its slot and the challenge over the PSS, then the hash input encrypted under it.
#include <chrono>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "aes128.h"
#include "xp/usbtoken.h"
#include "winsock.h"
#include "xp/lanagent.h"
#include "xp/machine.h"
#include "xp/outside_party.h"
#include "xp/registry.h"

namespace xp::lanagent {
namespace {

using Block = std::array<uint8_t, 16>;

constexpr char16_t kSettingsKey[] = u"\\Registry\\Machine\\SOFTWARE\\Teradolm\\Gorsewick";
constexpr int kResponseSize = 256;
// The listener comes up as the logon begins; the agent keeps trying that long before it gives up.
constexpr auto kConnectPatience = std::chrono::seconds(2);
constexpr auto kAnswerPatience = std::chrono::seconds(10);

std::optional<uint16_t> ConfiguredPort() {
  registry::KeyId key = 0;
  registry::Value value;
  if (registry::OpenPath(kSettingsKey, &key) != ERROR_SUCCESS ||
      registry::QueryValue(key, u"logongate Port", &value) != ERROR_SUCCESS || !registry::IsStringType(value.type)) {
    return std::nullopt;
  }
  const std::u16string text = registry::StoredText(value);
  unsigned port = 0;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9' || (port = port * 10 + (c - u'0')) > 65535) return std::nullopt;
  }
  if (text.empty() || port == 0) return std::nullopt;
  return static_cast<uint16_t>(port);
}

std::string Hex(const Block& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t b : bytes) text += {kDigits[b >> 4], kDigits[b & 15]};
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<Block> FromHex(const std::string& text) {
  if (text.size() != 32) return std::nullopt;
  Block bytes{};
  for (size_t i = 0; i < 32; ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) return std::nullopt;
    bytes[i / 2] = static_cast<uint8_t>(bytes[i / 2] | (digit << (i % 2 == 0 ? 4 : 0)));
  }
  return bytes;
}

Block RandomBlock(std::mt19937& generator) {
  Block bytes;
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(generator());
  return bytes;
}

std::string Between(const std::string& text, const std::string& open, const std::string& close) {
  const size_t start = text.find(open);
  if (start == std::string::npos) return "";
  const size_t end = text.find(close, start + open.size());
  return end == std::string::npos ? "" : text.substr(start + open.size(), end - start - open.size());
}

// Connected to the listener, or INVALID_SOCKET once the patience ran out.
SOCKET Connect(uint16_t port) {
  const auto give_up = std::chrono::steady_clock::now() + kConnectPatience;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  do {
    const SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return client;
    closesocket(client);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < give_up);
  return INVALID_SOCKET;
}

// The 256-byte response, or what came before the listener closed or the patience ran out.
std::string ReadResponse(SOCKET connection) {
  std::string response;
  const auto give_up = std::chrono::steady_clock::now() + kAnswerPatience;
  while (static_cast<int>(response.size()) < kResponseSize && std::chrono::steady_clock::now() < give_up) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(connection, &readable);
    static const timeval kTenthOfASecond = {0, 100000};
    if (select(0, &readable, nullptr, nullptr, &kTenthOfASecond) <= 0) continue;
    char chunk[kResponseSize];
    const int got = recv(connection, chunk, kResponseSize - static_cast<int>(response.size()), 0);
    if (got <= 0) break;
    response.append(chunk, static_cast<size_t>(got));
  }
  return response;
}

std::string Check(const std::string& response, const Block& challenge, const Block& pss, const Block& hash) {
  const std::string text = response.substr(0, response.find('\0'));
  if (text.empty()) return "no answer";
  const std::string esn = Between(text, "<E>", "</E>");
  const std::optional<Block> answer = FromHex(Between(text, "<A>", "</A>"));
  if (!answer) return "a response without an answer";
  // The response carries the serial number as a number: leading zeros are gone.
  const auto number = [](const std::string& digits) {
    return digits.find_first_not_of("0123456789") == std::string::npos && !digits.empty() ? std::stoull(digits) : ~0ull;
  };
  for (const usbtoken::TokenInfo& token : usbtoken::List(machine::Root())) {
    if (number(token.esn) != number(esn)) continue;
    const std::optional<Block> key = usbtoken::TokenAnswer(machine::Root(), token.id, 0, challenge, pss);
    if (key && usbtoken::AesEncrypt(*key, hash) == *answer) return "";
    return "a wrong answer from token " + esn;
  }
  return "an answer from an unknown token " + esn;
}

// What the agent sends, as the machine's description ("lanagent.mode") makes it behave: a puzzle to answer
// ("answer", the default), nothing at all ("silent"), 256 bytes without an end ("unterminated"), or a puzzle that
// asks for no answer ("no-pss").
std::optional<std::string> Challenge(const Block& challenge, const Block& pss, const Block& hash) {
  const std::string mode = machine::Setting("lanagent.mode").value_or("answer");
  if (mode == "silent") return std::nullopt;
  if (mode == "unterminated") return std::string(kResponseSize, 'A');
  std::string puzzle = "<C><PUZ>" + Hex(challenge) + "</PUZ><KA>1</KA><PSSL>-1</PSSL>";
  puzzle += mode == "no-pss" ? "<PSS></PSS></C>" : "<PSS>" + Hex(pss) + "</PSS><H><I>" + Hex(hash) + "</I></H></C>";
  return puzzle + '\0';
}

}  // namespace

bool ChallengeWorkstation(const std::string& account) {
  const std::string who = "lanagent " + account + ": ";
  const std::optional<uint16_t> port = ConfiguredPort();
  if (!port) {
    machine::Journal(who + "no logongate Port is configured");
    return false;
  }
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) return false;
  std::random_device seed;
  std::mt19937 generator(seed());
  const Block challenge = RandomBlock(generator), pss = RandomBlock(generator), hash = RandomBlock(generator);
  const std::optional<std::string> puzzle = Challenge(challenge, pss, hash);
  network::OutsidePartyAtWork at_work(*port);
  const SOCKET connection = Connect(*port);
  if (connection == INVALID_SOCKET) {
    machine::Journal(who + "nobody listens on port " + std::to_string(*port));
    WSACleanup();
    return false;
  }
  if (puzzle) send(connection, puzzle->data(), static_cast<int>(puzzle->size()), 0);
  at_work.Done();
  const std::string problem = Check(ReadResponse(connection), challenge, pss, hash);
  closesocket(connection);
  WSACleanup();
  machine::Journal(who + (problem.empty() ? "the token's answer is right" : problem));
  return problem.empty();
}

}  // namespace xp::lanagent
