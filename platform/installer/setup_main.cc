// tavik_setup [SOURCE]: the outside installer. Copies the deliverables from SOURCE (the folder it runs from, as a
// setup program runs from its disc) into the machine under their Windows names, with the token's driver folder
// beside them, leaves the installer's lists in the install folder, writes the web-service settings, makes the flag
// key with "Decrypted" = "4" and "ISLink", and starts diskseal without arguments.
// The flag key comes last: an install that stops before it is simply run again. It then waits for diskseal, as a
// setup program waits for the program it hands over to (a person at the console answers diskseal meanwhile); exit
// code 0 once diskseal has ended.
#include <cstdio>
#include <filesystem>
#include <string>

#include "installer_private.h"
#include "xp/machine.h"

namespace {

namespace fs = std::filesystem;
using namespace xp::installer;

// Extensions the install never encrypts: exactly those the driver never decrypts.
constexpr char kBadTypes[] = ".lnk\n.sys\n.bat\n.manifest\n";
// No file is left plain by name.
constexpr char kBadNames[] = "";
// The install folder holds the key records, the lists and the programs: it must stay plain.
constexpr char kExtraExclusions[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\n";

int Refuse(const std::string& text) {
  MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
  return 1;
}

fs::path OwnFolder() {
  std::error_code error;
  return fs::read_symlink("/proc/self/exe", error).parent_path();
}

bool CopyDeliverables(const fs::path& source) {
  for (const Deliverable& deliverable : Deliverables()) {
    const fs::path built = source / deliverable.built;
    if (!fs::exists(built)) {
      std::fprintf(stderr, "tavik_setup: %s is not built; %s skipped\n", built.c_str(), deliverable.windows_name);
      xp::machine::Journal("setup skipped " + deliverable.WindowsPath() + " (not built)");
      continue;
    }
    std::string error;
    if (!MakeFolders(deliverable.folder) || !CopyBuiltFile(built, deliverable.WindowsPath(), &error)) {
      std::fprintf(stderr, "tavik_setup: cannot copy %s: %s\n", built.c_str(), error.c_str());
      return false;
    }
    xp::machine::Journal("setup copied " + deliverable.WindowsPath());
  }
  return true;
}

bool WriteLists() {
  const std::string folder = std::string(kInstallFolder) + "\\";
  return MakeFolders(kInstallFolder) && WriteMachineFile(folder + "_MRVBADFTYPES", kBadTypes) &&
         WriteMachineFile(folder + "_MRVBADFNAMES", kBadNames) &&
         WriteMachineFile(folder + "_MRVMYNEFL", kExtraExclusions);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: tavik_setup [FOLDER OF THE BUILT DELIVERABLES]\n");
    return 2;
  }
  if (DiskMayHoldEncryptedFiles()) {
    return Refuse("Quillmarsh Tavik is already installed and your hard drive(s) may hold encrypted files.\r\n"
                  "Please run uninstall from Start Menu before installing again.");
  }
  const fs::path source = argc == 2 ? fs::path(argv[1]) : OwnFolder();
  if (!CopyDeliverables(source) || !WriteDriverFolder()) {
    return Refuse("Setup could not copy the files of Quillmarsh Tavik.");
  }
  if (!WriteLists()) return Refuse("Setup could not write the lists of Quillmarsh Tavik.");
  if (!WriteServerSettings() || !CreateFlagKey()) {
    return Refuse("Setup could not write the registry data of Quillmarsh Tavik.");
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(kDiskseal, nullptr, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr,
                      &startup, &process)) {
    return Refuse("Setup could not start " + std::string(kDiskseal) + " (error " + std::to_string(GetLastError()) +
                  ").");
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);
  return 0;
}
