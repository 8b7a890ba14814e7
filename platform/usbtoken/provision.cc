// Making a new token from a seed, as the maker's provisioning would: serial number and challenge in the identity
// area, an encrypted copy of the (empty) password, 16 random key slots and a key-byte map that is a random
// permutation; every other page erased, no password, counter 0.
#include <cstdio>
#include <stdexcept>

#include "aes128.h"
#include "token_store.h"

namespace xp::usbtoken {
namespace {

// splitmix64: a small generator whose whole output follows from the seed.
class SeededBytes {
 public:
  explicit SeededBytes(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  void Fill(uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(Next() >> 56);
  }

 private:
  uint64_t state_;
};

constexpr size_t kIdentity = kPageSize;  // page 1
constexpr size_t kChallengeOffset = 21;
constexpr size_t kPasswordCopyOffset = 41;
constexpr size_t kMaxIdentityText = kChallengeOffset - 1;  // leaves room for the NUL before the challenge

TokenState NewToken(uint64_t seed, const std::optional<std::string>& esn) {
  SeededBytes random(seed);
  TokenState state;
  state.seed = seed;
  state.flash.fill(0xFF);
  state.password = CleanPasswordBlock();

  char digits[16];
  std::snprintf(digits, sizeof digits, "%08u", static_cast<unsigned>(random.Next() % 100000000u));
  const std::string text = esn.value_or(digits);
  std::copy(text.begin(), text.end(), state.flash.begin() + kIdentity);
  state.flash[kIdentity + text.size()] = 0x00;
  random.Fill(&state.flash[kIdentity + kChallengeOffset], 16);

  random.Fill(state.password_copy_key.data(), state.password_copy_key.size());
  const AesBlock empty_password_block{};
  const AesBlock copy_block = AesEncrypt(state.password_copy_key, empty_password_block);
  for (size_t i = 0; i < kPasswordBlockSize; i += copy_block.size()) {
    std::copy(copy_block.begin(), copy_block.end(), state.flash.begin() + kIdentity + kPasswordCopyOffset + i);
  }

  random.Fill(state.flash.data(), 256);  // key slots
  uint8_t* map = &state.flash[256];
  for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i);
  for (int i = 255; i > 0; --i) std::swap(map[i], map[random.Next() % static_cast<uint64_t>(i + 1)]);
  return state;
}

std::string ProvisionToken(const std::filesystem::path& machine, uint64_t seed,
                           const std::optional<std::string>& esn) {
  if (esn && (esn->size() > kMaxIdentityText || esn->find_first_of(std::string("\0\xFF", 2)) != std::string::npos)) {
    throw std::invalid_argument("token identity text must be at most 20 characters without NUL or 0xFF");
  }
  TokenState state = NewToken(seed, esn);
  state.plugged = true;
  std::error_code ec;
  std::filesystem::create_directories(TokensDir(machine), ec);
  // Creating the folder claims the instance number, also against another process provisioning at once.
  for (uint32_t instance = 1; instance < 100000; ++instance) {
    const std::string id = "token" + std::to_string(instance);
    const std::filesystem::path dir = TokensDir(machine) / id;
    if (!std::filesystem::create_directory(dir, ec)) {
      if (ec) break;
      continue;
    }
    state.instance = instance;
    if (!StateFile(dir).Create(state)) break;
    // The factory's first token comes with its driver installed, as on a fresh machine.
    if (instance == 1) InstallDriverFile(machine);
    NoteArrival(machine, id);
    return id;
  }
  throw std::runtime_error("cannot create a token under " + TokensDir(machine).string());
}

}  // namespace

std::string Provision(const std::filesystem::path& machine, uint64_t seed) {
  return ProvisionToken(machine, seed, std::nullopt);
}

std::string Provision(const std::filesystem::path& machine, uint64_t seed, const std::string& esn) {
  return ProvisionToken(machine, seed, esn);
}

}  // namespace xp::usbtoken
