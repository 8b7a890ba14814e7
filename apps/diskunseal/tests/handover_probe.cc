// The engine's interface without the engine, for the main dialog's tests: it reads the token's serial number as the
// engine does, and at the hand-over says on stderr which way the user came in (and with which key), then ends the
// process without touching a file.
#include <cstdio>
#include <cstdlib>

#include "engine/decryptor.h"
#include "esn_text.h"
#include "tokenio.h"
#include "windows.h"

namespace tavik::diskunseal {

struct CDecryptor::Run {
  bool key_answer = false;
  std::string key_text;
};

CDecryptor::CDecryptor(CWnd*) : run_(std::make_unique<Run>()) {}
CDecryptor::~CDecryptor() = default;

bool CDecryptor::getNuboESN() {
  unsigned char area[129] = {};
  return GetESN(area) && EsnText(area, 128).size() == 8;
}

void CDecryptor::UseKeyAnswer(const unsigned char*, const std::string& key_text) {
  run_->key_answer = true;
  run_->key_text = key_text;
}

void CDecryptor::RunDecryption() {
  if (run_->key_answer) {
    std::fprintf(stderr, "engine: key answer %s\n", run_->key_text.c_str());
  } else {
    std::fprintf(stderr, "engine: password\n");
  }
  std::fflush(stderr);
  ExitProcess(0);
  std::abort();  // not reached: ExitProcess ends the process
}

}  // namespace tavik::diskunseal
