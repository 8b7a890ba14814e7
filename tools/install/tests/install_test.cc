// Install on a machine with a driver folder C:\drv: its INF's section TOKENIO.Dev queued and committed, the lines
// it prints and its exit code, for the folder with and without its closing '\', targets in place or newer, and
// each way the INF, its section, a source file or a step can fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "built_programs.h"
#include "run_program.h"
#include "scratch_machine.h"
#include "xp/faults.h"
#include "xp/pnp.h"

namespace {

namespace fs = std::filesystem;

// Comments, a quoted ';', a continued line, %strings% and relative source paths (which the copy style ignores).
constexpr char kInf[] =
    "; the token's driver\r\n"
    "[Version]\r\n"
    "Signature=\"$CHICAGO$\"\r\n"
    "Class=USB\r\n"
    "ClassGUID={36FC9E60-C465-11CF-8056-444553540000}\r\n"
    "\r\n"
    "[SourceDisksNames]\r\n"
    "1 = %Disk%,,,\\relative\\ignored\r\n"
    "[SourceDisksFiles]\r\n"
    "tok.sys = 1,sub\\ignored\r\n"
    "tokhelp.dll = 1\r\n"
    "[DestinationDirs]\r\n"
    "DefaultDestDir = 12\r\n"
    "Helper.Files = 11,%Sub%   ; below system32\r\n"
    "[TOKENIO.Dev]\r\n"
    "CopyFiles = TOKENIO.Files, \\\r\n"
    "            Helper.Files\r\n"
    "[TOKENIO.Files]\r\n"
    "tok.sys\r\n"
    "[Helper.Files]\r\n"
    "tokhelp.dll\r\n"
    "[Strings]\r\n"
    "Disk = \"Token disk; one\"\r\n"
    "Sub = \"tavik\"\r\n";

// A file with a version record: the VS_FIXEDFILEINFO signature, its structure version, then the file version.
std::string Versioned(const std::string& text, uint32_t ms, uint32_t ls) {
  std::string image = text;
  image.resize((image.size() + 3) / 4 * 4, '\0');
  for (const uint32_t field : {0xFEEF04BDu, 0x00010000u, ms, ls}) {
    for (int shift = 0; shift < 32; shift += 8) image.push_back(static_cast<char>(field >> shift));
  }
  return image;
}

const std::string kDriver = Versioned("the token's driver", 0x00010000, 0x00000002);
const std::string kHelper = "a helper without a version record";

const char kPlainRun[] =
    "C:\\drv tok.infAfter SetupDiGetINFClass 1 0 \n C:\\drv\\tok.inf C:\\drvAfter SetupOpenFileQ \n"
    "After SetupCommitFileQueue 1 0 \n";

class InstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Drive("drv"));
    Write("drv/tok.inf", kInf);
    Write("drv/tok.sys", kDriver);
    Write("drv/tokhelp.dll", kHelper);
  }
  void TearDown() override {
    xp::machine::ClearFaults();
    xp::pnp::SetInstallPending(false);
  }

  fs::path Drive(const std::string& path) const { return machine_.root() / "drives" / "C" / path; }
  void Write(const std::string& path, const std::string& content) {
    std::ofstream(Drive(path), std::ios::binary) << content;
  }
  // What the disk holds once the machine's kernel wrote its cache back.
  std::string Read(const std::string& path) const {
    machine_.WriteBack();
    std::ifstream file(Drive(path), std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
  }
  static xp::test::ProgramRun Install(const std::vector<std::string>& arguments) {
    return xp::test::RunProgram(xp::test::BuildProgram("install_tool"), arguments, xp::test::Stderr::kApart);
  }
  static void Fail(const char* operation, uint32_t error) {
    xp::machine::Fault fault;
    fault.operation = operation;
    fault.error = error;
    xp::machine::ArmFault(fault);
  }
  bool NothingCopied() const {
    return !fs::exists(Drive("WINDOWS/system32/drivers/tok.sys")) && !fs::exists(Drive("WINDOWS/system32/tavik"));
  }

  const xp::test::ScratchMachine machine_;
};

TEST_F(InstallTest, CopiesTheSectionsFilesWithOrWithoutTheFoldersClosingBackslash) {
  for (const std::string folder : {"C:\\drv", "C:\\drv\\"}) {
    SCOPED_TRACE(folder);
    fs::remove_all(Drive("WINDOWS/system32/tavik"));
    fs::remove(Drive("WINDOWS/system32/drivers/tok.sys"));
    const xp::test::ProgramRun run = Install({folder, "tok.inf"});
    EXPECT_EQ(run.output, folder +
                              " tok.infAfter SetupDiGetINFClass 1 0 \n C:\\drv\\tok.inf C:\\drvAfter "
                              "SetupOpenFileQ \nAfter SetupCommitFileQueue 1 0 \n");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(Read("WINDOWS/system32/drivers/tok.sys"), kDriver);
    EXPECT_EQ(Read("WINDOWS/system32/tavik/tokhelp.dll"), kHelper);
  }
}

TEST_F(InstallTest, ReplacesAnOlderOrEqualTargetAndKeepsANewerOne) {
  struct Target {
    const char* name;
    std::string content;
    bool replaced;
  };
  const Target targets[] = {
      {"older", Versioned("older", 0x00010000, 0x00000001), true},
      {"equal", Versioned("equal", 0x00010000, 0x00000002), true},
      {"newer", Versioned("newer", 0x00010000, 0x00000003), false},
      {"without a version", "no record", true},
  };
  for (const Target& target : targets) {
    SCOPED_TRACE(target.name);
    Write("WINDOWS/system32/drivers/tok.sys", target.content);
    const xp::test::ProgramRun run = Install({"C:\\drv", "tok.inf"});
    EXPECT_EQ(run.output, kPlainRun);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(Read("WINDOWS/system32/drivers/tok.sys"), target.replaced ? kDriver : target.content);
    EXPECT_EQ(Read("WINDOWS/system32/tavik/tokhelp.dll"), kHelper);
  }
}

