// The crash harness of the key records: Winlogon, in the first token logon after an install, crashed (the process
// ends at once) right after each of its file calls on the records in turn, on the rotation's road and on the road
// that puts refused records aside and rebuilds them from the token. Then the machine boots again: the token logon
// opens the disk, every protected file reads back unchanged, and after that boot's rotation the Key Answer to the
// puzzle then shown opens the disk without the token. An operation with many points spreads them over several
// ctest entries (every `parts`-th point, from the entry's own first), which run side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <vector>

#include "logon_machine.h"

namespace tavik::scenarios {
namespace {

using xp::machine::Fault;
using xp::machine::FaultAction;

constexpr uint32_t kNeverReached = 1000000000;
// Every file the records go by: MRVPUZSN, MRVENTFE, their .NEW files, the switch's marker, the put-aside copies.
constexpr char kRecordFiles[] = "\\Quillmarsh\\Tavik\\XP\\MRV";
// The logon up to the account dialog, which the person cancels before shutting down: the rotation is over by then,
// and no other program of the machine has started.
const std::string kUpToTheAccount = TokenLogOn() + "dialog 104: click IDCANCEL\n" + ShutDownFromLogon();

enum class Road { kRotation, kPutAside };

struct Point {
  Road road;
  const char* operation;
  uint32_t part = 1;  // 1 .. parts
  uint32_t parts = 1;
};

void PrintTo(const Point& point, std::ostream* out) {
  *out << (point.road == Road::kRotation ? "rotation, " : "put aside, ") << point.operation << ", share "
       << point.part << " of " << point.parts;
}

std::string NameOf(const ::testing::TestParamInfo<Point>& info) {
  std::string name = std::string(info.param.road == Road::kRotation ? "Rotation_" : "PutAside_") + info.param.operation;
  if (info.param.parts > 1) name += "_" + std::to_string(info.param.part) + "of" + std::to_string(info.param.parts);
  return name;
}

// Each road's file calls, an operation with many points (opening: to read, to write, to mark) in three shares.
std::vector<Point> Points() {
  std::vector<Point> points;
  for (const Road road : {Road::kRotation, Road::kPutAside}) {
    for (uint32_t part = 1; part <= 3; ++part) points.push_back({road, "CreateFileA", part, 3});
    for (const char* operation : {"WriteFile", "FlushFileBuffers", "MoveFileExA", "DeleteFileA"}) {
      points.push_back({road, operation});
    }
  }
  return points;
}

// Refused records: an EFKN no key opens to the marker, so the driver refuses the pair.
const std::string kRefusedEfkn(32, '\x5a');

void Prepare(const LogonMachine& machine, Road road) {
  if (road == Road::kPutAside) machine.PutOnDisk(std::string(kInstallFolder) + "\\MRVENTFE", kRefusedEfkn);
}

bool Exists(const LogonMachine& machine, const std::string& name) {
  return machine.OnDisk(std::string(kInstallFolder) + "\\" + name).has_value();
}

// What the logon after the crash tells before it rebuilds: a puzzle record no reader finds (neither the record nor
// a committed switch's new one) is message [1]. Refused records are put aside without a word.
std::string ToldAfterTheCrash(const LogonMachine& machine) {
  const bool sn_found = Exists(machine, "MRVPUZSN") || (Exists(machine, "MRVKEYSW") && Exists(machine, "MRVPUZSN.NEW"));
  if (sn_found) return "";
  return "box \"Quillmarsh Tavik\" \"Read system file failed[1].\\r\\nQuillmarsh Tavik will recover system files.\" "
         "-> OK\n";
}

class CrashedRotation : public ::testing::TestWithParam<Point> {};

TEST_P(CrashedRotation, EachCrashBootsAgainIntoAnOpenDiskAndAWorkingKeyAnswer) {
  const Point& point = GetParam();
  uint32_t calls = 0;
  {
    LogonMachine machine;
    Prepare(machine, point.road);
    machine.Arm(Fault{FaultAction::kCrash, point.operation, kNeverReached, 1, 0, kRecordFiles});
    ASSERT_EQ(machine.Boot(kUpToTheAccount), 0);
    calls = machine.CountedCalls();
  }
  ASSERT_GT(calls, 0u) << point.operation;
  std::printf("%s: %u points\n", point.operation, calls);
  for (uint32_t nth = point.part; nth <= calls; nth += point.parts) {
    SCOPED_TRACE(std::string(point.operation) + " #" + std::to_string(nth) + " of " + std::to_string(calls));
    LogonMachine machine;
    Prepare(machine, point.road);
    const std::string refused_sn = machine.OnDisk(std::string(kInstallFolder) + "\\MRVPUZSN").value_or("");
    std::map<std::string, std::string> disk;
    for (const auto& [path, plain] : ProtectedFiles()) disk[path] = machine.OnDisk(path).value_or("");
    machine.Arm(Fault{FaultAction::kCrash, point.operation, nth, 1, 0, kRecordFiles});
    EXPECT_NE(machine.Boot(kUpToTheAccount), 0) << "Winlogon crashed";
    machine.ClearFaults();

    ASSERT_EQ(machine.Boot(TokenLogOn() + ToldAfterTheCrash(machine) + FirstAccount()), 0);
    for (const auto& [path, plain] : ProtectedFiles()) {
      EXPECT_EQ(machine.Read(path), plain) << path;
      EXPECT_EQ(machine.OnDisk(path), disk.at(path)) << path;
    }
    const std::vector<std::string> folder = machine.InstallFolder();
    size_t refused_aside = 0;
    for (const std::string& name : folder) {
      EXPECT_FALSE(name.ends_with(".NEW") || name == "MRVKEYSW") << name << " outlived the logon's repair";
      const bool aside =
          (name.starts_with("MRVPUZSN") || name.starts_with("MRVENTFE")) && name.find('_') != std::string::npos;
      // On the rotation's road the crash always left a pair that opens: nothing had to be put aside.
      EXPECT_FALSE(point.road == Road::kRotation && aside) << name;
      if (aside && name.starts_with("MRVPUZSN")) {
        refused_aside += machine.OnDisk(std::string(kInstallFolder) + "\\" + name) == refused_sn ? 1 : 0;
      }
    }
    // The refused puzzle record is kept aside, whichever logon renamed it. (An EFKN whose puzzle record went aside
    // before a crash is replaced by the rebuilt pair: without its puzzle no answer can open it.)
    if (point.road == Road::kPutAside) {
      EXPECT_EQ(refused_aside, 1u);
    }

    const std::optional<std::string> sn = machine.OnDisk(std::string(kInstallFolder) + "\\MRVPUZSN");
    ASSERT_TRUE(sn.has_value());
    machine.UnplugToken();
    ASSERT_EQ(machine.Boot(KeyAnswerLogOn(machine.KeyAnswer(Hex(*sn)))), 0);
    EXPECT_EQ(machine.LastPuzzle(), Hex(*sn));
    for (const auto& [path, plain] : ProtectedFiles()) EXPECT_EQ(machine.Read(path), plain) << path;
    if (HasFailure()) break;
  }
}

// The file calls the records go through: opening (to read, to write a .NEW file, to make the marker), writing,
// flushing, renaming into place or aside, deleting.
INSTANTIATE_TEST_SUITE_P(KeyRecords, CrashedRotation, ::testing::ValuesIn(Points()), NameOf);

}  // namespace
}  // namespace tavik::scenarios
