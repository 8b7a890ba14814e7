// What the key cipher tests share: automation strings made and read as ANSI bytes, an IV put in place of the
// system's random source for one scope, captured standard output, and hex both ways.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "aes_test_vectors.h"
#include "cipherkit.h"
#include "cipherkit_private.h"

namespace tavik::cipherkit::test {

using cipher::test_vectors::Bytes;

struct StringFree {
  void operator()(OLECHAR* text) const { SysFreeString(text); }
};
using String = std::unique_ptr<OLECHAR, StringFree>;

// An automation string holding exactly these bytes.
inline String Ansi(std::string_view bytes) {
  return String(SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size())));
}
inline String Ansi(const std::vector<uint8_t>& bytes) {
  return Ansi(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
// The string's bytes, all of them.
inline std::string BytesOf(BSTR text) {
  return std::string(reinterpret_cast<const char*>(text), SysStringByteLen(text));
}

inline std::string UpperHex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const uint8_t b : bytes) text += {kDigits[b >> 4], kDigits[b & 15]};
  return text;
}

inline std::vector<uint8_t> Concat(const std::vector<std::string_view>& hex_parts) {
  std::vector<uint8_t> bytes;
  for (const std::string_view part : hex_parts) {
    const std::vector<uint8_t> more = Bytes(part);
    bytes.insert(bytes.end(), more.begin(), more.end());
  }
  return bytes;
}

// Every encryption in the scope takes `iv`; an iv that is not 16 bytes long makes the source fail.
class InjectedIv {
 public:
  explicit InjectedIv(std::vector<uint8_t> iv) {
    Iv() = std::move(iv);
    previous_ = ReplaceIvSource(&Give);
  }
  ~InjectedIv() { ReplaceIvSource(previous_); }
  InjectedIv(const InjectedIv&) = delete;
  InjectedIv& operator=(const InjectedIv&) = delete;

 private:
  static std::vector<uint8_t>& Iv() {
    static std::vector<uint8_t> iv;
    return iv;
  }
  static bool Give(uint8_t out[16]) {
    if (Iv().size() != 16) return false;
    std::copy(Iv().begin(), Iv().end(), out);
    return true;
  }
  IvSource previous_;
};

// Standard output written while the scope runs. Untaken output is dropped, unless the test failed meanwhile: then
// it is printed, since it holds the failure messages too.
class CapturedOutput {
 public:
  CapturedOutput() { ::testing::internal::CaptureStdout(); }
  ~CapturedOutput() {
    if (taken_) return;
    const std::string text = Take();
    if (::testing::Test::HasFailure()) std::fputs(text.c_str(), stdout);
  }
  std::string Take() {
    taken_ = true;
    return ::testing::internal::GetCapturedStdout();
  }

 private:
  bool taken_ = false;
};

}  // namespace tavik::cipherkit::test
