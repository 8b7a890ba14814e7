// A program of the machine for the one-kernel tests: holds a file open without sharing ("file_holder PATH"), says
// "held" on its standard output, and on each line of its standard input appends that line to the file; at the end
// of its input it closes the file and ends (exit 0).
#include <cstdio>
#include <string>

#include "windows.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: file_holder PATH\n");
    return 2;
  }
  const HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("error %u\n", GetLastError());
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  char line[256];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    const std::string text(line);
    DWORD written = 0;
    if (SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER ||
        !WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
      return 1;
    }
  }
  return CloseHandle(file) ? 0 : 1;
}
