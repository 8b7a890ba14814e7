// What the kernel path costs a program: a protected file (the filter holding the key) read and written through the
// machine's kernel host in 1 MiB pieces, each phase against plain host I/O of a copy of the file's bytes beside it
// (the host never writes beneath the machine's cache) in the same round. Three pairs a round:
//   warm read   the file read through the machine after a first read (its pages in the host's cache), against
//               a host read of the backing file after a first read;
//   cold read   the first read after the kernel host restarted, the backing file's pages dropped from the host's
//               page cache, against a host read of the same file after the same drop;
//   write       the whole file rewritten through the machine and flushed, against host writes and fdatasync.
// Each round syncs before each timed phase and alternates which side of each pair goes first; the medians of the
// rounds and the throughput ratios (machine over host: 1.00 = as fast) are the figures.
//   kernel_io_bench [--mib M] [--rounds R] [--drop-caches]
// --drop-caches drops the whole host page cache (root only) instead of the backing file's pages alone.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "built_programs.h"
#include "fileapi.h"
#include "host_control.h"
#include "interface.h"
#include "key_format.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/registry.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr DWORD kPiece = 1 << 20;
constexpr char kWindowsPath[] = "C:\\Docs\\bench.doc";
constexpr uint32_t kSerialC = 0x5A3C71E4;  // a new machine's drive C:

std::vector<char> piece(kPiece, 'x');

void SetTavikValue(const std::u16string& key, DWORD type, const std::vector<uint8_t>& data) {
  xp::registry::KeyId id = 0;
  xp::registry::CreateKey(xp::registry::kMachineKey, u"SOFTWARE\\Quillmarsh\\Tavik\\" + key, &id, nullptr);
  xp::registry::SetValue(id, u"1", type, data);
}

// The driver, its service and its settings, as the setup program leaves them: C: protected, \WINDOWS not.
bool InstallFilter(const fs::path& root) {
  const fs::path drivers = root / "drives" / "C" / "WINDOWS" / "system32" / "drivers";
  fs::create_directories(drivers);
  fs::create_directories(root / "drives" / "C" / "Docs");
  fs::copy_file(xp::test::BuildProgram("morvel"), drivers / "morvel.sys");
  std::vector<uint8_t> windows;
  for (char c : std::string("\\WINDOWS")) windows.insert(windows.end(), {static_cast<uint8_t>(c), 0});
  windows.insert(windows.end(), {0, 0});
  SetTavikValue(u"Exclusion", REG_SZ, windows);
  SetTavikValue(u"driver", REG_DWORD,
                {static_cast<uint8_t>(kSerialC), static_cast<uint8_t>(kSerialC >> 8),
                 static_cast<uint8_t>(kSerialC >> 16), static_cast<uint8_t>(kSerialC >> 24)});
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  const SC_HANDLE service =
      CreateServiceA(manager, "Morvel", "Morvel", SERVICE_ALL_ACCESS, SERVICE_FILE_SYSTEM_DRIVER, SERVICE_DEMAND_START,
                     SERVICE_ERROR_NORMAL, "C:\\WINDOWS\\system32\\drivers\\morvel.sys", nullptr, nullptr, nullptr,
                     nullptr, nullptr);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return service != nullptr;
}

bool HandOverKey() {
  std::array<uint8_t, 16> cfk{};
  std::array<uint8_t, 16> kn{};
  for (int i = 0; i < 16; ++i) {
    cfk[i] = static_cast<uint8_t>(0xA0 + 7 * i);
    kn[i] = static_cast<uint8_t>(0x31 + 11 * i);
  }
  std::array<uint8_t, 32> xcfk{};
  std::array<uint8_t, 32> efkn{};
  tavik::keys::ExpandCfk(cfk.data(), xcfk.data());
  tavik::keys::WrapXcfk(kn.data(), xcfk.data(), efkn.data());
  return MorvelLoadDriver() && MorvelSetCFK(kn.data(), efkn.data(), 0);
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "kernel_io_bench: %s\n", what.c_str());
  std::exit(1);
}

