// The removal's crash harness: diskunseal's first start, its second start, and diskseal's give-up of an install
// crashed in its first pass, each interrupted at each point in turn (a crash right after the nth call that changes
// a file, the registry or the services; a power loss right after the nth write that reached the kernel), then real
// boots, each start RunOnce brings answered as the machine's state says, until none comes. Each interrupted removal
// must end as one that never was: every file plain and equal to its original byte for byte, none under a temporary
// name, the registry and the token cleaned, and the one file that cannot be decrypted left encrypted, listed, and
// recoverable with the key its report holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "crash_points.h"
#include "setupcore.h"
#include "uninstall_machine.h"

namespace tavik::scenarios {
namespace {

enum class Start { kFirst, kSecond, kGiveUp };

const char* StartName(Start start) {
  switch (start) {
    case Start::kFirst: return "FirstStart";
    case Start::kSecond: return "SecondStart";
    case Start::kGiveUp: return "GiveUp";
  }
  return "";
}

void PrintTo(Start start, std::ostream* out) { *out << StartName(start); }

// A removal brought up to the start that is to be interrupted.
std::unique_ptr<UninstallMachine> ReadyFor(Start start) {
  auto machine = std::make_unique<UninstallMachine>(start == Start::kGiveUp);
  if (start == Start::kSecond && machine->RunDiskunseal() != 1) throw std::runtime_error("the first start failed");
  if (start != Start::kFirst && !machine->BootWithoutRunOnce()) throw std::runtime_error("the boot failed");
  return machine;
}

int RunStart(UninstallMachine& machine, Start start,
             const std::optional<xp::machine::Fault>& interruption = std::nullopt) {
  switch (start) {
    case Start::kFirst:
    case Start::kSecond: return machine.RunDiskunseal(interruption);
    case Start::kGiveUp: return machine.RunGiveUp(interruption);
  }
  return -1;
}

// The end of the UI journal: what the programs showed last, and what the user did.
std::string LastUiLines(UninstallMachine& machine) {
  const std::vector<std::string> lines = machine.machine().UiJournal();
  std::string text;
  for (size_t line = lines.size() > 30 ? lines.size() - 30 : 0; line < lines.size(); ++line) text += lines[line] + "\n";
  return text;
}

// A state without what differs from one install to the next: the stuck file's ciphertext and the key, each checked
// on its own; and, for the give-up, without the token's S1 (see ExpectRemoved).
RemovalState WithoutTheKey(RemovalState state, const UninstallMachine& machine) {
  state.files.erase(machine.stuck_file());
  state.report_key.clear();
  if (machine.gives_up()) state.registry.erase("token S1 record");
  return state;
}

const RemovalState& Undisturbed(Start start) {
  static std::map<Start, RemovalState> states;
  if (!states.count(start)) {
    const std::unique_ptr<UninstallMachine> machine = ReadyFor(start);
    RunStart(*machine, start);
    machine->RunToTheEnd(4);
    states[start] = WithoutTheKey(machine->State(), *machine);
  }
  return states.at(start);
}

// What every removal must leave, whichever way it went.
void ExpectRemoved(const UninstallMachine& machine, const RemovalState& state) {
  for (const auto& [path, digest] : state.files) {
    EXPECT_EQ(path.find(".H0K"), std::string::npos) << path << " is left under its temporary name";
    EXPECT_EQ(path.find(".H1K"), std::string::npos) << path << " is left under its temporary name";
  }
  for (const UserFile& file : InstallMachine::UserFiles()) {
    if (file.path == machine.stuck_file()) continue;
    const auto found = state.files.find(file.path);
    ASSERT_NE(found, state.files.end()) << file.path << " is lost";
    EXPECT_EQ(found->second.substr(found->second.find(' ') + 1), Digest(file.content)) << file.path << " is not plain";
  }
  // The file that did not decrypt is still whole: the report's key recovers it.
  EXPECT_EQ(state.report_key, machine.installed_key());
  std::string stuck = OnDisk(machine.stuck_file()).value_or("");
  unsigned char cfk[16];
  ASSERT_EQ(state.report_key.size(), 32u);
  for (int byte = 0; byte < 16; ++byte) {
    cfk[byte] = static_cast<unsigned char>(std::stoi(state.report_key.substr(2 * byte, 2), nullptr, 16));
  }
  unsigned char xcfk[33] = {};
  expand_cfk(cfk, xcfk);
  _dec(reinterpret_cast<unsigned char*>(stuck.data()), static_cast<unsigned int>(stuck.size()), xcfk, 33);
  const auto original = std::find_if(InstallMachine::UserFiles().begin(), InstallMachine::UserFiles().end(),
                                     [&](const UserFile& file) { return file.path == machine.stuck_file(); });
  ASSERT_NE(original, InstallMachine::UserFiles().end());
  EXPECT_EQ(Digest(stuck), Digest(original->content)) << "the report's key does not recover " << original->path;
  EXPECT_NE(state.lists.at(machine.gives_up() ? "MorvelSpecials.txt" : "MorvelSpecials1.txt")
                .find(machine.stuck_file()),
            std::string::npos)
      << "the file that did not decrypt is listed";
  EXPECT_EQ(state.registry.at("SOFTWARE\\Quillmarsh\\morvelFlag\\Decrypted"), std::string("1:1\0", 4));
  EXPECT_NE(state.registry.at("product key"), "0") << "the product's registry tree is removed";
  EXPECT_EQ(state.registry.at("SYSTEM\\CurrentControlSet\\Services\\Morvel\\Type"), "-") << "the service is removed";
  // The give-up writes its flag "1" before the token forgets S1, so that a run stopped before the flag can still
  // decrypt; one killed right between the two leaves S1 on the token, with the disk plain and the key reported.
  if (!machine.gives_up()) {
    EXPECT_NE(state.registry.at("token S1 record"), "0") << "the token's S1 is erased";
  }
}

class UndisturbedRemoval : public ::testing::TestWithParam<Start> {};

TEST_P(UndisturbedRemoval, EndsPlainWithTheKeyReported) {
  const Start start = GetParam();
  const std::unique_ptr<UninstallMachine> machine = ReadyFor(start);
  // Every start ends with exit code 1, diskunseal's second one after its hand-over too.
  EXPECT_EQ(RunStart(*machine, start), 1);
  ASSERT_TRUE(machine->RunToTheEnd(4));
  EXPECT_EQ(machine->started_again(), 0);
  ExpectRemoved(*machine, machine->State());
}

INSTANTIATE_TEST_SUITE_P(Removal, UndisturbedRemoval, ::testing::Values(Start::kFirst, Start::kSecond, Start::kGiveUp),
                         [](const ::testing::TestParamInfo<Start>& info) { return StartName(info.param); });

// The calls of each start after which a crash leaves a different state, each with how many entries its points are
// spread over (about a dozen points an entry), and the entries of the power losses after its kernel writes. The
// first start only writes the registry, which no power loss takes back.
struct StartPoints {
  std::vector<CrashOperation> crashes;
  uint32_t kernel_write_parts;
};

const StartPoints& PointsOf(Start start) {
  static const std::map<Start, StartPoints> points = {
      {Start::kFirst, {{{"RegSetValueExA", 1}}, 0}},
      {Start::kSecond,
       {{{"CreateFileA", 6}, {"WriteFile", 5}, {"FlushFileBuffers", 2}, {"MoveFileA", 1}, {"DeleteFileA", 1},
         {"SetFileAttributesA", 1}, {"SetFileTime", 1}, {"DeviceIoControl", 1}, {"EncryptFileA", 1}, {"CopyFileA", 1},
         {"RegSetValueExA", 1}, {"RegDeleteValueA", 1}, {"RegDeleteKeyA", 1}, {"DeleteService", 1}},
        5}},
      {Start::kGiveUp,
       {{{"CreateFileA", 2}, {"WriteFile", 1}, {"FlushFileBuffers", 1}, {"MoveFileA", 1}, {"DeleteFileA", 1},
         {"SetFileAttributesA", 1}, {"SetFileTime", 1}, {"DeviceIoControl", 1}, {"CopyFileA", 1},
         {"RegSetValueExA", 1}},
        1}},
  };
  return points.at(start);
}

struct Interruption {
  Start start;
  Share share;
};

void PrintTo(const Interruption& interruption, std::ostream* out) {
  *out << StartName(interruption.start) << ", ";
  PrintTo(interruption.share, out);
}

std::vector<Interruption> Interruptions() {
  std::vector<Interruption> all;
  for (const Start start : {Start::kFirst, Start::kSecond, Start::kGiveUp}) {
    const StartPoints& points = PointsOf(start);
    for (const Share& share : SharesOf(points.crashes, points.kernel_write_parts)) all.push_back({start, share});
  }
  return all;
}

class InterruptedRemoval : public ::testing::TestWithParam<Interruption> {};

TEST_P(InterruptedRemoval, EachInterruptionResumesToTheUndisturbedEnd) {
  const auto& [start, share] = GetParam();
  const RemovalState& undisturbed = Undisturbed(start);
  uint32_t calls = 0;
  {
    const std::unique_ptr<UninstallMachine> machine = ReadyFor(start);
    RunStart(*machine, start, CountingFault(share));
    calls = CountedCalls(machine->root(), share);
  }
  ASSERT_GT(calls, 0u) << "the start makes no such call";
  ForEachPointOfShare(share, calls, [&](uint32_t nth) {
    const std::unique_ptr<UninstallMachine> machine = ReadyFor(start);
    EXPECT_EQ(RunStart(*machine, start, FaultAt(share, nth)), kCrashedExitCode);
    machine->ClearInterruption();
    ASSERT_TRUE(machine->RunToTheEnd(6)) << LastUiLines(*machine);
    const RemovalState state = machine->State();
    const RemovalState comparable = WithoutTheKey(state, *machine);
    EXPECT_EQ(comparable.files, undisturbed.files);
    EXPECT_EQ(comparable.lists, undisturbed.lists);
    EXPECT_EQ(comparable.registry, undisturbed.registry);
    ExpectRemoved(*machine, state);
  });
}

INSTANTIATE_TEST_SUITE_P(Removal, InterruptedRemoval, ::testing::ValuesIn(Interruptions()),
                         [](const ::testing::TestParamInfo<Interruption>& info) {
                           return std::string(StartName(info.param.start)) + "_" +
                                  NameOf(::testing::TestParamInfo<Share>(info.param.share, info.index));
                         });

}  // namespace
}  // namespace tavik::scenarios
