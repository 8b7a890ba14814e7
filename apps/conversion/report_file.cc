// The decryption report: the key block appended to MRVLOG in the bytes its readers expect (so it is written in
// binary, beside the log's text-mode lines) and MorvelReport.txt replaced by a read-only copy of the whole log.
#include <cstdio>

#include "conversion.h"
#include "fileapi.h"
#include "removal.h"

namespace tavik::conversion {
namespace {

bool AppendKeyBlock(const std::string& log, const std::string& key_text) {
  std::FILE* stream = std::fopen(log.c_str(), "ab");
  if (stream == nullptr) return false;
  const std::string block = "\r\n" + Stamp() + "Decryption Key:\r\n" + key_text + "\r\n";
  const bool written = std::fwrite(block.data(), 1, block.size(), stream) == block.size();
  return std::fclose(stream) == 0 && written;
}

}  // namespace

void DeleteInstallFiles(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const std::string file = InstallFile(name);
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(file.c_str());
  }
}

bool WriteDecryptionReport(const std::string& key_text, std::initializer_list<const char*> lists,
                           std::initializer_list<const char*> stale_lists) {
  const std::string log = InstallFile("MRVLOG");
  const std::string report = InstallFile("MorvelReport.txt");
  DeleteInstallFiles({"MorvelReport.txt"});
  DeleteInstallFiles(stale_lists);
  // Without its lists the report's key recovers nothing: they go to the disk with it.
  for (const char* name : lists) {
    const std::string list = InstallFile(name);
    if (GetFileAttributesA(list.c_str()) != INVALID_FILE_ATTRIBUTES && !FlushedToDisk(list)) return false;
  }
  if (!AppendKeyBlock(log, key_text)) return false;
  // The key must be on the disk before anything erases the token's record of it.
  if (!CopyFileA(log.c_str(), report.c_str(), FALSE) || !FlushedToDisk(report)) return false;
  return SetFileAttributesA(report.c_str(), FILE_ATTRIBUTE_READONLY) != FALSE;
}

}  // namespace tavik::conversion
