// A program of the machine for the booted-machine scenario, doing what its arguments say:
//   load            loads the driver; exit 0 when it runs
//   key KN EFKN     loads the driver and hands it the key (hex); exit 0 when the driver holds it
//   read PATH       prints the file as the program reads it; exit 1 and the Win32 error on stderr when it cannot
//   write PATH TEXT replaces the file's contents with TEXT, flushed; exit 0 when written
#include <cstdio>
#include <string>
#include <vector>

#include "fileapi.h"
#include "interface.h"
#include "windows.h"

namespace {

std::vector<BYTE> FromHex(const std::string& text) {
  std::vector<BYTE> bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes.push_back(static_cast<BYTE>(std::stoi(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

int Fail(const char* what) {
  std::fprintf(stderr, "%s: error %u\n", what, GetLastError());
  return 1;
}

int HandKey(const std::string& kn_hex, const std::string& efkn_hex) {
  const std::vector<BYTE> kn = FromHex(kn_hex);
  const std::vector<BYTE> efkn = FromHex(efkn_hex);
  if (kn.size() != 16 || efkn.size() != 32) return Fail("key sizes");
  if (!MorvelLoadDriver()) return Fail("MorvelLoadDriver");
  if (!MorvelSetCFK(kn.data(), efkn.data(), 0)) return Fail("MorvelSetCFK");
  BYTE held = 0;
  if (!IsCFKSet(&held) || held != 1) return Fail("IsCFKSet");
  return 0;
}

int Read(const char* path) {
  const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail("CreateFileA");
  char buffer[4096];
  DWORD got = 0;
  BOOL read = FALSE;
  while ((read = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got != 0) std::fwrite(buffer, 1, got, stdout);
  if (!read) return Fail("ReadFile");
  CloseHandle(file);
  return 0;
}

int Write(const char* path, const std::string& text) {
  const HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail("CreateFileA");
  DWORD written = 0;
  if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return Fail("WriteFile");
  if (!FlushFileBuffers(file)) return Fail("FlushFileBuffers");
  CloseHandle(file);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "load" && argc == 2) return MorvelLoadDriver() ? 0 : Fail("MorvelLoadDriver");
  if (verb == "key" && argc == 4) return HandKey(argv[2], argv[3]);
  if (verb == "read" && argc == 3) return Read(argv[2]);
  if (verb == "write" && argc == 4) return Write(argv[2], argv[3]);
  std::fputs("usage: xp_interface_actor load | key KN EFKN | read PATH | write PATH TEXT\n", stderr);
  return 2;
}
