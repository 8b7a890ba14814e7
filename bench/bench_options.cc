#include "bench_options.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace bench {

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-flushes") == 0) options.durable = false;
    if (i + 1 >= argc) continue;
    const char* value = argv[i + 1];
    if (std::strcmp(argv[i], "--files") == 0) {
      options.tree.files = std::max<size_t>(1, std::strtoul(value, nullptr, 10));
    }
    if (std::strcmp(argv[i], "--mib") == 0) options.tree.mib = std::strtoul(value, nullptr, 10);
    if (std::strcmp(argv[i], "--file-kib") == 0) options.tree.file_kib = std::strtoul(value, nullptr, 10);
    if (std::strcmp(argv[i], "--per-folder") == 0) {
      options.tree.per_folder = std::max<size_t>(1, std::strtoul(value, nullptr, 10));
    }
    if (std::strcmp(argv[i], "--rounds") == 0) options.rounds = std::max(1, std::atoi(value));
  }
  return options;
}

}  // namespace bench
