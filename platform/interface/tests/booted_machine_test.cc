// The cross-process check on a booted machine: the kernel runs in its host, one program hands the driver
// the key through interface, others read and write protected files through the machine and see plaintext, while
// the host files hold the encrypted file format throughout.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "filter_install.h"
#include "host_control.h"
#include "run_program.h"
#include "scratch_machine.h"


namespace xp::driver_interface::testing {
namespace {

namespace fs = std::filesystem;

using ActorRun = xp::test::ProgramRun;

// Runs the actor (beside this test) as another program of the machine XPMACHINE names.
ActorRun Actor(const std::vector<std::string>& arguments) {
  return xp::test::RunProgram(xp::test::BuildProgram("xp_interface_actor"), arguments, xp::test::Stderr::kInherited);
}

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class BootedMachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallFilter(machine_.root());
    plain_ = Pattern(5000, 3);
    for (uint8_t& byte : plain_) byte = static_cast<uint8_t>('a' + byte % 26);  // printable, for the actor's output
    WriteHostFile(Drive("Docs/a.doc"), Encrypted(plain_, key_));
    std::string error;
    ASSERT_TRUE(ntos::host::StartKernelHost(xp::test::BuildProgram("xp_ntoshost"), machine_.root(), &error)) << error;
  }
  void TearDown() override {
    std::string error;
    if (ntos::host::KernelHostAnswers(machine_.root())) {
      EXPECT_TRUE(ntos::host::StopKernelHost(machine_.root(), &error)) << error;
    }
    // The host is another process: what its sanitizers found is only in its log.
    const std::string log = Text(ReadHostFile(machine_.root() / "kernel" / "host.log"));
    EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
    EXPECT_EQ(log.find("runtime error"), std::string::npos) << log;
  }

  fs::path Drive(const std::string& relative) const { return machine_.root() / "drives" / "C" / relative; }

  xp::test::ScratchMachine machine_;
  const TestKey key_ = MakeKey();
  Bytes plain_;
};

TEST_F(BootedMachineTest, ProgramsSeePlaintextWhileTheDiskHoldsCiphertext) {
  // Without the filter a program reads the disk as it is; with the filter and no key, not at all.
  EXPECT_EQ(Actor({"read", "C:\\Docs\\a.doc"}).output, Text(Encrypted(plain_, key_)));
  ASSERT_EQ(Actor({"load"}).exit_code, 0);
  EXPECT_EQ(Actor({"read", "C:\\Docs\\a.doc"}).exit_code, 1) << "a protected file opens before the key is set";

  ASSERT_EQ(Actor({"key", Hex(key_.kn.data(), 16), Hex(key_.efkn.data(), 32)}).exit_code, 0);

  const ActorRun reading = Actor({"read", "C:\\Docs\\a.doc"});
  EXPECT_EQ(reading.exit_code, 0);
  EXPECT_EQ(reading.output, Text(plain_));

  const std::string note = "written by one program, read by another, stored encrypted";
  ASSERT_EQ(Actor({"write", "C:\\Docs\\b.doc", note}).exit_code, 0);
  EXPECT_EQ(Actor({"read", "C:\\Docs\\b.doc"}).output, note);
  EXPECT_EQ(ReadHostFile(Drive("Docs/b.doc")), Encrypted(Bytes(note.begin(), note.end()), key_));

  std::string error;
  ASSERT_TRUE(ntos::host::StopKernelHost(machine_.root(), &error)) << error;
  EXPECT_EQ(ReadHostFile(Drive("Docs/a.doc")), Encrypted(plain_, key_));
  EXPECT_EQ(ReadHostFile(Drive("Docs/b.doc")), Encrypted(Bytes(note.begin(), note.end()), key_));
}

}  // namespace
}  // namespace xp::driver_interface::testing
