// What every crash harness of scenarios/ shares: the points a kind of interruption can hit (a crash of a program
// right after its nth call of one that changes a file or the registry, or a power loss right after the nth write
// that reached the kernel), counted by a fault that never fires, and the shares that spread a kind's points over
// several ctest entries that run side by side (every `parts`-th point, from the share's own first).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "xp/faults.h"

namespace tavik::scenarios {

// The fault point of a write that reached the kernel host.
inline constexpr char kKernelWrite[] = "kernel:write";

// A call after which a crash leaves a different state, with how many ctest entries its points are spread over.
struct CrashOperation {
  std::string name;
  uint32_t parts = 1;
};

struct Share {
  xp::machine::FaultAction action;
  std::string operation;
  uint32_t part;   // 1 .. parts
  uint32_t parts;
};

void PrintTo(const Share& share, std::ostream* out);
// The entry's name: "CrashAfter_<operation>_<part>of<parts>" or "PowerLossAfter_...".
std::string NameOf(const ::testing::TestParamInfo<Share>& info);

// A crash share for each part of each operation, then the power-loss shares after kernel writes (none with 0 parts).
std::vector<Share> SharesOf(const std::vector<CrashOperation>& crashes, uint32_t kernel_write_parts);

// A fault of the share's kind that never fires: it only counts the calls it sees.
xp::machine::Fault CountingFault(const Share& share);
// The fault that fires at the share's nth point.
xp::machine::Fault FaultAt(const Share& share, uint32_t nth);
// The calls the armed faults of the share's kind and operation counted on the machine at `root` (the "calls=" of
// their lines in its faults file): other faults armed beside them do not count.
uint32_t CountedCalls(const std::filesystem::path& root, const Share& share);

// Runs `interrupt_at` for each point of the share among `calls` points, until a point fails the test.
void ForEachPointOfShare(const Share& share, uint32_t calls, const std::function<void(uint32_t nth)>& interrupt_at);

}  // namespace tavik::scenarios
