// What is refused and what a refusal leaves behind: key texts (codes -2, -3, -4, and only -2 prints), lengths
// outside the limits (-1 for the byte functions; no string, or -1 and 1, for the string functions), a
// random source that gives nothing (-5). Every refusal writes nothing: not to out, not to *len, not to the caller's
// string, and no string with unset bytes comes back.
#include <climits>

#include "cipherkit_test_support.h"

namespace tavik::cipherkit::test {
namespace {

constexpr char kKey[] = "2B7E151628AED2A6ABF7158809CF4F3C";
constexpr char kNotHexLine[] = "key must be in hexadecimal notation\n";
constexpr uint8_t kSentinel = 0xA5;

std::string Digits(size_t n) {
  std::string text;
  for (size_t i = 0; i < n; ++i) text += "0123456789abcdefABCDEF"[i % 22];
  return text;
}

TEST(KeyText, RefusedKeysWriteNothing) {
  const struct {
    std::string text;
    int code;
  } cases[] = {
      {"", -4},
      {Digits(16), -4},
      {Digits(31), -4},
      {Digits(33), -4},
      {Digits(40), -4},
      {Digits(63), -4},
      {Digits(65), -3},
      {Digits(64) + "G", -3},  // the 65th character is not read as a digit
      {Digits(64) + Digits(64), -3},
      {"Error", -2},
      {"Invalid Inputs", -2},  // what the token wrapper returns when it has no answer
      {"G" + Digits(31), -2},
      {Digits(31) + " ", -2},
      {Digits(10) + "\xE9" + Digits(21), -2},  // a byte above 0x7F
      {Digits(63) + "x" + Digits(30), -2},     // a non-digit among the first 64 wins over the length
  };
  const std::vector<uint8_t> data(40, 0x11);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string line = c.code == -2 ? kNotHexLine : "";
    {
      std::vector<uint8_t> out(data.size() + 16, kSentinel);
      int len = static_cast<int>(data.size());
      CapturedOutput output;
      EXPECT_EQ(enckey(data.data(), out.data(), c.text.c_str(), &len), c.code);
      EXPECT_EQ(output.Take(), line);
      EXPECT_EQ(len, static_cast<int>(data.size()));
      EXPECT_EQ(out, std::vector<uint8_t>(out.size(), kSentinel));
    }
    {
      std::vector<uint8_t> out(data.size() - 16, kSentinel);
      CapturedOutput output;
      EXPECT_EQ(deckey(data.data(), out.data(), c.text.c_str(), static_cast<int>(data.size())), c.code);
      EXPECT_EQ(output.Take(), line);
      EXPECT_EQ(out, std::vector<uint8_t>(out.size(), kSentinel));
    }
  }
}

// A refused key gives no string at all (the programs' round-trip check then fails as it should), and the
// replacing functions return the key's code with the caller's string untouched.
TEST(KeyText, ARefusedKeyGivesNoString) {
  CapturedOutput output;
  const String data = Ansi("Secret12");
  const String hex(vbenckeyhex(data.get(), kKey));
  const String cipher(vbenckey(data.get(), kKey));
  ASSERT_NE(hex, nullptr);
  ASSERT_NE(cipher, nullptr);
  output.Take();
  for (const char* key : {"Error", "ERROR", "INVALID INPUTS"}) {
    SCOPED_TRACE(key);
    CapturedOutput refused;
    EXPECT_EQ(String(vbenckeyhex(data.get(), key)), nullptr);
    EXPECT_EQ(String(vbdeckeyhex(hex.get(), key)), nullptr);
    EXPECT_EQ(String(vbenckey(data.get(), key)), nullptr);
    EXPECT_EQ(String(vbdeckey(cipher.get(), key)), nullptr);
    BSTR result = SysAllocStringByteLen("old", 3);
    BSTR const before = result;
    EXPECT_EQ(vbaenckey(data.get(), key, &result), -2);
    EXPECT_EQ(vbadeckey(cipher.get(), key, &result), -2);
    EXPECT_EQ(result, before);
    EXPECT_EQ(BytesOf(result), "old");
    SysFreeString(result);
    std::string expected;
    for (int i = 0; i < 6; ++i) expected += kNotHexLine;
    EXPECT_EQ(refused.Take(), expected);
  }
  const String short_key_hex(vbenckeyhex(data.get(), Digits(31).c_str()));  // -4 prints nothing
  EXPECT_EQ(short_key_hex, nullptr);
}

// Fewer than 16 cipher bytes hold not even the IV; a negative or overflowing data length has no output size.
TEST(ByteLengths, LengthsWithoutAnOutputSizeAreRefused) {
  const std::vector<uint8_t> bytes(64, 0x22);
  for (const int len : {-1, 0, 1, 15, INT_MIN}) {
    SCOPED_TRACE(len);
    std::vector<uint8_t> out(64, kSentinel);
    CapturedOutput output;
    EXPECT_EQ(deckey(bytes.data(), out.data(), kKey, len), -1);
    EXPECT_EQ(output.Take(), "");
    EXPECT_EQ(out, std::vector<uint8_t>(64, kSentinel));
  }
  for (const int n : {-1, -16, INT_MIN, INT_MAX - 15, INT_MAX}) {
    SCOPED_TRACE(n);
    std::vector<uint8_t> out(64, kSentinel);
    int len = n;
    CapturedOutput output;
    EXPECT_EQ(enckey(bytes.data(), out.data(), kKey, &len), -1);
    EXPECT_EQ(output.Take(), "");
    EXPECT_EQ(len, n);
    EXPECT_EQ(out, std::vector<uint8_t>(64, kSentinel));
  }
  std::vector<uint8_t> out(1);
  EXPECT_EQ(deckey(bytes.data(), out.data(), kKey, 16), 0);  // the empty text: 16 bytes are enough
}

// The string functions' limits: 127 data bytes, 17..143 cipher bytes (m = hex length / 2, rounded down).
TEST(StringLengths, OnlyLengthsWithinTheLimitsGiveAString) {
  CapturedOutput quiet;
  const auto encrypted_hex = [](size_t n) {
    const String hex(vbenckeyhex(Ansi(std::string(n, 'p')).get(), kKey));
    return BytesOf(hex.get());
  };
  const struct {
    const char* what;
    BSTR (*call)(BSTR, LPCSTR);
    std::string argument;
    long result_length;  // -1: no string
  } cases[] = {
      {"vbenckeyhex, 0 bytes", vbenckeyhex, "", 32},
      {"vbenckeyhex, 127 bytes", vbenckeyhex, std::string(127, 'p'), 286},
      {"vbenckeyhex, 128 bytes", vbenckeyhex, std::string(128, 'p'), -1},
      {"vbdeckeyhex, m = 16", vbdeckeyhex, encrypted_hex(0), -1},
      {"vbdeckeyhex, m = 17", vbdeckeyhex, encrypted_hex(1), 1},
      {"vbdeckeyhex, m = 143", vbdeckeyhex, encrypted_hex(127), 127},
      {"vbdeckeyhex, 287 characters", vbdeckeyhex, encrypted_hex(127) + "7", 127},
      {"vbdeckeyhex, 288 characters", vbdeckeyhex, encrypted_hex(127) + "77", -1},
      {"vbenckey, 127 bytes", vbenckey, std::string(127, 'p'), 143},
      {"vbenckey, 128 bytes", vbenckey, std::string(128, 'p'), -1},
      {"vbdeckey, 16 bytes", vbdeckey, std::string(16, 'c'), -1},
      {"vbdeckey, 17 bytes", vbdeckey, std::string(17, 'c'), 1},
      {"vbdeckey, 143 bytes", vbdeckey, std::string(143, 'c'), 127},
      {"vbdeckey, 144 bytes", vbdeckey, std::string(144, 'c'), -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const String result(c.call(Ansi(c.argument).get(), kKey));
    if (c.result_length < 0) {
      EXPECT_EQ(result, nullptr);
    } else {
      ASSERT_NE(result, nullptr);
      EXPECT_EQ(static_cast<long>(SysStringByteLen(result.get())), c.result_length);
    }
  }
  EXPECT_NE(String(vbenckeyhex(nullptr, kKey)), nullptr);  // the programs pass "" as a null string
  EXPECT_EQ(String(vbdeckeyhex(nullptr, kKey)), nullptr);
}

TEST(StringLengths, TheReplacingFunctionsGiveTheirCodesAndLeaveTheStringAlone) {
  CapturedOutput quiet;
  const struct {
    const char* what;
    int (*call)(BSTR, LPCSTR, BSTR*);
    size_t length;
    int code;
  } cases[] = {
      {"vbaenckey, 128 bytes", vbaenckey, 128, -1},
      {"vbadeckey, 16 bytes", vbadeckey, 16, 1},
      {"vbadeckey, 144 bytes", vbadeckey, 144, 1},
      {"vbadeckey, 0 bytes", vbadeckey, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BSTR result = SysAllocStringByteLen("old", 3);
    BSTR const before = result;
    EXPECT_EQ(c.call(Ansi(std::string(c.length, 'x')).get(), kKey, &result), c.code);
    EXPECT_EQ(result, before);
    EXPECT_EQ(BytesOf(result), "old");
    SysFreeString(result);
  }
}

// The hex reader keeps going over what is not a digit: it leaves the accumulator as it was but still counts, so the
// byte of its pair is made of the last two digits read (0 before the first).
TEST(StringLengths, AHexTextWithNonDigitsStillDecryptsWithoutAnError) {
  CapturedOutput quiet;
  const String hex(vbenckeyhex(Ansi("Secret12").get(), kKey));
  const std::string digits = BytesOf(hex.get());
  const auto decrypted = [](const std::string& text) {
    const String result(vbdeckeyhex(Ansi(text).get(), kKey));
    return result == nullptr ? std::string("(no string)") : BytesOf(result.get());
  };
  for (const size_t at : {size_t{0}, size_t{1}, size_t{40}, size_t{41}, size_t{47}}) {
    SCOPED_TRACE(at);
    std::string altered = digits, repeated = digits;
    altered[at] = 'G';
    const auto digit_before = [&](size_t i) { return i == 0 ? '0' : digits[i - 1]; };
    if (at % 2 == 0) {
      repeated[at] = digit_before(at);
    } else {
      repeated[at - 1] = digit_before(at - 1);
      repeated[at] = digits[at - 1];
    }
    const std::string result = decrypted(altered);
    EXPECT_EQ(result.size(), 8u);
    EXPECT_EQ(result, decrypted(repeated));
  }
  std::string cut = digits;
  cut[44] = '\0';  // the text ends there; the bytes after it are 0
  std::string zeros = digits;
  zeros.replace(44, 4, "0000");
  EXPECT_EQ(decrypted(cut), decrypted(zeros));
}

// The results replace the caller's string byte for byte, NULs included, at the exact length.
TEST(ResultStrings, TheReplacingFunctionsHandBackExactBytes) {
  CapturedOutput quiet;
  const std::string data("\0Sec\0ret\xFF\0", 10);
  BSTR cipher = SysAllocStringByteLen("old", 3);
  ASSERT_EQ(vbaenckey(Ansi(data).get(), kKey, &cipher), 0);
  EXPECT_EQ(SysStringByteLen(cipher), data.size() + 16);
  BSTR plain = SysAllocStringByteLen("older", 5);
  ASSERT_EQ(vbadeckey(cipher, kKey, &plain), 0);
  EXPECT_EQ(BytesOf(plain), data);
  SysFreeString(cipher);
  SysFreeString(plain);

  const InjectedIv iv(Bytes("000102030405060708090a0b0c0d0e0f"));
  BSTR replaced = nullptr;
  ASSERT_EQ(vbaenckey(Ansi(data).get(), kKey, &replaced), 0);
  const String returned(vbenckey(Ansi(data).get(), kKey));
  EXPECT_EQ(BytesOf(replaced), BytesOf(returned.get()));
  SysFreeString(replaced);
}

// With no random bytes there is no IV, and nothing may be encrypted under a guessable one.
TEST(IvSource, NoRandomBytesMeansNoCipher) {
  const InjectedIv failing({});
  const std::vector<uint8_t> data(20, 0x33);
  std::vector<uint8_t> out(36, kSentinel);
  int len = 20;
  CapturedOutput output;
  EXPECT_EQ(enckey(data.data(), out.data(), kKey, &len), -5);
  EXPECT_EQ(len, 20);
  EXPECT_EQ(out, std::vector<uint8_t>(36, kSentinel));
  EXPECT_EQ(String(vbenckeyhex(Ansi(data).get(), kKey)), nullptr);
  EXPECT_EQ(String(vbenckey(Ansi(data).get(), kKey)), nullptr);
  BSTR result = nullptr;
  EXPECT_EQ(vbaenckey(Ansi(data).get(), kKey, &result), -5);
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(output.Take(), "");
}

}  // namespace
}  // namespace tavik::cipherkit::test