TEST_F(InstallTest, ReportsEachFailedStepGoesOnAndExitsTwo) {
  struct Case {
    const char* name;
    std::string inf;  // the INF's text; empty: no INF file
    const char* inf_name;
    std::string output;
  };
  const char* const kMissingSource = "missing.inf";
  const Case cases[] = {
      {"no INF", "", "none.inf",
       "C:\\drv none.infAfter SetupDiGetINFClass 0 2 \n C:\\drv\\none.inf C:\\drvSetupOpenInfFile failed pLine = 0 "
       "error = 2 \nAfter SetupOpenFileQ \nAfter SetupCommitFileQueue 1 0 \n"},
      {"a syntax error on line 3", "[Version]\r\nSignature=\"$CHICAGO$\"\r\n[Strings\r\n", "bad.inf",
       "C:\\drv bad.infAfter SetupDiGetINFClass 0 -536870911 \n C:\\drv\\bad.inf C:\\drvSetupOpenInfFile failed "
       "pLine = 3 error = -536870911 \nAfter SetupOpenFileQ \nAfter SetupCommitFileQueue 1 0 \n"},
      {"no TOKENIO.Dev section", "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=USB\r\n", "empty.inf",
       "C:\\drv empty.infAfter SetupDiGetINFClass 1 0 \n C:\\drv\\empty.inf C:\\drvAfter SetupOpenFileQ \nAfter "
       "SetupInstallFilesFromInfSection 0 e0000101 \nAfter SetupCommitFileQueue 1 0 \n"},
      {"a source file missing",
       std::string(kInf) + "[Helper.Files]\r\nabsent.dll\r\n[SourceDisksFiles]\r\n"
                           "absent.dll=1\r\n",
       kMissingSource,
       "C:\\drv missing.infAfter SetupDiGetINFClass 1 0 \n C:\\drv\\missing.inf C:\\drvAfter SetupOpenFileQ \n"
       "After SetupCommitFileQueue 0 2 \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.inf.empty()) Write(std::string("drv/") + c.inf_name, c.inf);
    const xp::test::ProgramRun run = Install({"C:\\drv", c.inf_name});
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_TRUE(NothingCopied()) << "a failed commit copies nothing";
  }
}

TEST_F(InstallTest, AStepWhoseInputFailedIsSkipped) {
  Fail("SetupOpenFileQueue", ERROR_NOT_ENOUGH_MEMORY);
  xp::test::ProgramRun run = Install({"C:\\drv", "tok.inf"});
  EXPECT_EQ(run.output,
            "C:\\drv tok.infAfter SetupDiGetINFClass 1 0 \n C:\\drv\\tok.inf C:\\drvSetupOpenFileQ returned errof 8 \n"
            "After SetupOpenFileQ \n");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_TRUE(NothingCopied());

  xp::machine::ClearFaults();
  Fail("SetupInitDefaultQueueCallback", ERROR_NOT_ENOUGH_MEMORY);
  run = Install({"C:\\drv", "tok.inf"});
  EXPECT_EQ(run.output,
            "C:\\drv tok.infAfter SetupDiGetINFClass 1 0 \n C:\\drv\\tok.inf C:\\drvAfter SetupOpenFileQ \n"
            "After SetupInitDefaultQueueCallback 8 \n");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_TRUE(NothingCopied());
}

TEST_F(InstallTest, APendingInstallationStopsItBeforeTheArgumentsAreLookedAt) {
  xp::pnp::SetInstallPending(true);
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, {"C:\\drv", "tok.inf"}}) {
    const xp::test::ProgramRun run = Install(arguments);
    EXPECT_EQ(run.output, "DEVINST_PROGRESS");
    EXPECT_EQ(run.exit_code, 3);
  }
  EXPECT_TRUE(NothingCopied());
  xp::pnp::SetInstallPending(false);
  EXPECT_EQ(Install({"C:\\drv", "tok.inf"}).exit_code, 0);
}

TEST_F(InstallTest, UsageErrors) {
  const std::string long_folder = "C:\\" + std::string(245, 'd');  // with "\tok.inf": 256 characters
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, {"C:\\drv"}, {long_folder, "tok.inf"}, {long_folder + "\\", "tok.inf"}}) {
    const xp::test::ProgramRun run = Install(arguments);
    EXPECT_EQ(run.output, "usage: install <Driver files Directory Name> <inf file name>\n");
    EXPECT_EQ(run.exit_code, 1);
  }
  EXPECT_EQ(Install({long_folder.substr(0, long_folder.size() - 1), "tok.inf"}).exit_code, 2)
      << "255 characters fit (the folder does not exist)";
}

TEST_F(InstallTest, WithoutTheSetupLibrarysHandleTheProbeSaysSoAndNothingIsPending) {
  Fail("GetModuleHandleA", ERROR_MOD_NOT_FOUND);
  xp::pnp::SetInstallPending(true);
  const xp::test::ProgramRun run = Install({"C:\\drv", "tok.inf"});
  EXPECT_EQ(run.output, std::string("Failed to gethandle setupapi.dll") + kPlainRun);
  EXPECT_EQ(run.exit_code, 0);
}

}  // namespace
