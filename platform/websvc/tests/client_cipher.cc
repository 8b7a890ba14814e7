// The test encryptor of client_cipher.h, over OpenSSL's AES.
#include "client_cipher.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace xp::websvc::testing {
namespace {

using Block = std::array<uint8_t, 16>;

std::vector<uint8_t> Bytes(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

Block Encrypt(const std::vector<uint8_t>& key, const uint8_t* in) {
  const EVP_CIPHER* cipher =
      key.size() == 16 ? EVP_aes_128_ecb() : key.size() == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  Block out{};
  int length = 0;
  EVP_EncryptInit_ex(context, cipher, nullptr, key.data(), nullptr);
  EVP_CIPHER_CTX_set_padding(context, 0);
  EVP_EncryptUpdate(context, out.data(), &length, in, 16);
  EVP_CIPHER_CTX_free(context);
  return out;
}

}  // namespace

std::string EncryptKeyCipher(const std::string& plain, const std::string& key_hex, const std::array<uint8_t, 16>& iv) {
  const std::vector<uint8_t> key = Bytes(key_hex);
  const auto* p = reinterpret_cast<const uint8_t*>(plain.data());
  const size_t n = plain.size();
  const size_t r = n % 16;
  std::vector<uint8_t> out;
  const Block encrypted_iv = Encrypt(key, iv.data());
  if (n < 16) {
    // E(IV)[0..n-1], then E(E(IV)[n..15] | P ^ IV[0..n-1]).
    Block last;
    std::memcpy(last.data(), encrypted_iv.data() + n, 16 - n);
    for (size_t i = 0; i < n; ++i) last[16 - n + i] = p[i] ^ iv[i];
    out.assign(encrypted_iv.begin(), encrypted_iv.begin() + static_cast<long>(n));
    const Block final_block = Encrypt(key, last.data());
    out.insert(out.end(), final_block.begin(), final_block.end());
  } else {
    out.assign(encrypted_iv.begin(), encrypted_iv.end());
    Block previous = iv;
    Block current{};
    for (size_t k = 0; k < n / 16; ++k) {
      Block x;
      for (size_t i = 0; i < 16; ++i) x[i] = p[16 * k + i] ^ previous[i];
      current = Encrypt(key, x.data());
      out.insert(out.end(), current.begin(), current.end());
      previous = current;
    }
    if (r != 0) {
      // The last whole block keeps its first r bytes; E(Ck[r..15] | T ^ Ck[0..r-1]) follows them.
      out.resize(out.size() - (16 - r));
      Block last;
      std::memcpy(last.data(), current.data() + r, 16 - r);
      for (size_t i = 0; i < r; ++i) last[16 - r + i] = p[n - r + i] ^ current[i];
      const Block final_block = Encrypt(key, last.data());
      out.insert(out.end(), final_block.begin(), final_block.end());
    }
  }
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const uint8_t b : out) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

std::string EncryptKeyCipher(const std::string& plain, const std::string& key_hex) {
  std::array<uint8_t, 16> iv;
  if (RAND_bytes(iv.data(), static_cast<int>(iv.size())) != 1) throw std::runtime_error("no random bytes");
  return EncryptKeyCipher(plain, key_hex, iv);
}

}  // namespace xp::websvc::testing
