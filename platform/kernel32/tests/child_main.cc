// A program of the machine for the process tests, started by CreateProcessA from a copy on a drive. It runs the
// commands of its arguments in order:
//   args             journals "debug args <argv[0]>|<argv[1]>|..." (through OutputDebugStringA)
//   wait-for PATH    waits, in real time, until the host file PATH exists; after 30 seconds it exits with 124
//   exit N           ExitProcess(N), N in any base strtoul reads
//   return N         returns N from main
//   crash            ends at once by SIGKILL
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "windows.h"

namespace {

// The exit code of a wait that gave up: the test that started it has failed or gone.
constexpr int kGaveUpWaiting = 124;

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string command = argv[i];
    const char* operand = i + 1 < argc ? argv[i + 1] : "0";
    if (command == "args") {
      std::string text = "args";
      for (int j = 0; j < argc; ++j) text += (j == 0 ? " " : "|") + std::string(argv[j]);
      OutputDebugStringA(text.c_str());
    } else if (command == "wait-for") {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (!std::filesystem::exists(operand)) {
        if (std::chrono::steady_clock::now() > deadline) return kGaveUpWaiting;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      ++i;
    } else if (command == "exit") {
      ExitProcess(static_cast<UINT>(std::strtoul(operand, nullptr, 0)));
    } else if (command == "return") {
      return static_cast<int>(std::strtoul(operand, nullptr, 0));
    } else if (command == "crash") {
      ::raise(SIGKILL);
    }
  }
  return 0;
}
