// The key files of the install folder: MRVPUZSN holds SN (16 bytes), MRVENTFE holds EFKN (32 bytes), raw, no
// header. A record counts as written only when every byte reached the file, and as read only when it was whole.
#include <cstring>

#include "hex.h"
#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

constexpr unsigned kSnSize = 16;
constexpr unsigned kEfknSize = 32;

bool WriteRecord(InstallFile file, const unsigned char* data, unsigned length) {
  std::FILE* stream = std::fopen(InstallFilePath(file), "wb");
  if (stream == nullptr) return false;
  MakeUnbuffered(stream, "fp");
  const bool written = std::fwrite(data, 1, length, stream) == length;
  const bool flushed = std::fflush(stream) == 0;
  const bool closed = std::fclose(stream) == 0;
  // The install records the keys' checkpoint next: a power loss must not leave it without them.
  return written && flushed && closed && FlushedToDisk(InstallFilePath(file));
}

// Reads the record's `length` bytes; a shorter file is not a record. hex gets 2 * length lower-case digits and a
// NUL.
int ReadRecord(InstallFile file, unsigned char* data, unsigned length, char* hex) {
  std::FILE* stream = std::fopen(InstallFilePath(file), "rb");
  if (stream == nullptr) return 0;
  unsigned char record[kEfknSize];
  const size_t got = std::fread(record, 1, length, stream);
  std::fclose(stream);
  if (got != length) return 0;
  std::memcpy(data, record, length);
  hex::Encode(data, length, hex, /*upper=*/false);
  hex[2 * length] = '\0';
  return 1;
}

}  // namespace
}  // namespace tavik::setupcore

using tavik::setupcore::InstallFile;

// Exported by setupcore. The last two arguments are not used.
bool write_hd_sn(unsigned char* data, unsigned int length, int, int) {
  return tavik::setupcore::WriteRecord(InstallFile::kPuzsn, data, length);
}

// Exported by setupcore.
bool write_hd_efkn(unsigned char* data, unsigned int length) {
  return tavik::setupcore::WriteRecord(InstallFile::kEntfe, data, length);
}

// Exported by setupcore. sn: 16 bytes + NUL.
int read_hd_sn(unsigned char* sn, char* hex) {
  sn[tavik::setupcore::kSnSize] = 0;
  return tavik::setupcore::ReadRecord(InstallFile::kPuzsn, sn, tavik::setupcore::kSnSize, hex);
}

// Exported by setupcore.
int read_hd_efkn(unsigned char* efkn, char* hex) {
  return tavik::setupcore::ReadRecord(InstallFile::kEntfe, efkn, tavik::setupcore::kEfknSize, hex);
}
