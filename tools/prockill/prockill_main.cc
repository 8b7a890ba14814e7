// prockill <executable name>: ends the first running process with that program name; the exit code is
// KillProcessByName's result, or -1 without an argument. The argument reaches the check whole, whatever its length.
#include "kill_process.h"

int main(int argc, char** argv) {
  if (argc < 2) return -1;
  return static_cast<int>(KillProcessByName(argv[1]));
}
