// Install <Driver files Directory Name> <inf file name>: copies the token's driver files, as section "TOKENIO.Dev"
// of the INF lists them, from the folder to their destinations through SetupAPI. Each step reports on standard
// output and the sequence goes on; a step whose input failed is skipped. Exit codes: 3 a device installation is
// still pending (asked before anything else), 1 a usage error, 2 the INF could not be opened, its section queued
// or the queue committed, 0 otherwise.
#include <cstdio>
#include <string>

#include "setupapi.h"
#include "windows.h"

namespace {

// The buffers the paths must fit: 256 characters with the NUL.
constexpr size_t kLongestPath = 255;
constexpr char kSection[] = "TOKENIO.Dev";
constexpr DWORD kCopyStyle = SP_COPY_NEWER | SP_COPY_SOURCEPATH_ABSOLUTE;

int Usage() {
  std::printf("usage: install <Driver files Directory Name> <inf file name>\n");
  return 1;
}

// Asks the loaded setup library, without waiting, whether a device installation is still in progress.
bool InstallationPending() {
  const HMODULE setupapi = GetModuleHandleA("setupapi.dll");
  if (setupapi == nullptr) {
    std::printf("Failed to gethandle setupapi.dll");
    return false;
  }
  const auto wait = reinterpret_cast<PCMP_WAITNOPENDINGINSTALLEVENTS>(
      reinterpret_cast<void*>(GetProcAddress(setupapi, "CMP_WaitNoPendingInstallEvents")));
  return wait != nullptr && wait(0) == WAIT_TIMEOUT;
}

int LastError() { return static_cast<int>(GetLastError()); }

bool Valid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

}  // namespace

int main(int argc, char** argv) {
  if (InstallationPending()) {
    std::printf("DEVINST_PROGRESS");
    return 3;
  }
  if (argc < 3) return Usage();
  const std::string folder = argv[1];
  const std::string inf_name = argv[2];
  // A folder given with its closing '\' is the source root without it.
  const bool closed = !folder.empty() && folder.back() == '\\';
  const std::string source_root = closed ? folder.substr(0, folder.size() - 1) : folder;
  const std::string inf_path = closed ? folder + inf_name : folder + "\\" + inf_name;
  if (inf_path.size() > kLongestPath) return Usage();

  std::printf("%s %s", argv[1], argv[2]);
  GUID class_guid{};
  char class_name[MAX_CLASS_NAME_LEN] = {};
  const BOOL got_class = SetupDiGetINFClassA(inf_path.c_str(), &class_guid, class_name, sizeof class_name, nullptr);
  std::printf("After SetupDiGetINFClass %d %d \n", got_class, LastError());
  std::printf(" %s %s", inf_path.c_str(), source_root.c_str());

  bool failed = false;
  UINT error_line = 0;
  const HINF inf = SetupOpenInfFileA(inf_path.c_str(), class_name, INF_STYLE_WIN4, &error_line);
  if (!Valid(inf)) {
    std::printf("SetupOpenInfFile failed pLine = %d error = %d \n", static_cast<int>(error_line), LastError());
    failed = true;
  }
  const HSPFILEQ queue = SetupOpenFileQueue();
  if (!Valid(queue)) std::printf("SetupOpenFileQ returned errof %x \n", static_cast<unsigned>(GetLastError()));
  std::printf("After SetupOpenFileQ \n");

  if (!Valid(inf) || !Valid(queue)) {
    failed = true;
  } else if (!SetupInstallFilesFromInfSectionA(inf, nullptr, queue, kSection, source_root.c_str(), kCopyStyle)) {
    std::printf("After SetupInstallFilesFromInfSection %d %x \n", 0, static_cast<unsigned>(GetLastError()));
    failed = true;
  }
  const PVOID context = SetupInitDefaultQueueCallback(nullptr);
  if (context == nullptr) std::printf("After SetupInitDefaultQueueCallback %d \n", LastError());

  if (Valid(queue) && context != nullptr) {
    const BOOL committed = SetupCommitFileQueueA(nullptr, queue, SetupDefaultQueueCallbackA, context);
    std::printf("After SetupCommitFileQueue %d %d \n", committed, LastError());
    failed = failed || !committed;
  } else {
    failed = true;
  }
  if (context != nullptr) SetupTermDefaultQueueCallback(context);
  if (Valid(queue)) SetupCloseFileQueue(queue);
  if (Valid(inf)) SetupCloseInfFile(inf);
  return failed ? 2 : 0;
}
