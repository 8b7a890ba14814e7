// A program for the process-table tests, started inside a machine. It takes its record, then:
//   exit N          ends through exit(N) (N may need all 32 bits)
//   wait-for PATH   waits, in real time, until the host file PATH exists, then exits 0 (after 30 seconds, 124)
//   crash           dies at once by SIGKILL, recording nothing
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "xp/processes.h"

int main(int argc, char** argv) {
  xp::machine::RegisterCurrentProcess();
  const std::string command = argc > 1 ? argv[1] : "";
  const char* operand = argc > 2 ? argv[2] : "";
  if (command == "exit") std::exit(static_cast<int>(std::strtoul(operand, nullptr, 0)));
  if (command == "wait-for") {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(operand)) {
      if (std::chrono::steady_clock::now() > deadline) return 124;  // the test that waits for it has gone
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
  }
  if (command == "crash") ::raise(SIGKILL);
  return 2;
}
