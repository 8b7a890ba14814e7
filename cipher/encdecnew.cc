// encdecnew: shows the text it is given in a box captioned "test" and hands back "Good". The programs declare it
// but never call it.
#include "cipherkit.h"
#include "cipherkit_private.h"

// Exported by cipherkit.
extern "C" int WINAPI encdecnew(BSTR* text) {
  const char* shown = text != nullptr && *text != nullptr ? reinterpret_cast<const char*>(*text) : "";
  MessageBoxA(nullptr, shown, "test", MB_OK);
  static constexpr char kGood[] = "Good";
  if (text != nullptr) tavik::cipherkit::ReplaceString(text, kGood, sizeof kGood - 1);
  return 0;
}