// A fresh kernel host with the filter holding the key: the machine as a boot and a logon leave it.
void BootWithKey(const fs::path& root) {
  std::string error;
  if (xp::ntos::host::KernelHostAnswers(root) && !xp::ntos::host::StopKernelHost(root, &error)) Fail(error);
  if (!xp::ntos::host::StartKernelHost(xp::test::BuildProgram("xp_ntoshost"), root, &error)) Fail(error);
  if (!HandOverKey()) Fail("the filter did not take the key");
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The backing file's pages (or, with --drop-caches, the whole page cache) out of the host's memory.
bool drop_all_caches = false;
void DropHostCache(const fs::path& file) {
  ::sync();
  if (drop_all_caches) {
    std::ofstream drop("/proc/sys/vm/drop_caches");
    if (!(drop << "3" << std::flush)) Fail("cannot drop the page cache (needs root)");
    return;
  }
  const int fd = ::open(file.c_str(), O_RDONLY);
  if (fd < 0 || ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0) Fail("cannot drop the file's cached pages");
  ::close(fd);
}

double ReadThroughMachine(size_t size) {
  ::sync();
  const Clock::time_point start = Clock::now();
  const HANDLE file =
      CreateFileA(kWindowsPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot open the file through the machine");
  DWORD got = 0;
  size_t total = 0;
  while (ReadFile(file, piece.data(), kPiece, &got, nullptr) && got != 0) total += got;
  CloseHandle(file);
  const double seconds = Seconds(start);
  if (total != size) Fail("short read through the machine");
  return seconds;
}

// The flush is where the filter encrypts and the bytes reach the disk.
double WriteThroughMachine(size_t size) {
  ::sync();
  const Clock::time_point start = Clock::now();
  const HANDLE file = CreateFileA(kWindowsPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot open the file through the machine");
  DWORD done = 0;
  for (size_t at = 0; at < size; at += kPiece) {
    if (!WriteFile(file, piece.data(), kPiece, &done, nullptr) || done != kPiece) Fail("write through the machine");
  }
  if (!FlushFileBuffers(file)) Fail("flush through the machine");
  CloseHandle(file);
  return Seconds(start);
}

double ReadHostFile(const fs::path& path, size_t size) {
  ::sync();
  const Clock::time_point start = Clock::now();
  const int fd = ::open(path.c_str(), O_RDONLY);
  size_t total = 0;
  for (ssize_t got; (got = ::read(fd, piece.data(), kPiece)) > 0;) total += static_cast<size_t>(got);
  ::close(fd);
  const double seconds = Seconds(start);
  if (total != size) Fail("short host read");
  return seconds;
}

double WriteHostFile(const fs::path& path, size_t size) {
  ::sync();
  const Clock::time_point start = Clock::now();
  const int fd = ::open(path.c_str(), O_WRONLY);
  for (size_t at = 0; at < size; at += kPiece) {
    if (::write(fd, piece.data(), kPiece) != static_cast<ssize_t>(kPiece)) Fail("host write");
  }
  ::fdatasync(fd);
  ::close(fd);
  return Seconds(start);
}

struct Pair {
  double machine = 0;
  double host = 0;
};

// Runs the two sides of a pair in the round's order.
template <typename Machine, typename Host>
Pair Alternated(bool machine_first, Machine machine, Host host) {
  Pair pair;
  if (machine_first) pair.machine = machine();
  pair.host = host();
  if (!machine_first) pair.machine = machine();
  return pair;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  size_t mib = 32;  // within the kernel's 64 MiB cache, so a warm read is all cache hits
  int rounds = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--drop-caches") == 0) drop_all_caches = true;
    if (i + 1 >= argc) continue;
    if (std::strcmp(argv[i], "--mib") == 0) mib = std::max<size_t>(1, std::strtoul(argv[i + 1], nullptr, 10));
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
  }
  const size_t size = mib << 20;
  xp::test::ScratchMachine machine;
  if (!InstallFilter(machine.root())) Fail("cannot install the filter");
  const fs::path backing = machine.root() / "drives" / "C" / "Docs" / "bench.doc";
  const fs::path yardstick = machine.root() / "drives" / "C" / "Docs" / "host.bin";
  std::ofstream(backing, std::ios::binary) << std::string(size, 'p');
  BootWithKey(machine.root());
  WriteThroughMachine(size);  // the file encrypted once, as the install leaves it
  std::string error;
  if (!xp::ntos::host::StopKernelHost(machine.root(), &error)) Fail(error);
  fs::copy_file(backing, yardstick, fs::copy_options::overwrite_existing);

  std::printf("%zu MiB protected file, 1 MiB pieces, %d rounds, %s\n", mib, rounds,
              drop_all_caches ? "cold: the whole page cache dropped" : "cold: the file's cached pages dropped");
  std::printf("round  first    warm read MB/s        cold read MB/s        write+flush MB/s\n");
  std::printf("                machine  host  ratio  machine  host  ratio  machine  host  ratio\n");
  const double mb = static_cast<double>(size) / 1e6;
  std::vector<double> ratios[3];
  std::vector<double> rates[3][2];
  for (int r = 0; r < rounds; ++r) {
    const bool machine_first = r % 2 == 0;
    const Pair cold = Alternated(
        machine_first,
        [&] {
          BootWithKey(machine.root());
          DropHostCache(backing);
          return ReadThroughMachine(size);
        },
        [&] {
          DropHostCache(yardstick);
          return ReadHostFile(yardstick, size);
        });
    ReadThroughMachine(size);
    ReadHostFile(yardstick, size);
    const Pair warm = Alternated(
        machine_first, [&] { return ReadThroughMachine(size); }, [&] { return ReadHostFile(yardstick, size); });
    const Pair write = Alternated(
        machine_first, [&] { return WriteThroughMachine(size); }, [&] { return WriteHostFile(yardstick, size); });
    std::printf("%5d  %-7s", r + 1, machine_first ? "machine" : "host");
    int row = 0;
    for (const Pair& pair : {warm, cold, write}) {
      rates[row][0].push_back(mb / pair.machine);
      rates[row][1].push_back(mb / pair.host);
      ratios[row].push_back(pair.host / pair.machine);
      std::printf("  %7.0f %5.0f  %5.3f", mb / pair.machine, mb / pair.host, pair.host / pair.machine);
      ++row;
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  std::printf("median        ");
  for (int row = 0; row < 3; ++row) {
    std::printf("  %7.0f %5.0f  %5.3f", Median(rates[row][0]), Median(rates[row][1]), Median(ratios[row]));
  }
  std::printf("\nratio min / median / max:\n");
  const char* names[] = {"warm read", "cold read", "write+flush"};
  for (int row = 0; row < 3; ++row) {
    std::sort(ratios[row].begin(), ratios[row].end());
    std::printf("  %-12s %.3f / %.3f / %.3f\n", names[row], ratios[row].front(), Median(ratios[row]),
                ratios[row].back());
  }
  if (!xp::ntos::host::StopKernelHost(machine.root(), &error)) Fail(error);
  return 0;
}
