#include "bench_rounds.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "host_control.h"

namespace bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Round {
  double copy_seconds = 0;
  double pass_seconds = 0;
  double host_cpu = 0;
  double own_cpu = 0;
  double host_peak_mib = 0;
  double ratio() const { return copy_seconds / pass_seconds; }
};

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

double TimeCopy(const std::string& tree) {
  ::sync();
  const Clock::time_point start = Clock::now();
  const std::string copy = "cp -a '" + tree + "' '" + tree + "-copy' && sync";
  if (std::system(copy.c_str()) != 0) std::exit(1);
  const double seconds = Seconds(start);
  fs::remove_all(tree + "-copy");
  return seconds;
}

void TimePass(const RoundPlan& plan, Round* round) {
  ::sync();
  const pid_t host = HostPid(plan.root);
  ResetHostPeak(host);
  const double host_before = HostCpuSeconds(host);
  const double own_before = OwnCpuSeconds();
  const Clock::time_point start = Clock::now();
  plan.pass();
  xp::ntos::host::WriteBackKernelCache(plan.root);
  ::sync();
  round->pass_seconds = Seconds(start);
  round->host_cpu = HostCpuSeconds(host) - host_before;
  round->own_cpu = OwnCpuSeconds() - own_before;
  round->host_peak_mib = HostPeakMiB(host);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

void RunRounds(const RoundPlan& plan) {
  const double files = static_cast<double>(plan.files);
  std::printf("round  first  cp -a s  pass s  ratio  ms/file  ms/MiB  host cpu s  own cpu s  host peak MiB\n");
  std::vector<Round> results;
  for (int r = 0; r < plan.rounds; ++r) {
    plan.prepare();
    Round round;
    const bool copy_first = r % 2 == 0;
    if (copy_first) round.copy_seconds = TimeCopy(plan.host_tree);
    TimePass(plan, &round);
    if (!copy_first) round.copy_seconds = TimeCopy(plan.host_tree);
    if (plan.check) plan.check();
    results.push_back(round);
    std::printf("%5d  %-5s  %7.2f  %6.2f  %5.3f  %7.2f  %6.2f  %10.2f  %9.2f  %13.0f\n", r + 1,
                copy_first ? "cp" : "pass", round.copy_seconds, round.pass_seconds, round.ratio(),
                1000 * round.pass_seconds / files, 1000 * round.pass_seconds / plan.total_mib, round.host_cpu,
                round.own_cpu, round.host_peak_mib);
    std::fflush(stdout);
  }
  const auto median = [&](double (*field)(const Round&)) {
    std::vector<double> values;
    for (const Round& round : results) values.push_back(field(round));
    return Median(values);
  };
  std::vector<double> ratios;
  for (const Round& round : results) ratios.push_back(round.ratio());
  std::sort(ratios.begin(), ratios.end());
  const double pass = median([](const Round& x) { return x.pass_seconds; });
  std::printf("median        %7.2f  %6.2f  %5.3f  %7.2f  %6.2f  %10.2f  %9.2f  %13.0f\n",
              median([](const Round& x) { return x.copy_seconds; }), pass, Median(ratios), 1000 * pass / files,
              1000 * pass / plan.total_mib, median([](const Round& x) { return x.host_cpu; }),
              median([](const Round& x) { return x.own_cpu; }), median([](const Round& x) { return x.host_peak_mib; }));
  std::printf("ratio min / median / max: %.3f / %.3f / %.3f\n", ratios.front(), Median(ratios), ratios.back());
}

}  // namespace bench
