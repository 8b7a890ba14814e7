// The records a resumed install must be able to read before it changes anything: the install state, which says
// which steps are done, and, once encryption has begun, the encryption history, the only record of which files
// are encrypted (a file's bytes cannot tell).
#include <cstdio>

#include "diskseal_private.h"
#include "setupcore.h"

namespace tavik::diskseal {
namespace {

bool Readable(const std::string& path) {
  std::FILE* stream = std::fopen(path.c_str(), "r");
  if (stream == nullptr) return false;
  std::fclose(stream);
  return true;
}

}  // namespace

bool EncryptionHasBegun() { return ReadDecryptedFlag() == decrypted_flag::kEncrypting; }

std::optional<unsigned short> ReadInstallState() {
  // A missing state reads as a new install (and is created holding 0): on a disk where encryption has begun that
  // would draw a new key over the one its files are encrypted under.
  if (EncryptionHasBegun() && GetFileAttributesA(InstallFile("MRVSTATE").c_str()) == INVALID_FILE_ATTRIBUTES) {
    return std::nullopt;
  }
  const unsigned short state = read_hd_install_state();
  if (state == install_state::kUnreadable) return std::nullopt;
  return state;
}

bool HistoryReadable() { return Readable(InstallFile("MRVENCHS")) || Readable(InstallFile("_MRVENCHIST.BAK")); }

}  // namespace tavik::diskseal
