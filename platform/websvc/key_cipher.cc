// The service's side of the key cipher: it decrypts what the registration and password programs send. The cipher
// text is E_K(IV) followed by CBC from IV (not from E_K(IV)); a partial last block is stolen into the last whole one,
// whose first r bytes stay in place and whose other 16 - r bytes are encrypted again together with the tail. Under
// 16 plain bytes the stealing takes from E_K(IV) itself.
#include <openssl/evp.h>

#include <array>
#include <cstring>
#include <memory>

#include "websvc_private.h"

namespace xp::websvc {
namespace {

int Nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const EVP_CIPHER* EcbOf(size_t key_size) {
  switch (key_size) {
    case 16: return EVP_aes_128_ecb();
    case 24: return EVP_aes_192_ecb();
    default: return EVP_aes_256_ecb();
  }
}

using Block = std::array<uint8_t, 16>;

}  // namespace

std::optional<std::vector<uint8_t>> HexBytes(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = Nibble(hex[i]);
    const int low = Nibble(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return bytes;
}

std::string UpperHex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

void AesBlock(const std::vector<uint8_t>& key, const uint8_t in[16], uint8_t out[16], bool encrypt) {
  const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                                 &EVP_CIPHER_CTX_free);
  int length = 0;
  EVP_CipherInit_ex(context.get(), EcbOf(key.size()), nullptr, key.data(), nullptr, encrypt ? 1 : 0);
  EVP_CIPHER_CTX_set_padding(context.get(), 0);
  EVP_CipherUpdate(context.get(), out, &length, in, 16);
}

std::optional<std::string> DecryptKeyCipher(std::string_view cipher_hex, std::string_view key_hex) {
  const std::optional<std::vector<uint8_t>> key = HexBytes(key_hex);
  const std::optional<std::vector<uint8_t>> cipher = HexBytes(cipher_hex);
  if (!key || (key->size() != 16 && key->size() != 24 && key->size() != 32) || !cipher || cipher->size() < 16) {
    return std::nullopt;
  }
  const std::vector<uint8_t>& c = *cipher;
  const size_t n = c.size() - 16;
  const size_t r = n % 16;
  const auto decrypt = [&](const uint8_t* in) {
    Block out;
    AesBlock(*key, in, out.data(), false);
    return out;
  };
  std::string plain;

  if (n < 16) {
    // C = E(IV)[0..n-1] | E(E(IV)[n..15] | P ^ IV[0..n-1]).
    const Block last = decrypt(&c[n]);
    Block encrypted_iv;
    std::memcpy(encrypted_iv.data(), c.data(), n);
    std::memcpy(encrypted_iv.data() + n, last.data(), 16 - n);
    const Block iv = decrypt(encrypted_iv.data());
    for (size_t i = 0; i < n; ++i) plain += static_cast<char>(last[16 - n + i] ^ iv[i]);
    return plain;
  }

  Block previous = decrypt(c.data());  // IV
  const size_t whole = n / 16;
  for (size_t k = 0; k < whole; ++k) {
    const uint8_t* block = &c[16 + 16 * k];
    Block current;
    const bool stolen_into = r != 0 && k == whole - 1;
    if (stolen_into) {
      // Ck[0..r-1] stays here; the final block holds E(Ck[r..15] | T ^ Ck[0..r-1]).
      const Block final_block = decrypt(&c[16 + 16 * k + r]);
      std::memcpy(current.data(), block, r);
      std::memcpy(current.data() + r, final_block.data(), 16 - r);
      const Block p = decrypt(current.data());
      for (size_t i = 0; i < 16; ++i) plain += static_cast<char>(p[i] ^ previous[i]);
      for (size_t i = 0; i < r; ++i) plain += static_cast<char>(final_block[16 - r + i] ^ current[i]);
      break;
    }
    std::memcpy(current.data(), block, 16);
    const Block p = decrypt(current.data());
    for (size_t i = 0; i < 16; ++i) plain += static_cast<char>(p[i] ^ previous[i]);
    previous = current;
  }
  return plain;
}

}  // namespace xp::websvc
