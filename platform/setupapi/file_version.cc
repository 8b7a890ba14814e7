// The version check of SP_COPY_NEWER reads version records through the machine's file layer.

#include "file_queue.h"
#include "windows.h"

namespace xp::setupapi {
namespace {

constexpr uint32_t kSignature = 0xFEEF04BD;
constexpr uint32_t kStructureVersion = 0x00010000;
constexpr DWORD kLargestRead = 64u << 20;  // a driver file is far smaller

uint32_t U32At(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  return value;
}

std::optional<std::string> ReadWhole(const std::string& windows_path) {
  const HANDLE file =
      CreateFileA(windows_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char chunk[8192];
  DWORD got = 0;
  BOOL read = FALSE;
  while ((read = ReadFile(file, chunk, sizeof chunk, &got, nullptr)) && got != 0 && bytes.size() < kLargestRead) {
    bytes.append(chunk, got);
  }
  CloseHandle(file);
  if (!read) return std::nullopt;
  return bytes;
}

}  // namespace

std::optional<uint64_t> FileVersion(const std::string& windows_path) {
  const std::optional<std::string> bytes = ReadWhole(windows_path);
  if (!bytes) return std::nullopt;
  // Signature, structure version, then dwFileVersionMS and dwFileVersionLS.
  for (size_t at = 0; at + 16 <= bytes->size(); at += 4) {
    if (U32At(*bytes, at) == kSignature && U32At(*bytes, at + 4) == kStructureVersion) {
      return (static_cast<uint64_t>(U32At(*bytes, at + 8)) << 32) | U32At(*bytes, at + 12);
    }
  }
  return std::nullopt;
}

}  // namespace xp::setupapi
