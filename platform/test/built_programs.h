// The build files a test program runs, loads or copies, found by their target names: xp_tests' PROGRAMS makes
// the table, so a test names what it needs in its CMakeLists.txt and nowhere spells a build path. Test support only.
#pragma once

#include <string>

namespace xp::test {

struct BuiltProgram {
  const char* target;  // the CMake target, "xpmachine"; null ends the table
  const char* file;    // its built file, absolute
};

// Defined by the program's xp_tests (or xp_bench) declaration.
extern const BuiltProgram kBuiltPrograms[];

// The built file of `target`. A target the program did not declare among its PROGRAMS ends the program with a
// message that says so: its file might be stale or missing.
std::string BuildProgram(const std::string& target);

}  // namespace xp::test
