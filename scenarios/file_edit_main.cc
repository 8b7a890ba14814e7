// A program of the machine that edits a file as a user's program does, through kernel32 and so through whatever
// filter the kernel holds: "file_edit PATH OFFSET TEXT" opens PATH (made when it is not there), writes TEXT at byte
// OFFSET, past the old end if need be, and closes it. Exit 0 when all of TEXT was written.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "windows.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: file_edit PATH OFFSET TEXT\n");
    return 2;
  }
  const HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "CreateFileA: error %u\n", GetLastError());
    return 1;
  }
  const LONG offset = std::atol(argv[2]);
  if (SetFilePointer(file, offset, nullptr, FILE_BEGIN) != static_cast<DWORD>(offset)) {
    std::fprintf(stderr, "SetFilePointer: error %u\n", GetLastError());
    return 1;
  }
  const DWORD length = static_cast<DWORD>(std::strlen(argv[3]));
  DWORD written = 0;
  if (!WriteFile(file, argv[3], length, &written, nullptr) || written != length) {
    std::fprintf(stderr, "WriteFile: error %u\n", GetLastError());
    return 1;
  }
  return CloseHandle(file) ? 0 : 1;
}
