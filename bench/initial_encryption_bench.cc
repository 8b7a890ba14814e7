// The install's first encryption pass through the machine's kernel host over a generated tree (by default 2,000
// files, 500 MiB, mixed sizes, 100 files a folder) on a machine's drive, against `cp -a` of the same tree on the
// same disk in the same run. Each round makes the tree afresh, syncs before each timed phase and alternates which
// phase goes first; the medians of the rounds are the figures: times, the throughput ratio (cp -a time over pass
// time: 1.00 = as fast as cp -a), the cost per file and per MiB, the CPU time of the kernel host and of this
// process, and the host's peak memory during the pass.
//   initial_encryption_bench [--files N] [--mib M | --file-kib K] [--per-folder F] [--rounds R] [--no-flushes]
// One file of 300 MiB: --files 1 --mib 300; 10,000 files of 4 KiB in one folder: --files 10000 --file-kib 4
// --per-folder 10000.
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
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

void MakeTree(const std::vector<size_t>& sizes, size_t per_folder) {
  std::mt19937 random(7);
  std::string bytes;
  CreateDirectoryA("D:\\tree", nullptr);
  for (size_t i = 0; i < sizes.size(); ++i) {
    const std::string folder = "D:\\tree\\f" + std::to_string(i / per_folder);
    if (i % per_folder == 0) CreateDirectoryA(folder.c_str(), nullptr);
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

// CPU seconds (user and system) of this process.
double OwnCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

pid_t HostPid(const fs::path& root) {
  std::ifstream in(root / "kernel" / "pid");
  long pid = 0;
  in >> pid;
  return static_cast<pid_t>(pid);
}

// CPU seconds of the kernel host so far (fields 14 and 15 of its stat line).
double HostCpuSeconds(pid_t host) {
  std::ifstream in("/proc/" + std::to_string(host) + "/stat");
  std::string line;
  std::getline(in, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  uint64_t user = 0, system = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) user = std::stoull(field);
    if (i == 15) system = std::stoull(field);
  }
  return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The host's peak resident memory in MiB since the last reset (VmHWM), and the reset.
double HostPeakMiB(pid_t host) {
  std::ifstream in("/proc/" + std::to_string(host) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024;
  }
  return 0;
}
void ResetHostPeak(pid_t host) { std::ofstream("/proc/" + std::to_string(host) + "/clear_refs") << "5"; }

struct Round {
  double copy_seconds = 0;
  double pass_seconds = 0;
  double host_cpu = 0;
  double own_cpu = 0;
  double host_peak_mib = 0;
};

double TimeCopy(const std::string& tree) {
  ::sync();
  const Clock::time_point start = Clock::now();
  const std::string copy = "cp -a '" + tree + "' '" + tree + "-copy' && sync";
  if (std::system(copy.c_str()) != 0) std::exit(1);
  const double seconds = Seconds(start);
  fs::remove_all(tree + "-copy");
  return seconds;
}

void TimePass(const fs::path& root, bool durable, Round* round) {
  ::sync();
  const pid_t host = HostPid(root);
  ResetHostPeak(host);
  const double host_before = HostCpuSeconds(host);
  const double own_before = OwnCpuSeconds();
  SilentView view;
  CInitEncrypt engine(&view);
  engine.set_durable_commits(durable);
  const Clock::time_point start = Clock::now();
  engine.RunFirstPass();
  // The pass is done when its data is on the disk, as cp's is after its sync.
  xp::ntos::host::WriteBackKernelCache(root);
  ::sync();
  round->pass_seconds = Seconds(start);
  round->host_cpu = HostCpuSeconds(host) - host_before;
  round->own_cpu = OwnCpuSeconds() - own_before;
  round->host_peak_mib = HostPeakMiB(host);
}

void FreshTree(const fs::path& root, const std::vector<size_t>& sizes, size_t per_folder) {
  RemoveTree("D:\\tree");
  DeleteFileA("C:\\Program Files\\Quillmarsh\\Tavik\\XP\\MRVENCHS");
  DeleteFileA("C:\\Program Files\\Quillmarsh\\Tavik\\XP\\_MRVENCHIST.BAK");
  MakeTree(sizes, per_folder);
  // The tree is on the disk, as a user's files are long before an install, and cp reads it from there.
  xp::ntos::host::WriteBackKernelCache(root);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  size_t files = 2000;
  size_t mib = 500;
  size_t file_kib = 0;  // 0: mixed sizes making up --mib
  size_t per_folder = 100;
  int rounds = 5;
  bool durable = true;
  for (int i = 1; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--no-flushes") == 0) durable = false;
    if (!has_value) continue;
    if (std::strcmp(argv[i], "--files") == 0) files = std::strtoul(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--mib") == 0) mib = std::strtoul(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--file-kib") == 0) file_kib = std::strtoul(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--per-folder") == 0) per_folder = std::max<size_t>(1, std::strtoul(argv[i + 1], nullptr, 10));
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
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

  const std::vector<size_t> sizes =
      file_kib != 0 ? std::vector<size_t>(files, file_kib << 10) : FileSizes(files, mib << 20);
  double total_mib = 0;
  for (size_t size : sizes) total_mib += static_cast<double>(size) / (1 << 20);
  const std::string tree = (root / "drives/D/tree").string();
  std::printf("tree: %zu files, %.1f MiB, %zu a folder; %d rounds, %s\n", files, total_mib, per_folder, rounds,
              durable ? "durable commits" : "without the flushes");
  std::printf("round  first  cp -a s  pass s  ratio  ms/file  ms/MiB  host cpu s  own cpu s  host peak MiB\n");
  std::vector<Round> results;
  for (int r = 0; r < rounds; ++r) {
    FreshTree(root, sizes, per_folder);
    Round round;
    const bool copy_first = r % 2 == 0;
    if (copy_first) round.copy_seconds = TimeCopy(tree);
    TimePass(root, durable, &round);
    if (!copy_first) round.copy_seconds = TimeCopy(tree);
    results.push_back(round);
    std::printf("%5d  %-5s  %7.2f  %6.2f  %5.3f  %7.2f  %6.2f  %10.2f  %9.2f  %13.0f\n", r + 1,
                copy_first ? "cp" : "pass", round.copy_seconds, round.pass_seconds,
                round.copy_seconds / round.pass_seconds, 1000 * round.pass_seconds / static_cast<double>(files),
                1000 * round.pass_seconds / total_mib, round.host_cpu, round.own_cpu,
                round.host_peak_mib);
    std::fflush(stdout);
  }
  const auto median = [&](auto field) {
    std::vector<double> values;
    for (const Round& round : results) values.push_back(field(round));
    return Median(values);
  };
  const auto ratios = [&] {
    std::vector<double> values;
    for (const Round& round : results) values.push_back(round.copy_seconds / round.pass_seconds);
    std::sort(values.begin(), values.end());
    return values;
  }();
  const double pass = median([](const Round& x) { return x.pass_seconds; });
  std::printf("median        %7.2f  %6.2f  %5.3f  %7.2f  %6.2f  %10.2f  %9.2f  %13.0f\n",
              median([](const Round& x) { return x.copy_seconds; }), pass, Median(ratios),
              1000 * pass / static_cast<double>(files), 1000 * pass / total_mib,
              median([](const Round& x) { return x.host_cpu; }), median([](const Round& x) { return x.own_cpu; }),
              median([](const Round& x) { return x.host_peak_mib; }));
  std::printf("ratio min / median / max: %.3f / %.3f / %.3f\n", ratios.front(), Median(ratios), ratios.back());
  std::string ignored;
  xp::ntos::host::StopKernelHost(root, &ignored);
  fs::remove_all(root);
  return 0;
}
