// The install's first encryption pass over a generated tree (by default 2,000 files, 500 MiB, mixed sizes) on a
// machine's drive, against `cp -a` of the same tree on the same disk in the same run, with and without the
// durability flushes of each file's commit. Prints the times and the ratios.
//   initial_encryption_bench [--files N] [--mib M]
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "host_control.h"
#include "install/init_encrypt.h"
#include "install/install_view.h"
#include "setupcore.h"
#include "tokenio.h"
#include "xp/machine.h"
#include "xp/registry.h"
#include "xp/usbtoken.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class SilentView : public tavik::diskseal::InstallView {
 public:
  CWnd* Window() override { return nullptr; }
  std::string Password() override { return "secret12"; }
  void AppendText(const std::string&) override {}
  void ShowCurrentFile(const std::string&) override {}
  void ShowProgressBar(bool) override {}
  void StartProgress(uint16_t) override {}
  void StepProgress() override {}
  void EnterEncryptionLook() override {}
};

void Put(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

void SetFlagValue(const char* name, const std::string& text) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\morvelFlag", 0, nullptr, REG_OPTION_NON_VOLATILE,
                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

// The install's state after its key phases: the token bound, its password and S1 set, the key records written.
void PrepareInstall() {
  xp::registry::SeedFreshInstallation();
  SetFlagValue("Decrypted", "4");
  const std::string folder = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";
  CreateDirectoryA("C:\\Program Files\\Quillmarsh", nullptr);
  CreateDirectoryA("C:\\Program Files\\Quillmarsh\\Tavik", nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  Put(folder + "\\_MRVBADFTYPES", ".lnk\n.sys\n.bat\n.manifest\n");
  Put(folder + "\\_MRVBADFNAMES", "\\pagefile.sys\n");
  Put(folder + "\\_MRVMYNEFL", "C:\\Program Files\\Quillmarsh\n");
  _construct_morvel_sys_files(true);
  unsigned char esn[128];
  GetESN(esn);
  SetFlagValue("ESN", std::string(reinterpret_cast<char*>(esn), 8));
  BurnPwd("secret12");
  unsigned char s1[17], sn[17], cfk[17], kn[17], xcfk[33] = {}, expanded_kn[32], efkn[33] = {};
  char s1_hex[33], sn_hex[33], response[33];
  generate_s1(s1, s1_hex);
  write_nubo_s1(s1, 16);
  expandBin(s1, 16, s1_hex);
  generate_cfk(s1_hex, cfk, response);
  expand_cfk(cfk, xcfk);
  generate_sn(sn, sn_hex);
  write_hd_sn(sn, 16, 0, 0);
  generate_kn(sn_hex, response, kn);
  expand_kn(kn, 16, expanded_kn);
  std::memcpy(efkn, xcfk, 32);
  _enc(efkn, 32, expanded_kn, 32);
  write_hd_efkn(efkn, 32);
  write_hd_install_state(300);
}

// Mixed sizes: mostly small files, some of a few hundred KiB, a few of several MiB, scaled to the total.
std::vector<size_t> FileSizes(size_t files, size_t total_bytes) {
  std::mt19937 random(42);
  std::vector<double> weights(files);
  double sum = 0;
  for (double& weight : weights) {
    const uint32_t kind = random() % 100;
    weight = kind < 70 ? 1 + random() % 64 : kind < 95 ? 64 + random() % 960 : 4096 + random() % 4096;
    sum += weight;
  }
  std::vector<size_t> sizes;
  for (double weight : weights)
    sizes.push_back(static_cast<size_t>(weight / sum * static_cast<double>(total_bytes)) + 1);
  return sizes;
}

void MakeTree(const std::vector<size_t>& sizes) {
  std::mt19937 random(7);
  std::string bytes;
  CreateDirectoryA("D:\\tree", nullptr);
  for (size_t i = 0; i < sizes.size(); ++i) {
    const std::string folder = "D:\\tree\\f" + std::to_string(i / 100);
    if (i % 100 == 0) CreateDirectoryA(folder.c_str(), nullptr);
    bytes.resize(sizes[i]);
    for (char& c : bytes) c = static_cast<char>(random());
    Put(folder + "\\file" + std::to_string(i) + ".dat", bytes);
  }
}

// Removes a folder of the machine and everything in it through the machine, so its kernel forgets it too.
void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double TimePass(bool durable) {
  SilentView view;
  CInitEncrypt engine(&view);
  engine.set_durable_commits(durable);
  const Clock::time_point start = Clock::now();
  engine.RunFirstPass();
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  size_t files = 2000;
  size_t mib = 500;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--files") == 0) files = std::strtoul(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--mib") == 0) mib = std::strtoul(argv[i + 1], nullptr, 10);
  }
  std::string pattern = (fs::temp_directory_path() / "initial-encryption-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path root = pattern;
  xp::machine::MachineOptions options;
  xp::machine::DriveOptions d;
  d.letter = 'D';
  d.volume_serial = 0x1234ABCD;
  options.drives.push_back(d);
  xp::machine::Create(root, options);
  xp::usbtoken::Provision(root, 1);
  ::setenv("XPMACHINE", root.c_str(), 1);
  ::setenv("XPMACHINE_CLOCK", "virtual", 1);
  PrepareInstall();

  const std::vector<size_t> sizes = FileSizes(files, mib << 20);
  MakeTree(sizes);
  // The tree is on the disk, as a user's files are long before an install, and cp reads it from there.
  xp::ntos::host::WriteBackKernelCache(root);
  const std::string tree = (root / "drives/D/tree").string();
  Clock::time_point start = Clock::now();
  const std::string copy = "cp -a '" + tree + "' '" + tree + "-copy' && sync";
  if (std::system(copy.c_str()) != 0) return 1;
  const double copy_seconds = Seconds(start);
  fs::remove_all(tree + "-copy");

  const double durable_seconds = TimePass(true);
  // The same tree again, plain, for the run without flushes.
  RemoveTree("D:\\tree");
  DeleteFileA("C:\\Program Files\\Quillmarsh\\Tavik\\XP\\MRVENCHS");
  DeleteFileA("C:\\Program Files\\Quillmarsh\\Tavik\\XP\\_MRVENCHIST.BAK");
  MakeTree(sizes);
  xp::ntos::host::WriteBackKernelCache(root);
  const double plain_seconds = TimePass(false);

  std::printf("tree: %zu files, %zu MiB\n", files, mib);
  std::printf("cp -a:                             %8.2f s\n", copy_seconds);
  std::printf("first pass, durable commits:       %8.2f s  (%.2f x cp -a)\n", durable_seconds,
              durable_seconds / copy_seconds);
  std::printf("first pass, without the flushes:   %8.2f s  (%.2f x cp -a)\n", plain_seconds,
              plain_seconds / copy_seconds);
  std::string ignored;
  xp::ntos::host::StopKernelHost(root, &ignored);
  fs::remove_all(root);
  return 0;
}
