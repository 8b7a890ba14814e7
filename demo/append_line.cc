// A program of the machine that adds a line at the end of a text file, through the Win32 file calls as any editor
// of the machine writes (and so through the machine's kernel and its filters): append_line PATH TEXT.
#include <cstdio>
#include <string>

#include "windows.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: append_line PATH TEXT\n");
    return 2;
  }
  const HANDLE file = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "append_line: cannot open %s: error %u\n", argv[1], static_cast<unsigned>(GetLastError()));
    return 1;
  }
  const std::string line = std::string(argv[2]) + "\r\n";
  DWORD written = 0;
  const bool appended = SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
                        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                        written == line.size() && FlushFileBuffers(file);
  const DWORD error = appended ? 0 : GetLastError();
  CloseHandle(file);
  if (!appended) std::fprintf(stderr, "append_line: cannot write %s: error %u\n", argv[1], static_cast<unsigned>(error));
  return appended ? 0 : 1;
}
