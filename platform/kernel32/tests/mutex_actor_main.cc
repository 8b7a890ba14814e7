// A helper process for the cross-process mutex tests: runs mutex commands read line by line from stdin and answers
// each on stdout; "kill" ends the process at once with SIGKILL, holding whatever it holds.
#include <signal.h>

#include <iostream>
#include <string>

#include "mutex_script.h"

int main() {
  xp::kernel32::testing::MutexSession session;
  for (std::string line; std::getline(std::cin, line);) {
    if (line == "kill") ::raise(SIGKILL);
    std::cout << session.Run(line) << std::endl;
  }
  return 0;
}
