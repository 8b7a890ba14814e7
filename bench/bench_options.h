// The command line the setup benches share, so that one shape of tree means the same in each:
//   [--files N] [--mib M | --file-kib K] [--per-folder F] [--rounds R] [--no-flushes]
#pragma once

#include "bench_tree.h"

namespace bench {

struct Options {
  TreeShape tree;
  int rounds = 5;
  bool durable = true;  // --no-flushes: the conversions commit without flushing each file to the disk
};

Options ParseOptions(int argc, char** argv);

}  // namespace bench
