// The web-client settings, as the forms read them: one string value of the client's key, the code of a failure
// shown to the user.
#include <algorithm>

#include "program_routines.h"

namespace {

constexpr char kClientKey[] = "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0";
constexpr DWORD kBufferSize = 255;

}  // namespace

std::u16string ReadWebClientSetting(const std::u16string& valueName) {
  HKEY key = nullptr;
  const LSTATUS opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClientKey, 0, KEY_READ, &key);
  if (opened != ERROR_SUCCESS) {
    MsgBox(CStr(opened) + u" - Cannot find key - " + TextOfAnsi(kClientKey));
    return {};
  }
  std::string buffer(kBufferSize, ' ');
  DWORD size = kBufferSize;
  const std::string name = AnsiOf(valueName);
  const LSTATUS queried =
      RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size);
  RegCloseKey(key);
  if (queried != ERROR_SUCCESS) {
    MsgBox(CStr(queried) + u" - Cannot find key value - ");
    return {};
  }
  // The stored text up to its terminator: a value stored without one keeps its last character, an empty one is "".
  buffer.resize(std::min<DWORD>(size, kBufferSize));
  const size_t end = buffer.find('\0');
  if (end != std::string::npos) buffer.resize(end);
  return TextOfAnsi(buffer);
}

bool SettingIsOne(const std::u16string& setting) {
  const size_t first = setting.find_first_not_of(u' ');
  if (first == std::u16string::npos) return false;
  std::u16string number = setting.substr(first, setting.find_last_not_of(u' ') - first + 1);
  if (number[0] == u'+') number.erase(0, 1);
  if (number.empty() || number.find_first_not_of(u"0123456789") != std::u16string::npos) return false;
  return number.substr(std::min(number.find_first_not_of(u'0'), number.size())) == u"1";
}

void DebugLine(int mode, const std::u16string& text) {
  if (SettingIsOne(ReadWebClientSetting(u"testing"))) TextFileIO(mode, text, u"C:\\authenticate.txt");
}
