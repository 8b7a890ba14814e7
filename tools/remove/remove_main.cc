// Remove <Hardware_ID>: removes the first device whose hardware IDs match the argument, through SetupAPI's list of
// every device, present or not. Progress and failure lines go to standard output; the exit code is 0 when a device
// was removed, else 1. The outcome is tracked from what each call returned: the last error a successful call leaves
// behind says nothing.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "setupapi.h"
#include "windows.h"

namespace {

constexpr DWORD kFirstReadSize = 100;
constexpr DWORD kReadSlack = 10;

// "<label> FAILURE: <system text>" (the text ends in its own line break), or the code when the system has no text.
// The last error is left as it was found.
void PrintFailure(const char* label) {
  const DWORD code = GetLastError();
  LPSTR text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
  if (length != 0 && text != nullptr) {
    std::printf("%s FAILURE: %s\n", label, text);
  } else {
    std::printf("%s FAILURE: (0x%08x)\n", label, static_cast<unsigned>(code));
  }
  if (text != nullptr) LocalFree(text);
  SetLastError(code);
}

// Both texts compared upper-cased, character by character, until either ends: a prefix match both ways. `id` is
// bounded by its length, the argument by its NUL.
bool Matches(const char* argument, const char* id, size_t id_length) {
  for (size_t i = 0; i < id_length && argument[i] != '\0'; ++i) {
    if (std::toupper(static_cast<unsigned char>(argument[i])) != std::toupper(static_cast<unsigned char>(id[i]))) {
      return false;
    }
  }
  return true;
}

enum class Read { kIds, kNoIds, kFailed };

// The device's hardware-ID list into `ids` (zeroed, so the list is always closed) and its size in `size`.
Read ReadHardwareIds(HDEVINFO devices, SP_DEVINFO_DATA* device, std::vector<BYTE>* ids, DWORD* size) {
  ids->assign(kFirstReadSize, 0);
  DWORD required = 0;
  BOOL read = SetupDiGetDeviceRegistryPropertyA(devices, device, SPDRP_HARDWAREID, nullptr, ids->data(),
                                                static_cast<DWORD>(ids->size()), &required);
  if (!read && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    ids->assign(required + kReadSlack, 0);
    read = SetupDiGetDeviceRegistryPropertyA(devices, device, SPDRP_HARDWAREID, nullptr, ids->data(),
                                             static_cast<DWORD>(ids->size()), &required);
  }
  if (read) {
    *size = std::min(required, static_cast<DWORD>(ids->size()));
    return Read::kIds;
  }
  return GetLastError() == ERROR_INVALID_DATA ? Read::kNoIds : Read::kFailed;
}

// The first ID of the list that matches, as a pointer into it with its length; nullptr when none does.
const char* MatchingId(const std::vector<BYTE>& ids, DWORD size, const char* argument, size_t* length) {
  const char* const list = reinterpret_cast<const char*>(ids.data());
  for (size_t at = 0; at < size && list[at] != '\0';) {
    const size_t id_length = static_cast<size_t>(std::find(list + at, list + size, '\0') - (list + at));
    if (Matches(argument, list + at, id_length)) {
      *length = id_length;
      return list + at;
    }
    at += id_length + 1;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  // An empty argument would match the first device with any hardware ID.
  if (argc < 2 || argv[1][0] == '\0') {
    std::printf("usage: remove <Hardware_ID>\n");
    return 1;
  }
  const char* const argument = argv[1];
  const HDEVINFO devices = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  if (devices == INVALID_HANDLE_VALUE) {
    PrintFailure("GetClassDevs(All Present Devices)");
    return 1;
  }
  bool removed = false;
  bool searched_to_the_end = true;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  std::vector<BYTE> ids;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    DWORD size = 0;
    const Read read = ReadHardwareIds(devices, &device, &ids, &size);
    if (read == Read::kNoIds) continue;
    if (read == Read::kFailed) {
      PrintFailure("GetDeviceRegistryProperty");
      SetupDiDestroyDeviceInfoList(devices);
      return 1;
    }
    size_t length = 0;
    const char* const id = MatchingId(ids, size, argument, &length);
    if (id == nullptr) continue;
    std::printf("Found! [%.*s]\n", static_cast<int>(length), id);
    removed = SetupDiCallClassInstaller(DIF_REMOVE, devices, &device) != FALSE;
    if (!removed) PrintFailure("CallClassInstaller(REMOVE)");
    searched_to_the_end = false;
    break;
  }
  if (searched_to_the_end && GetLastError() != ERROR_NO_MORE_ITEMS) PrintFailure("EnumDeviceInfo");
  SetupDiDestroyDeviceInfoList(devices);
  return removed ? 0 : 1;
}
