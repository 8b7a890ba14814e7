// What the kernel path costs a program: read and write throughput of an 8 MiB protected file through the machine's
// kernel host (every program's kernel) with the filter holding the key, the same file with the filter detached (its
// service stopped), through a kernel model booted in the process itself (as unit tests do: no host, no filter),
// and as plain host file I/O. Each run ends with the ratios between them.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "built_programs.h"
#include "fileapi.h"
#include "host_control.h"
#include "interface.h"
#include "key_format.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/ntos.h"
#include "xp/registry.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kFileSize = 8 << 20;
constexpr DWORD kChunk = 64 << 10;
constexpr char kWindowsPath[] = "C:\\Docs\\bench.doc";
constexpr uint32_t kSerialC = 0x5A3C71E4;  // a new machine's drive C:

std::vector<char> chunk(kChunk, 'x');

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

bool StopFilter() {
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  const SC_HANDLE service = OpenServiceA(manager, "Morvel", SERVICE_STOP);
  SERVICE_STATUS status;
  const bool stopped = ControlService(service, SERVICE_CONTROL_STOP, &status);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return stopped;
}

// The whole file through the machine, 64 KiB at a time, from an open handle (so the cache stays warm).
void ReadThroughMachine(benchmark::State& state) {
  const HANDLE file =
      CreateFileA(kWindowsPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return state.SkipWithError("cannot open the file through the machine");
  for (auto _ : state) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    DWORD got = 0;
    size_t total = 0;
    while (ReadFile(file, chunk.data(), kChunk, &got, nullptr) && got != 0) total += got;
    if (total != kFileSize) state.SkipWithError("short read");
  }
  CloseHandle(file);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// The whole file rewritten, then flushed: the flush is where the filter encrypts.
void WriteThroughMachine(benchmark::State& state) {
  const HANDLE file = CreateFileA(kWindowsPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return state.SkipWithError("cannot open the file through the machine");
  for (auto _ : state) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    DWORD done = 0;
    for (size_t at = 0; at < kFileSize; at += kChunk) WriteFile(file, chunk.data(), kChunk, &done, nullptr);
    FlushFileBuffers(file);
  }
  CloseHandle(file);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

fs::path host_file;

void ReadHostFile(benchmark::State& state) {
  const int fd = ::open(host_file.c_str(), O_RDONLY);
  for (auto _ : state) {
    for (off_t at = 0; at < static_cast<off_t>(kFileSize); at += kChunk) ::pread(fd, chunk.data(), kChunk, at);
  }
  ::close(fd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void WriteHostFile(benchmark::State& state) {
  const int fd = ::open(host_file.c_str(), O_WRONLY);
  for (auto _ : state) {
    for (off_t at = 0; at < static_cast<off_t>(kFileSize); at += kChunk) ::pwrite(fd, chunk.data(), kChunk, at);
  }
  ::close(fd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// Console output as usual, and each benchmark's bytes per second kept for the ratios.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred) {
        rates[run.benchmark_name()] = kFileSize * static_cast<double>(run.iterations) / run.real_accumulated_time;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rates;
};

void RunPhase(RateReporter* reporter, const std::string& name, void (*read)(benchmark::State&),
              void (*write)(benchmark::State&)) {
  benchmark::RegisterBenchmark(("read/" + name).c_str(), read)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("write/" + name).c_str(), write)->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks(reporter);
  benchmark::ClearRegisteredBenchmarks();
}

void PrintRatios(const std::map<std::string, double>& rates) {
  const struct {
    const char* what;
    const char* numerator;
    const char* denominator;
  } ratios[] = {
      {"host, filter with key / filter detached", "filter_key", "filter_detached"},
      {"host, filter with key / plain host I/O", "filter_key", "plain_host"},
      {"host, filter detached / plain host I/O", "filter_detached", "plain_host"},
      {"host, no filter / in-process kernel, no filter", "filter_detached", "own_kernel"},
      {"in-process kernel, no filter / plain host I/O", "own_kernel", "plain_host"},
  };
  std::printf("\nThroughput ratios (1.00 = as fast):\n%-48s %8s %8s\n", "", "read", "write");
  for (const auto& ratio : ratios) {
    std::printf("%-48s", ratio.what);
    for (const char* direction : {"read/", "write/"}) {
      const auto top = rates.find(direction + std::string(ratio.numerator));
      const auto bottom = rates.find(direction + std::string(ratio.denominator));
      if (top == rates.end() || bottom == rates.end()) {
        std::printf(" %8s", "-");
      } else {
        std::printf(" %8.2f", top->second / bottom->second);
      }
    }
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  xp::test::ScratchMachine machine;
  if (!InstallFilter(machine.root())) {
    std::fprintf(stderr, "kernel_io_bench: cannot install the filter\n");
    return 1;
  }
  host_file = machine.root() / "drives" / "C" / "Docs" / "bench.doc";
  std::ofstream(host_file, std::ios::binary) << std::string(kFileSize, 'p');
  RateReporter reporter;
  RunPhase(&reporter, "plain_host", ReadHostFile, WriteHostFile);
  {
    const xp::ntos::Kernel in_process(xp::ntos::KernelOptions{machine.root()});
    RunPhase(&reporter, "own_kernel", ReadThroughMachine, WriteThroughMachine);
  }

  std::string error;
  if (!xp::ntos::host::StartKernelHost(xp::test::BuildProgram("xp_ntoshost"), machine.root(), &error)) {
    std::fprintf(stderr, "kernel_io_bench: %s\n", error.c_str());
    return 1;
  }
  if (HandOverKey()) {
    RunPhase(&reporter, "filter_key", ReadThroughMachine, WriteThroughMachine);
    if (StopFilter()) RunPhase(&reporter, "filter_detached", ReadThroughMachine, WriteThroughMachine);
  } else {
    std::fprintf(stderr, "kernel_io_bench: the filter did not take the key\n");
  }
  xp::ntos::host::StopKernelHost(machine.root(), &error);
  PrintRatios(reporter.rates);
  benchmark::Shutdown();
  return 0;
}
