// What the maker knows of each token it made: the 16 key slots and the key-byte map written at provisioning. The
// token answers a challenge with AES-128 of the block under slot key XOR the map bytes the selector picks; the
// service computes the same from the secrets, without the token.
#include "websvc_private.h"
#include "xp/usbtoken.h"

namespace xp::websvc {

std::optional<std::string> TokenAnswer(const std::filesystem::path& machine, const std::string& esn, int slot,
                                       const std::string& selector_hex, const std::string& block_hex) {
  const std::optional<std::vector<uint8_t>> selector = HexBytes(selector_hex);
  const std::optional<std::vector<uint8_t>> block = HexBytes(block_hex);
  if (slot < 0 || slot > 15 || !selector || selector->size() != 16 || !block || block->size() != 16) {
    return std::nullopt;
  }
  for (const usbtoken::TokenInfo& token : usbtoken::List(machine)) {
    if (token.esn != esn) continue;
    const std::optional<usbtoken::Snapshot> secrets = usbtoken::Inspect(machine, token.id);
    if (!secrets) return std::nullopt;
    std::vector<uint8_t> key(16);
    for (size_t i = 0; i < 16; ++i) {
      key[i] = secrets->flash[16 * static_cast<size_t>(slot) + i] ^ secrets->flash[256 + (*selector)[i]];
    }
    std::vector<uint8_t> answer(16);
    AesBlock(key, block->data(), answer.data(), true);
    return UpperHex(answer);
  }
  return std::nullopt;
}

}  // namespace xp::websvc
