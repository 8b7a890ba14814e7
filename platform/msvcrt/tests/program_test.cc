// A program linked as the system's are: its library's fopen on a Windows path lands in the drive folder with
// CR LF line ends, and on a host path it is glibc's fopen, untouched.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>

#include "built_programs.h"
#include "scratch_machine.h"

extern char** environ;

namespace {

std::string Contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ProgramTest, ALibrarysFopenReachesTheDrivesOnlyForWindowsPaths) {
  xp::test::ScratchMachine machine;
  const std::filesystem::path host = machine.root() / "host-side.txt";
  const std::string program = xp::test::BuildProgram("xp_msvcrt_program");
  char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("C:\\Written.txt"),
                        const_cast<char*>(host.c_str()), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  machine.WriteBack();
  EXPECT_EQ(Contents(machine.root() / "drives" / "C" / "Written.txt"), "first\r\nsecond\r\n");
  EXPECT_EQ(Contents(host), "first\nsecond\n");
}

}  // namespace
