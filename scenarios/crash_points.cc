// The points and shares of the crash harnesses.
#include "crash_points.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <regex>

namespace tavik::scenarios {
namespace {

using xp::machine::FaultAction;

constexpr uint32_t kNeverReached = 1000000000;

}  // namespace

void PrintTo(const Share& share, std::ostream* out) {
  *out << (share.action == FaultAction::kPowerLoss ? "power loss after " : "crash after ") << share.operation << ", share "
       << share.part << " of " << share.parts;
}

std::string NameOf(const ::testing::TestParamInfo<Share>& info) {
  std::string name = info.param.operation;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return (info.param.action == FaultAction::kPowerLoss ? "PowerLossAfter_" : "CrashAfter_") + name + "_" +
         std::to_string(info.param.part) + "of" + std::to_string(info.param.parts);
}

std::vector<Share> SharesOf(const std::vector<CrashOperation>& crashes, uint32_t kernel_write_parts) {
  std::vector<Share> shares;
  const auto add = [&](FaultAction action, const std::string& operation, uint32_t parts) {
    for (uint32_t part = 1; part <= parts; ++part) shares.push_back({action, operation, part, parts});
  };
  for (const CrashOperation& operation : crashes) add(FaultAction::kCrash, operation.name, operation.parts);
  add(FaultAction::kPowerLoss, kKernelWrite, kernel_write_parts);
  return shares;
}

xp::machine::Fault CountingFault(const Share& share) { return {share.action, share.operation, kNeverReached, 1, 0, ""}; }

xp::machine::Fault FaultAt(const Share& share, uint32_t nth) { return {share.action, share.operation, nth, 1, 0, ""}; }

uint32_t CountedCalls(const std::filesystem::path& root, const Share& share) {
  std::ifstream in(root / "faults");
  const std::string head =
      std::string(share.action == FaultAction::kPowerLoss ? "power-loss " : "crash ") + share.operation + " ";
  uint32_t calls = 0;
  const std::regex counted(" calls=([0-9]+)");
  for (std::string line; std::getline(in, line);) {
    std::smatch match;
    if (line.rfind(head, 0) == 0 && std::regex_search(line, match, counted)) {
      calls += static_cast<uint32_t>(std::stoul(match[1]));
    }
  }
  return calls;
}

void ForEachPointOfShare(const Share& share, uint32_t calls, const std::function<void(uint32_t nth)>& interrupt_at) {
  std::printf("%s: %u points in all\n", share.operation.c_str(), calls);
  for (uint32_t nth = share.part; nth <= calls; nth += share.parts) {
    SCOPED_TRACE(share.operation + " #" + std::to_string(nth) + " of " + std::to_string(calls));
    interrupt_at(nth);
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace tavik::scenarios
