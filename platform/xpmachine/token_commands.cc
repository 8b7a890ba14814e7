// xpmachine token plug|unplug|show|answer: the machine's first token.
#include <array>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>

#include "commands.h"
#include "key_format.h"
#include "xp/usbtoken.h"

namespace xp::xpmachine {
namespace {

std::optional<std::array<uint8_t, 16>> HexBlock(const std::string& text) {
  if (text.size() != 32) return std::nullopt;
  std::array<uint8_t, 16> bytes{};
  for (size_t i = 0; i < 32; ++i) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return std::nullopt;
    bytes[i / 2] = static_cast<uint8_t>((bytes[i / 2] << 4) | digit);
  }
  return bytes;
}

// The maker's web service answers a registered token's Key Puzzle as the token would: its key slot 0 over the
// system's fixed puzzle block. It needs no token at hand.
int KeyAnswer(const Command& command, const std::string& id) {
  const std::optional<std::array<uint8_t, 16>> puzzle = HexBlock(command.puzzle);
  if (!puzzle) {
    std::fprintf(stderr, "xpmachine: a Key Puzzle is 32 hex digits, not \"%s\"\n", command.puzzle.c_str());
    return 1;
  }
  const std::optional<std::array<uint8_t, 16>> answer =
      usbtoken::TokenAnswer(command.dir, id, 0, *puzzle, *HexBlock(tavik::keys::kPuzzleBlock));
  if (!answer) {
    std::fprintf(stderr, "xpmachine: cannot answer for %s\n", id.c_str());
    return 1;
  }
  for (const uint8_t byte : *answer) std::printf("%02x", byte);
  std::printf("\n");
  return 0;
}

}  // namespace

int TokenCommand(const Command& command) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(command.dir / "machine.ini", error)) {
    std::fprintf(stderr, "xpmachine: %s is not a machine\n", command.dir.c_str());
    return 1;
  }
  const std::vector<usbtoken::TokenInfo> tokens = usbtoken::List(command.dir);
  if (tokens.empty()) {
    std::fprintf(stderr, "xpmachine: %s has no token\n", command.dir.c_str());
    return 1;
  }
  const std::string& id = tokens.front().id;
  switch (command.kind) {
    case Command::Kind::kTokenAnswer:
      return KeyAnswer(command, id);
    case Command::Kind::kTokenPlug:
      if (!usbtoken::Plug(command.dir, id)) break;
      std::printf("%s plugged in\n", id.c_str());
      return 0;
    case Command::Kind::kTokenUnplug:
      if (!usbtoken::Unplug(command.dir, id)) break;
      std::printf("%s unplugged\n", id.c_str());
      return 0;
    default:
      std::fputs(usbtoken::Describe(command.dir, id).c_str(), stdout);
      return 0;
  }
  std::fprintf(stderr, "xpmachine: cannot change %s\n", id.c_str());
  return 1;
}

}  // namespace xp::xpmachine
