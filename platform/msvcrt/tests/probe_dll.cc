// A library of the machine that writes through the C run time, as the system's libraries do: its fopen calls
// must reach the machine's drives although the program that loads it never calls fopen itself.
#include <cstdio>
#include <initializer_list>

// Exported. Writes "first\nsecond\n" in text mode to both paths; 0 when both were written and closed.
extern "C" int ProbeWriteLines(const char* windows_path, const char* host_path) {
  int failures = 0;
  for (const char* path : {windows_path, host_path}) {
    FILE* file = std::fopen(path, "w");
    if (file == nullptr) {
      ++failures;
      continue;
    }
    if (std::setvbuf(file, nullptr, _IONBF, 0) != 0 || std::fprintf(file, "first\nsecond\n") < 0) ++failures;
    if (std::fclose(file) != 0) ++failures;
  }
  return failures;
}
