// The install state MRVSTATE: the last completed install or uninstall step as decimal text, no line end. It is
// replaced as a whole, never rewritten in place: the new number is written to MRVSTATE.tmp, flushed to the disk and
// renamed over MRVSTATE, so a crash or a power loss at any point leaves the old number or the new one, never an
// empty file.
#include <cstring>
#include <string>

#include "disk_state.h"
#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

using tavik::install_state::kNothingDone;
using tavik::install_state::kUnreadable;
constexpr size_t kStateTextLimit = 9;

std::string StatePath() { return InstallFilePath(InstallFile::kState); }
std::string WritingPath() { return StatePath() + ".tmp"; }


bool WriteNumber(const std::string& path, unsigned short state) {
  std::FILE* stream = std::fopen(path.c_str(), "w");
  if (stream == nullptr) return false;
  MakeUnbuffered(stream, "fp");
  const bool written = std::fprintf(stream, "%d", static_cast<int>(state)) > 0;
  const bool flushed = std::fflush(stream) == 0;
  const bool closed = std::fclose(stream) == 0;
  // On the disk before its name replaces the old one: after a power loss the rename alone would leave MRVSTATE
  // holding zeros.
  return written && flushed && closed && FlushedToDisk(path.c_str());
}

// The leading decimal digits, or kUnreadable when there are none or they exceed 16 bits.
unsigned short ParseState(const char* text) {
  if (text[0] < '0' || text[0] > '9') return kUnreadable;
  unsigned long value = 0;
  for (const char* c = text; *c >= '0' && *c <= '9'; ++c) {
    value = value * 10 + static_cast<unsigned long>(*c - '0');
    if (value > 0xFFFF) return kUnreadable;
  }
  return static_cast<unsigned short>(value);
}

}  // namespace

void DeleteInstallState() {
  DeleteFileA(WritingPath().c_str());
  DeleteFileA(StatePath().c_str());
}

}  // namespace tavik::setupcore

// Exported by setupcore. Only a MRVSTATE that does not exist is new (created holding 0); one that exists but
// cannot be opened or read as a number is reported as 9999, an error for every caller.
unsigned short read_hd_install_state(void) {
  using namespace tavik::setupcore;
  // A write that never reached its rename left only a stray copy: the state is still the one in MRVSTATE.
  DeleteFileA(WritingPath().c_str());
  if (GetFileAttributesA(StatePath().c_str()) == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return kUnreadable;
    write_hd_install_state(kNothingDone);
    return kNothingDone;
  }
  std::FILE* stream = std::fopen(StatePath().c_str(), "r");
  if (stream == nullptr) return kUnreadable;
  char text[kStateTextLimit + 1] = {};
  const size_t got = std::fread(text, 1, kStateTextLimit, stream);
  std::fclose(stream);
  text[got] = '\0';
  if (char* line_end = std::strchr(text, '\n')) *line_end = '\0';
  return ParseState(text);
}

// Exported by setupcore. False when the new number could not be put in place; MRVSTATE then still holds the old.
bool write_hd_install_state(unsigned short state) {
  using namespace tavik::setupcore;
  const std::string writing = WritingPath();
  if (!WriteNumber(writing, state) ||
      !MoveFileExA(writing.c_str(), StatePath().c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(writing.c_str());
    return false;
  }
  return true;
}
