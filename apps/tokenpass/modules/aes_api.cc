// The cipher wrappers of aes_api.h: text goes to the library as an automation string of its ANSI bytes, and the
// string the library returns (the caller's to free) comes back as text.
#include "aes_api.h"

#include <cstdio>

#include "forms.h"
#include "oleauto.h"

namespace aesAPI {
namespace {

const DllFunction<BSTR(BSTR, LPCSTR)> vbenckeyhex{"cipherkit.dll", "vbenckeyhex"};
const DllFunction<BSTR(BSTR, LPCSTR)> vbdeckeyhex{"cipherkit.dll", "vbdeckeyhex"};

std::u16string Run(const DllFunction<BSTR(BSTR, LPCSTR)>& function, const std::u16string& data,
                   const std::u16string& keyHex) {
  const std::string bytes = AnsiOf(data);
  const std::string key = AnsiOf(keyHex);
  const BSTR argument = SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
  BSTR result = nullptr;
  try {
    result = function(argument, key.c_str());
  } catch (const RuntimeError& error) {
    // The flows find the empty text and report the failed encryption themselves.
    std::fprintf(stderr, "warn:tokenpass: %s\n", error.what());
  }
  SysFreeString(argument);
  if (result == nullptr) return {};
  const std::u16string text = TextOfAnsi(std::string_view(reinterpret_cast<const char*>(result), SysStringByteLen(result)));
  SysFreeString(result);
  return text;
}

}  // namespace

std::u16string EncKeyHex(const std::u16string& data, const std::u16string& keyHex) {
  return Run(vbenckeyhex, data, keyHex);
}

std::u16string DecKeyHex(const std::u16string& hex, const std::u16string& keyHex) {
  return Run(vbdeckeyhex, hex, keyHex);
}

}  // namespace aesAPI
