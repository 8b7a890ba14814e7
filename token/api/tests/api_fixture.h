// A scratch machine with one factory-new token, and the token's answers computed independently from the secrets
// it was provisioned with, for checking what tokenapi hands out.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "aes.h"
#include "hex.h"
#include "scratch_machine.h"
#include "sha1.h"
#include "xp/usbtoken.h"

namespace tavik::tokenapi::testing {

using Block = std::array<uint8_t, 16>;

inline Block Bytes(const std::string& hex) {
  Block out{};
  tavik::hex::DecodeLenient(hex.c_str(), out.data(), 16);
  return out;
}

inline std::string Hex(const uint8_t* bytes, size_t n = 16) {
  std::string text(2 * n, '\0');
  tavik::hex::Encode(bytes, n, text.data(), /*upper=*/false);
  return text;
}

inline Block Aes(const Block& key, Block block) {
  tavik::cipher::AesKey schedule;
  tavik::cipher::ExpandKey(key.data(), &schedule);
  tavik::cipher::EncryptBlock(schedule, block.data(), block.data());
  return block;
}

class TokenApiTest : public ::testing::Test {
 protected:
  static constexpr size_t kPage = 512;

  xp::test::ScratchMachine machine_{xp::test::ScratchOptions{.token_seed = 11}};

  const std::string& token() const { return machine_.token_id(); }
  xp::usbtoken::Snapshot Snap() const { return *xp::usbtoken::Inspect(machine_.root(), token()); }
  std::vector<uint8_t> Page(int page) const {
    const auto flash = Snap().flash;
    return std::vector<uint8_t>(flash.begin() + page * kPage, flash.begin() + (page + 1) * kPage);
  }
  std::string Esn() const { return xp::usbtoken::List(machine_.root()).at(0).esn; }
  std::vector<xp::usbtoken::Request> Log() const { return xp::usbtoken::RequestLog(machine_.root(), token()); }
  void ClearLog() const { xp::usbtoken::ClearRequestLog(machine_.root(), token()); }
  void Unplug() const { xp::usbtoken::Unplug(machine_.root(), token()); }
  // True when the token's AES engine was given work since the log was cleared.
  bool CipherUsed() const {
    for (const auto& r : Log()) {
      if (r.code == xp::usbtoken::kWriteRegister && (r.reg == 0x10 || r.reg == 0x20)) return true;
    }
    return false;
  }

  // The token's key for a slot and a selector: the slot's key XOR the key-byte map at the selector's bytes.
  Block TokenKey(int slot, const std::string& selector) const {
    const auto flash = Snap().flash;
    const Block s = Bytes(selector);
    Block key;
    for (int i = 0; i < 16; ++i) key[i] = flash[16 * slot + i] ^ flash[256 + s[i]];
    return key;
  }
  // What the challenge operation must answer.
  std::string Solve(int slot, const std::string& selector, const std::string& block) const {
    const Block answer = Aes(TokenKey(slot, selector), Bytes(block));
    return Hex(answer.data());
  }
  // What the PSS-based challenge operation must answer: the token encrypts the PSS under its key; that result
  // encrypts the hash input's block (the input itself when it is 32 characters, else SHA-1's first 16 bytes).
  std::string SolvePrivate(int slot, const std::string& challenge, const std::string& pss,
                           const std::string& hash_input) const {
    const Block key = Aes(TokenKey(slot, challenge), Bytes(pss));
    Block block;
    if (hash_input.size() == 32) {
      block = Bytes(hash_input);
    } else {
      const auto digest =
          tavik::cipher::Sha1(reinterpret_cast<const uint8_t*>(hash_input.data()), hash_input.size());
      std::memcpy(block.data(), digest.data(), 16);
    }
    const Block answer = Aes(key, block);
    return Hex(answer.data());
  }
};

}  // namespace tavik::tokenapi::testing
