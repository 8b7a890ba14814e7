// A program of the machine for the crash tests: writes `chunks` chunks of `size` bytes to a new file through
// kernel32 ("file_writer PATH CHUNKS SIZE"), chunk n filled with the digit n % 10. Exit 0 when all were written.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "windows.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: file_writer PATH CHUNKS SIZE\n");
    return 2;
  }
  const int chunks = std::atoi(argv[2]);
  const DWORD size = static_cast<DWORD>(std::atoi(argv[3]));
  const HANDLE file = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "CreateFileA: error %u\n", GetLastError());
    return 1;
  }
  for (int n = 0; n < chunks; ++n) {
    const std::string chunk(size, static_cast<char>('0' + n % 10));
    DWORD written = 0;
    if (!WriteFile(file, chunk.data(), size, &written, nullptr) || written != size) {
      std::fprintf(stderr, "WriteFile: error %u\n", GetLastError());
      return 1;
    }
  }
  return CloseHandle(file) ? 0 : 1;
}
