// xpmachine type: a file of the machine as its programs read it, through the Win32 file layer and so through the
// machine's kernel (its host while the machine is booted, with every filter attached), not from the host file.
// kernel32 is loaded only here, once XPMACHINE names the machine: loaded at start, it would enter whatever machine
// the tool's environment named.
#include <dlfcn.h>

#include <cstdio>

#include "commands.h"
#include "fileapi.h"
#include "windows.h"

namespace xp::xpmachine {
namespace {

struct FileCalls {
  decltype(&CreateFileA) create_file = nullptr;
  decltype(&ReadFile) read_file = nullptr;
  decltype(&CloseHandle) close_handle = nullptr;
  decltype(&GetLastError) get_last_error = nullptr;
};

bool LoadFileCalls(FileCalls* calls) {
  void* kernel32 = ::dlopen("libxp_kernel32.so", RTLD_NOW);
  if (kernel32 == nullptr) {
    std::fprintf(stderr, "xpmachine: cannot load kernel32: %s\n", ::dlerror());
    return false;
  }
  calls->create_file = reinterpret_cast<decltype(&CreateFileA)>(::dlsym(kernel32, "CreateFileA"));
  calls->read_file = reinterpret_cast<decltype(&ReadFile)>(::dlsym(kernel32, "ReadFile"));
  calls->close_handle = reinterpret_cast<decltype(&CloseHandle)>(::dlsym(kernel32, "CloseHandle"));
  calls->get_last_error = reinterpret_cast<decltype(&GetLastError)>(::dlsym(kernel32, "GetLastError"));
  return calls->create_file && calls->read_file && calls->close_handle && calls->get_last_error;
}

}  // namespace

int TypeFile(const Command& command) {
  FileCalls calls;
  if (!EnterMachine(command) || !LoadFileCalls(&calls)) return 1;
  const HANDLE file = calls.create_file(command.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "xpmachine: cannot open %s: %s\n", command.path.c_str(),
                 WindowsErrorText(calls.get_last_error()).c_str());
    return 1;
  }
  static char buffer[64 * 1024];
  DWORD got = 0;
  BOOL read = FALSE;
  while ((read = calls.read_file(file, buffer, sizeof buffer, &got, nullptr)) && got != 0) {
    std::fwrite(buffer, 1, got, stdout);
  }
  const DWORD error = read ? 0 : calls.get_last_error();
  calls.close_handle(file);
  if (!read) std::fprintf(stderr, "xpmachine: cannot read %s: %s\n", command.path.c_str(), WindowsErrorText(error).c_str());
  return read ? 0 : 1;
}

}  // namespace xp::xpmachine
