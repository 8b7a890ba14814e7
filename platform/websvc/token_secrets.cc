// What the maker knows of each token it made: the secrets written at provisioning, from which it works out the
// token's answer to a challenge without the token (usbtoken's one rule: AES-128 of the block under the slot key
// XOR the map bytes the selector picks).
#include <algorithm>
#include <array>

#include "websvc_private.h"
#include "xp/usbtoken.h"

namespace xp::websvc {
namespace {

std::optional<std::array<uint8_t, 16>> Block(const std::string& hex) {
  const std::optional<std::vector<uint8_t>> bytes = HexBytes(hex);
  if (!bytes || bytes->size() != 16) return std::nullopt;
  std::array<uint8_t, 16> block{};
  std::copy(bytes->begin(), bytes->end(), block.begin());
  return block;
}

}  // namespace

std::optional<std::string> TokenAnswer(const std::filesystem::path& machine, const std::string& esn, int slot,
                                       const std::string& selector_hex, const std::string& block_hex) {
  const std::optional<std::array<uint8_t, 16>> selector = Block(selector_hex);
  const std::optional<std::array<uint8_t, 16>> block = Block(block_hex);
  if (!selector || !block) return std::nullopt;
  for (const usbtoken::TokenInfo& token : usbtoken::List(machine)) {
    if (token.esn != esn) continue;
    const std::optional<std::array<uint8_t, 16>> answer = usbtoken::TokenAnswer(machine, token.id, slot, *selector,
                                                                                *block);
    if (!answer) return std::nullopt;
    return UpperHex(std::vector<uint8_t>(answer->begin(), answer->end()));
  }
  return std::nullopt;
}

}  // namespace xp::websvc
