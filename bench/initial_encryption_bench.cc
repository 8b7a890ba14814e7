// The install's first encryption pass through the machine's kernel host over the generated tree (bench_tree.h) on
// a machine's drive D:, against `cp -a` of the same tree on the same disk in the same run. Each round makes the
// tree afresh and writes it back to the disk, as a user's files are long before an install; bench_rounds.h times
// and prints the rounds.
//   initial_encryption_bench [--files N] [--mib M | --file-kib K] [--per-folder F] [--rounds R] [--no-flushes]
// One file of 300 MiB: --files 1 --mib 300; 10,000 files of 4 KiB in one folder: --files 10000 --file-kib 4
// --per-folder 10000.
#include <cstdio>

#include "bench_install.h"
#include "bench_machine.h"
#include "bench_options.h"
#include "bench_rounds.h"
#include "bench_tree.h"
#include "host_control.h"
#include "install/init_encrypt.h"

int main(int argc, char** argv) {
  const bench::Options options = bench::ParseOptions(argc, argv);
  const bench::BenchMachine machine("initial-encryption-bench");
  bench::PrepareInstall();

  const std::vector<size_t> sizes = bench::FileSizes(options.tree);
  bench::RoundPlan plan;
  plan.root = machine.root();
  plan.host_tree = machine.HostTree();
  plan.rounds = options.rounds;
  plan.files = sizes.size();
  plan.total_mib = bench::TotalMiB(sizes);
  plan.prepare = [&] {
    bench::RemoveTree(bench::kTreeFolder);
    bench::ForgetConversions();
    bench::MakeTree(sizes, options.tree.per_folder);
    xp::ntos::host::WriteBackKernelCache(machine.root());
  };
  plan.pass = [&] {
    bench::SilentView view;
    CInitEncrypt engine(&view);
    engine.set_durable_commits(options.durable);
    engine.RunFirstPass();
  };
  std::printf("tree: %zu files, %.1f MiB, %zu a folder; %d rounds, %s\n", plan.files, plan.total_mib,
              options.tree.per_folder, plan.rounds, options.durable ? "durable commits" : "without the flushes");
  bench::RunRounds(plan);
  return 0;
}
