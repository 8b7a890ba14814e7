// The uninstall's two decryption rounds, as its engine runs them (the shared conversion, each file committed in
// MRVDECHS), through the machine's kernel host over the generated tree (bench_tree.h) on a machine's drive D:,
// against `cp -a` of the same tree on the same disk in the same run. Each round makes the tree afresh and encrypts
// it with the install's two passes, untimed, so that the rounds find what an uninstall finds: the encrypted files,
// MRVENCHS and the install's lists, all written back to the disk. The key is the one the token's S1 gives after its
// password, made once as the uninstall's password mode makes it and handed to the engine as a Key Answer's is, so
// that the rounds do not ask the token. bench_rounds.h times and prints the rounds; after each, every file the
// install encrypted must be in MRVDECHS, and the tree's first and last files their plain bytes again.
//   decryption_bench [--files N] [--mib M | --file-kib K] [--per-folder F] [--rounds R] [--no-flushes]
#include <cstdio>
#include <cstdlib>

#include "bench_install.h"
#include "bench_machine.h"
#include "bench_options.h"
#include "bench_rounds.h"
#include "bench_tree.h"
#include "conversion.h"
#include "decryptor.h"
#include "host_control.h"
#include "install/init_encrypt.h"
#include "tokenio.h"
#include "windows.h"

namespace {

using tavik::conversion::History;
using tavik::conversion::InstallFile;

size_t HistoryLength(const char* name, const char* backup) {
  History history;
  history.LoadFrom(InstallFile(name), InstallFile(backup));
  return history.paths().size();
}

// A file's bytes as the machine reads them; empty when it does not open.
std::string Read(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) got = 0;
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const bench::Options options = bench::ParseOptions(argc, argv);
  const bench::BenchMachine machine("decryption-bench");
  bench::PrepareInstall();
  unsigned char xcfk[33] = {};
  char key_text[33] = {};
  if (CheckPwd(bench::SilentView::kPassword) != 0 ||
      tavik::conversion::KeyFromToken(xcfk, key_text) != tavik::conversion::TokenKey::kMade) {
    std::fprintf(stderr, "the token gave no key\n");
    return 1;
  }

  const std::vector<size_t> sizes = bench::FileSizes(options.tree);
  bench::RoundPlan plan;
  plan.root = machine.root();
  plan.host_tree = machine.HostTree();
  plan.rounds = options.rounds;
  plan.files = sizes.size();
  plan.total_mib = bench::TotalMiB(sizes);
  plan.prepare = [&] {
    bench::RemoveTree(bench::kTreeFolder);
    bench::ForgetConversions();
    bench::MakeTree(sizes, options.tree.per_folder);
    bench::SilentView view;
    CInitEncrypt install(&view);
    // The commits' flushes matter only to a crash; the write-back below puts the tree on the disk.
    install.set_durable_commits(false);
    install.RunFirstPass();
    install.RunSecondPass();
    xp::ntos::host::WriteBackKernelCache(machine.root());
  };
  plan.pass = [&] {
    tavik::diskunseal::CDecryptor decryptor(nullptr);
    decryptor.UseKeyAnswer(xcfk, key_text);
    decryptor.set_durable_commits(options.durable);
    decryptor.RunRounds();
  };
  plan.check = [&] {
    const size_t encrypted = HistoryLength("MRVENCHS", "_MRVENCHIST.BAK");
    const size_t decrypted = HistoryLength("MRVDECHS", "_MRVDECHIST.BAK");
    if (encrypted < plan.files || decrypted != encrypted) {
      std::fprintf(stderr, "%zu files encrypted, %zu decrypted, of a tree of %zu\n", encrypted, decrypted,
                   plan.files);
      std::exit(1);
    }
    for (const size_t index : {size_t{0}, sizes.size() - 1}) {
      if (Read(bench::TreeFile(index, options.tree.per_folder)) != bench::FileBytes(sizes, index)) {
        std::fprintf(stderr, "file %zu is not its plain bytes again\n", index);
        std::exit(1);
      }
    }
  };
  std::printf("tree: %zu files, %.1f MiB, %zu a folder; %d rounds, %s\n", plan.files, plan.total_mib,
              options.tree.per_folder, plan.rounds, options.durable ? "durable commits" : "without the flushes");
  try {
    bench::RunRounds(plan);
  } catch (const tavik::conversion::RunStop& stop) {
    std::fprintf(stderr, "stopped: %s\n", stop.text.c_str());
    return 1;
  }
  return 0;
}
