// What a token answers to its challenge operation, worked out from the secrets it was provisioned with, as its maker
// can: the maker's web service (a Key Answer for a registered token) and the LAN agent check answers this way
// without the token at hand. The token forms its key from a key slot and the key-byte map at flash 256..511.
#include "aes128.h"
#include "token_store.h"
#include "xp/usbtoken.h"

namespace xp::usbtoken {
namespace {

constexpr size_t kKeyMapStart = 256;
constexpr size_t kSlotSize = 16;

}  // namespace

std::optional<std::array<uint8_t, 16>> TokenAnswer(const std::filesystem::path& machine, const std::string& id,
                                                   int slot, const std::array<uint8_t, 16>& selector,
                                                   const std::array<uint8_t, 16>& block) {
  if (slot < 0 || slot > 15) return std::nullopt;
  const std::optional<TokenState> state = ReadToken(machine, id);
  if (!state) return std::nullopt;
  AesBlock key;
  for (size_t i = 0; i < key.size(); ++i) {
    key[i] = state->flash[kSlotSize * static_cast<size_t>(slot) + i] ^ state->flash[kKeyMapStart + selector[i]];
  }
  return AesEncrypt(key, block);
}

}  // namespace xp::usbtoken
