// One-time credentials: a user text made of the computer name, the token's identity text and a time-stamped
// UUID, and the token's answer to that UUID as the password.
#include <cstring>
#include <ctime>
#include <string>

#include "rpc.h"
#include "tokenapi.h"
#include "tokenapi_private.h"
#include "tokenio.h"
#include "windows.h"

namespace tavik::tokenapi {
namespace {

constexpr char kInvalid[] = "INVALPIN";
constexpr char kPrivateHashInput[] = "580274";
constexpr DWORD kComputerNameBuffer = 256;

// A new UUID whose first field is the current time in seconds, as 32 hex digits without hyphens.
bool StampedUuid(std::string* text) {
  UUID uuid;
  if (UuidCreate(&uuid) != RPC_S_OK) return false;
  uuid.Data1 = static_cast<uint32_t>(std::time(nullptr));
  RPC_CSTR formatted = nullptr;
  if (UuidToStringA(&uuid, &formatted) != RPC_S_OK) return false;
  text->clear();
  for (const unsigned char* c = formatted; *c != 0; ++c) {
    if (*c != '-') text->push_back(static_cast<char>(*c));
  }
  RpcStringFreeA(&formatted);
  return text->size() == kHexTextLength;
}

// The caller's buffers and their capacities. Every write is checked against them.
struct Outputs {
  char* user;
  int* user_length;
  int user_capacity;
  char* response;
  int* response_length;
  int response_capacity;

  bool Take(char* user_out, int* user_length_io, char* response_out, int* response_length_io) {
    if (user_out == nullptr || user_length_io == nullptr || response_out == nullptr || response_length_io == nullptr ||
        *user_length_io < 0 || *response_length_io < 0) {
      return false;
    }
    user = user_out;
    user_length = user_length_io;
    user_capacity = *user_length_io;
    response = response_out;
    response_length = response_length_io;
    response_capacity = *response_length_io;
    std::memset(user, 0, static_cast<size_t>(user_capacity));
    std::memset(response, 0, static_cast<size_t>(response_capacity));
    return true;
  }

  // "INVALPIN" in both buffers, where it fits with its NUL; result 1.
  int Invalid() const {
    constexpr int kSize = sizeof(kInvalid);
    if (user_capacity >= kSize) std::memcpy(user, kInvalid, kSize);
    if (response_capacity >= kSize) std::memcpy(response, kInvalid, kSize);
    *user_length = user_capacity >= kSize ? kSize - 1 : 0;
    *response_length = response_capacity >= kSize ? kSize - 1 : 0;
    return 1;
  }

  bool Fits(const std::string& user_text) const {
    return user_text.size() + 1 <= static_cast<size_t>(user_capacity) &&
           response_capacity >= static_cast<int>(kHexTextLength + 1);
  }
};

}  // namespace
}  // namespace tavik::tokenapi

using namespace tavik::tokenapi;

// Exported by tokenapi. user: "COMPUTER\" + identity text + stamp, its length counted with the NUL; response: the
// token's answer to the stamp, 32 hex digits and a NUL.
extern "C" int NuboGetUsrCredentials(char* user, int* user_length, char* response, int* response_length,
                                     unsigned slot) {
  Outputs outputs;
  if (!outputs.Take(user, user_length, response, response_length)) return 1;
  std::string stamp, identity;
  if (!StampedUuid(&stamp) || !ReadIdentityText(&identity)) return outputs.Invalid();
  char computer[kComputerNameBuffer];
  DWORD computer_length = sizeof(computer);
  if (!GetComputerNameA(computer, &computer_length)) return static_cast<int>(GetLastError());
  const std::string user_text = std::string(computer) + "\\" + identity + stamp;
  if (!outputs.Fits(user_text)) return outputs.Invalid();
  char answer[kHexTextLength + 1] = {};
  if (slot > 15 || SolvePuzzle(static_cast<int>(slot), stamp.c_str(), stamp.c_str(), answer) != 1) {
    return outputs.Invalid();
  }
  std::memcpy(user, user_text.c_str(), user_text.size() + 1);
  *user_length = static_cast<int>(user_text.size() + 1);
  std::memcpy(response, answer, sizeof(answer));
  *response_length = static_cast<int>(kHexTextLength);
  return 0;
}

// Exported by tokenapi. user: identity text + stamp, its length without the NUL; response: the token's answer
// over PSS slot 1 to the stamp and a fixed hash input.
extern "C" int NuboGetPUsrCredentials(char* user, int* user_length, char* response, int* response_length,
                                      unsigned) {
  Outputs outputs;
  if (!outputs.Take(user, user_length, response, response_length)) return 1;
  std::string stamp, identity;
  if (!StampedUuid(&stamp) || !ReadIdentityText(&identity)) return outputs.Invalid();
  const std::string user_text = identity + stamp;
  if (!outputs.Fits(user_text)) return outputs.Invalid();
  char answer[kHexTextLength + 1] = {};
  if (PSolvePuzzle(0, stamp.c_str(), 1, kPrivateHashInput, static_cast<int>(std::strlen(kPrivateHashInput)),
                   answer) != 1) {
    return outputs.Invalid();
  }
  std::memcpy(user, user_text.c_str(), user_text.size() + 1);
  *user_length = static_cast<int>(user_text.size());
  std::memcpy(response, answer, sizeof(answer));
  *response_length = static_cast<int>(kHexTextLength);
  return 0;
}

// Exported by tokenapi. Only whether a UUID can be made is reported; out and *len stay as they were on success.
extern "C" int NuboGetOneTimePwd(char*, int* len) {
  UUID uuid;
  if (UuidCreate(&uuid) == RPC_S_OK) return 0;
  if (len != nullptr) *len = 0;
  return 1;
}
