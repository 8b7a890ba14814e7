// Looks up the build files a test program declared among its PROGRAMS.
#include "built_programs.h"

#include <cstdio>
#include <cstdlib>

namespace xp::test {

std::string BuildProgram(const std::string& target) {
  for (const BuiltProgram* row = kBuiltPrograms; row->target != nullptr; ++row) {
    if (target == row->target) return row->file;
  }
  std::fprintf(stderr, "BuildProgram: %s is not among the PROGRAMS of this program's xp_tests declaration\n",
               target.c_str());
  std::abort();
}

}  // namespace xp::test
