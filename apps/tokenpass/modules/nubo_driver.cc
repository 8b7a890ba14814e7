// The token wrappers of nubo_driver.h. Texts go to the token library in the ANSI code page and come back from its
// buffers keeping their length.
#include "nubo_driver.h"

#include <cstdio>
#include <functional>
#include <optional>

#include "forms.h"

namespace NuboDriver {
namespace {

const DllFunction<int(unsigned short*)> vbGetRegister31{"tokenio.dll", "vbGetRegister31"};
const DllFunction<int(char*)> vbGetESN{"tokenio.dll", "vbGetESN"};
const DllFunction<int(const char*)> vbCheckPwd{"tokenio.dll", "vbCheckPwd"};
const DllFunction<int(const char*)> vbBurnPwd{"tokenio.dll", "vbBurnPwd"};
const DllFunction<int(const char*)> vbResetPwd{"tokenio.dll", "vbResetPwd"};
const DllFunction<int(short, const char*, const char*, char*)> vbSolvePuzzle{"tokenio.dll", "vbSolvePuzzle"};

constexpr size_t kEsnBufferLength = 128;
constexpr size_t kAnswerLength = 32;
constexpr int kDeviceFailure = 251;

Waits waits;

// Runs one call of the token library; a call that cannot be made is reported to the user and gives false.
bool Call(const std::function<void()>& call) {
  try {
    call();
    return true;
  } catch (const RuntimeError& error) {
    std::fprintf(stderr, "warn:tokenpass: %s\n", error.what());
    if (error.Number() == kErrFileNotFound) {
      MsgBox(u"The tokenio.dll file cannot be found.  Please install another Teradolm product first so that the "
             u"necessary Nubo Driver will be present.",
             MB_OK | MB_ICONERROR);
    } else {
      MsgBox(u"There was an error communicating with the Nubo.  Please ensure all Teradolm components are installed "
             u"correctly and functional.",
             MB_OK | MB_ICONERROR);
    }
    return false;
  }
}

// A kid's key slot when it is a decimal number from 0 to 15; nullopt for anything else.
std::optional<short> SlotOf(const std::u16string& kid) {
  if (kid.empty()) return std::nullopt;
  int value = 0;
  for (const char16_t digit : kid) {
    if (digit < u'0' || digit > u'9') return std::nullopt;
    value = value * 10 + (digit - u'0');
    if (value > 15) return std::nullopt;
  }
  return static_cast<short>(value);
}

}  // namespace

std::u16string KeyId;

void SetWaits(const Waits& program_waits) { waits = program_waits; }

bool IsTokenPresent() {
  int status = 0;  // a 32-bit integer, of which the library writes 16 bits
  int result = 0;
  if (!Call([&] { result = vbGetRegister31(reinterpret_cast<unsigned short*>(&status)); })) return false;
  return result != 0;
}

int ReadTokenEsn(std::u16string& esn) {
  esn = std::u16string(kEsnBufferLength, u'\0');
  std::string buffer = AnsiOf(esn);
  int result = 0;
  if (!Call([&] { result = vbGetESN(buffer.data()); })) return 0;
  esn = result != 0 ? TextOfAnsi(buffer) : std::u16string();
  return 1;
}

std::u16string ReadTokenEsn() {
  Sleep(waits.before_esn_read);
  std::u16string esn;
  ReadTokenEsn(esn);
  return esn.find_first_not_of(u'\0') == std::u16string::npos ? std::u16string() : esn;
}

std::u16string GetTokenEsn() { return ReadTokenEsn().substr(0, 8); }

int CheckTokenPassword(const std::u16string& password) {
  Sleep(waits.before_password_check);
  const std::string ansi = AnsiOf(password);
  int result = -1;
  if (!Call([&] { result = vbCheckPwd(ansi.c_str()); })) return kDeviceFailure;
  // The whole count: narrowed to 16 bits, a count of 32768 or more would read as a negative, accepted, result.
  return result < 0 ? kDeviceFailure : result;
}

int BurnTokenPassword(const std::u16string& password) {
  std::u16string esn;
  if (ReadTokenEsn(esn) == 0) return 0;
  if (esn.substr(0, 8).empty()) {
    MsgBox(u"Please insert your Nubo before proceeding.");
    return 2;
  }
  KeyId = esn.substr(0, 8);
  int check = -1;
  if (!Call([&] { check = vbCheckPwd(""); }) || check != 0) {
    MsgBox(u"The Nubo you are using already has a password.  The password cannot be overwritten.",
           MB_OK | MB_ICONERROR);
    return 0;
  }
  const std::string ansi = AnsiOf(password);
  int burned = 0;
  if (!Call([&] { burned = vbBurnPwd(ansi.c_str()); })) return 0;
  return static_cast<short>(burned);
}

bool ResetTokenPassword() {
  int result = 0;
  if (!Call([&] { result = vbResetPwd(""); })) return false;
  return result != 0;
}

std::u16string SolvePuzzle(std::u16string& kid, const std::u16string& puzzle, const std::u16string& block) {
  if (kid.empty()) kid = u"0";
  std::optional<short> slot = SlotOf(kid);
  if (!slot) {
    kid = u"1";
    slot = 1;
  }
  if (puzzle.size() != kAnswerLength || block.size() != kAnswerLength) return u"Invalid Inputs";
  Sleep(waits.before_answer);
  std::string answer = AnsiOf(std::u16string(kAnswerLength, u'\0'));
  const std::string ansi_puzzle = AnsiOf(puzzle);
  const std::string ansi_block = AnsiOf(block);
  int result = 0;
  if (!Call([&] { result = vbSolvePuzzle(*slot, ansi_puzzle.c_str(), ansi_block.c_str(), answer.data()); })) {
    return u"Error";
  }
  if (result == 0) return u"Error";
  return UCase(TextOfAnsi(answer));
}

}  // namespace NuboDriver
