// Throughput of setupcore's _enc and _dec over the 64 KiB pieces the setup programs use, beside OpenSSL's
// AES-128-ECB on the same buffers and the portable table engine; prints the ratios at the end.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cipher_exports.h"
#include "file_cipher.h"

namespace {

constexpr int kPiece = 65536;

// An XCFK-shaped key with its NUL slot, as the setup programs pass it.
std::vector<unsigned char> Key() {
  std::vector<unsigned char> key(33);
  for (size_t i = 0; i < 32; ++i) key[i] = static_cast<unsigned char>(0x3D * i + 7);
  key[32] = 0;
  return key;
}

std::vector<unsigned char>& Piece() {
  static std::vector<unsigned char> piece = [] {
    std::vector<unsigned char> bytes(kPiece);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 131 + 17);
    return bytes;
  }();
  return piece;
}

void Finish(benchmark::State& state) { state.SetBytesProcessed(state.iterations() * kPiece); }

void SetupcoreEnc(benchmark::State& state) {
  std::vector<unsigned char> key = Key();
  for (auto _ : state) {
    _enc(Piece().data(), kPiece, key.data(), 33);
    benchmark::ClobberMemory();
  }
  Finish(state);
}

void SetupcoreDec(benchmark::State& state) {
  std::vector<unsigned char> key = Key();
  for (auto _ : state) {
    _dec(Piece().data(), kPiece, key.data(), 33);
    benchmark::ClobberMemory();
  }
  Finish(state);
}

void OpenSsl(benchmark::State& state, bool encrypt) {
  const std::vector<unsigned char> key = Key();
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  if (EVP_CipherInit_ex(context, EVP_aes_128_ecb(), nullptr, key.data(), nullptr, encrypt ? 1 : 0) != 1) {
    state.SkipWithError("EVP_CipherInit_ex failed");
  }
  EVP_CIPHER_CTX_set_padding(context, 0);
  for (auto _ : state) {
    int written = 0;
    EVP_CipherUpdate(context, Piece().data(), &written, Piece().data(), kPiece);
    benchmark::DoNotOptimize(written);
    benchmark::ClobberMemory();
  }
  EVP_CIPHER_CTX_free(context);
  Finish(state);
}

void OpenSslEncrypt(benchmark::State& state) { OpenSsl(state, true); }
void OpenSslDecrypt(benchmark::State& state) { OpenSsl(state, false); }

void Portable(benchmark::State& state, bool encrypt) {
  tavik::cipher::AesKey key;
  tavik::cipher::ExpandKey(Key().data(), &key);
  for (auto _ : state) {
    if (encrypt) {
      tavik::cipher::EncryptStream(key, Piece().data(), kPiece, tavik::cipher::AesEngine::kPortable);
    } else {
      tavik::cipher::DecryptStream(key, Piece().data(), kPiece, tavik::cipher::AesEngine::kPortable);
    }
    benchmark::ClobberMemory();
  }
  Finish(state);
}

void PortableEncrypt(benchmark::State& state) { Portable(state, true); }
void PortableDecrypt(benchmark::State& state) { Portable(state, false); }

BENCHMARK(SetupcoreEnc);
BENCHMARK(OpenSslEncrypt);
BENCHMARK(SetupcoreDec);
BENCHMARK(OpenSslDecrypt);
BENCHMARK(PortableEncrypt);
BENCHMARK(PortableDecrypt);

// Keeps each benchmark's bytes per second while the console shows the usual table.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto rate = run.counters.find("bytes_per_second");
      if (run.run_type == Run::RT_Iteration && rate != run.counters.end()) {
        rates_[run.run_name.function_name] = rate->second;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatio(const char* what, const std::string& ours, const std::string& theirs) const {
    const auto a = rates_.find(ours), b = rates_.find(theirs);
    if (a == rates_.end() || b == rates_.end()) return;
    std::printf("%-28s %8.0f MB/s vs OpenSSL %8.0f MB/s: ratio %.2f\n", what, a->second / 1e6, b->second / 1e6,
                a->second / b->second);
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("\n");
  reporter.PrintRatio("_enc", "SetupcoreEnc", "OpenSslEncrypt");
  reporter.PrintRatio("_dec", "SetupcoreDec", "OpenSslDecrypt");
  reporter.PrintRatio("portable tables, encrypt", "PortableEncrypt", "OpenSslEncrypt");
  reporter.PrintRatio("portable tables, decrypt", "PortableDecrypt", "OpenSslDecrypt");
  return 0;
}
