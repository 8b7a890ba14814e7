// The alternated rounds of a setup bench: each round prepares the machine's tree (untimed), then times the pass
// through the machine and `cp -a` of the tree on the same disk, syncing before each and alternating which goes
// first; it prints each round and then the medians: times, the throughput ratio (cp -a's time over the pass's:
// 1.00 = as fast as cp -a), the cost per file and per MiB, the CPU time of the kernel host and of this process,
// the host's peak memory during the pass, and the ratio's min / median / max.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace bench {

struct RoundPlan {
  std::filesystem::path root;  // the machine
  std::string host_tree;       // what cp -a copies
  int rounds = 5;
  size_t files = 0;
  double total_mib = 0;
  std::function<void()> prepare;
  // Counted until its data is on the disk: the kernel host's cache written back and synced, as cp's is.
  std::function<void()> pass;
  // After the pass is timed: the bench's check that the pass did all its work (nullptr: none).
  std::function<void()> check;
};

void RunRounds(const RoundPlan& plan);

}  // namespace bench
