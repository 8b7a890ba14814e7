// The key files and their crash-proof switch (key_records.h).
#include "key_records.h"

#include <cstdio>
#include <cstring>

#include "msvcrt.h"

namespace tavik::keys {
namespace {

std::string InFolder(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

// File names compare ignoring case, as on the disk.
bool StartsWith(const char* name, const char* prefix) { return _strnicmp(name, prefix, std::strlen(prefix)) == 0; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The file's first `size` bytes; false when it cannot be opened, *got says how many there were.
bool ReadBytes(const std::string& path, uint8_t* data, DWORD size, DWORD* got) {
  *got = 0;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  while (*got < size) {
    DWORD chunk = 0;
    if (!ReadFile(file, data + *got, size - *got, &chunk, nullptr) || chunk == 0) break;
    *got += chunk;
  }
  CloseHandle(file);
  return true;
}

// Writes the bytes through to the disk and reads them back: true only when the file holds exactly them.
bool WriteThrough(const std::string& path, const uint8_t* data, DWORD size) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole = WriteFile(file, data, size, &written, nullptr) && written == size;
  const bool flushed = whole && FlushFileBuffers(file);
  const bool closed = CloseHandle(file);
  if (!whole || !flushed || !closed) return false;
  uint8_t back[kEfknSize + 1] = {};
  DWORD got = 0;
  return ReadBytes(path, back, sizeof back, &got) && got == size && std::memcmp(back, data, size) == 0;
}

RecordRead ReadRecord(const std::string& folder, const char* name, uint8_t* data, DWORD size) {
  RepairKeySwitch(folder);
  std::string path = InFolder(folder, name);
  // A repair that could not finish: the marker says the new file counts.
  if (Exists(InFolder(folder, kSwitchMarkerName)) && Exists(path + kNewSuffix)) path += kNewSuffix;
  uint8_t record[kEfknSize] = {};
  DWORD got = 0;
  if (!ReadBytes(path, record, size, &got)) return RecordRead::kMissing;
  if (got < size) return RecordRead::kShort;
  std::memcpy(data, record, size);
  return RecordRead::kRead;
}

std::string TimeSuffix(const SYSTEMTIME& time) {
  char text[64];
  std::snprintf(text, sizeof text, "%i_%i_%i_%i_%i_%i", time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                time.wSecond);
  return text;
}

}  // namespace

RecordRead ReadSnRecord(const std::string& folder, uint8_t sn[kSnSize]) {
  return ReadRecord(folder, kSnFileName, sn, kSnSize);
}

RecordRead ReadEfknRecord(const std::string& folder, uint8_t efkn[kEfknSize]) {
  return ReadRecord(folder, kEfknFileName, efkn, kEfknSize);
}

RepairOutcome RepairKeySwitch(const std::string& folder) {
  const std::string marker = InFolder(folder, kSwitchMarkerName);
  const std::string records[] = {InFolder(folder, kSnFileName), InFolder(folder, kEfknFileName)};
  bool pending = false;
  for (const std::string& record : records) pending = pending || Exists(record + kNewSuffix);
  if (!Exists(marker)) {
    if (!pending) return RepairOutcome::kNothingToDo;
    bool deleted = true;
    for (const std::string& record : records) {
      if (Exists(record + kNewSuffix)) deleted = DeleteFileA((record + kNewSuffix).c_str()) && deleted;
    }
    return deleted ? RepairOutcome::kUndone : RepairOutcome::kIncomplete;
  }
  for (const std::string& record : records) {
    const std::string replacement = record + kNewSuffix;
    if (Exists(replacement) &&
        !MoveFileExA(replacement.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return RepairOutcome::kIncomplete;
    }
  }
  return DeleteFileA(marker.c_str()) ? RepairOutcome::kFinished : RepairOutcome::kIncomplete;
}

SwitchOutcome SwitchKeyRecords(const std::string& folder, const uint8_t sn[kSnSize], const uint8_t efkn[kEfknSize]) {
  // A switch whose repair cannot finish still holds the current pair in its .NEW files: nothing is touched.
  if (RepairKeySwitch(folder) == RepairOutcome::kIncomplete) return SwitchOutcome::kSnNotWritten;
  const std::string sn_file = InFolder(folder, kSnFileName);
  const std::string efkn_file = InFolder(folder, kEfknFileName);
  const std::string marker = InFolder(folder, kSwitchMarkerName);
  const auto abandon = [&](SwitchOutcome outcome) {
    DeleteFileA((sn_file + kNewSuffix).c_str());
    DeleteFileA((efkn_file + kNewSuffix).c_str());
    return outcome;
  };
  if (!WriteThrough(sn_file + kNewSuffix, sn, kSnSize)) return abandon(SwitchOutcome::kSnNotWritten);
  if (!WriteThrough(efkn_file + kNewSuffix, efkn, kEfknSize)) return abandon(SwitchOutcome::kEfknNotWritten);
  const HANDLE made = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (made == INVALID_HANDLE_VALUE) return abandon(SwitchOutcome::kEfknNotWritten);
  const bool flushed = FlushFileBuffers(made);
  if (!CloseHandle(made) || !flushed) {
    DeleteFileA(marker.c_str());
    return abandon(SwitchOutcome::kEfknNotWritten);
  }
  // Committed: whatever happens from here, the new pair counts and the next reader finishes the switch.
  RepairKeySwitch(folder);
  return SwitchOutcome::kSwitched;
}

PutAsideNames FreePutAsideNames(const std::string& folder, const SYSTEMTIME& time) {
  const std::string suffix = TimeSuffix(time);
  for (int number = 0;; ++number) {
    const std::string tail = number == 0 ? suffix : suffix + "_" + std::to_string(number);
    PutAsideNames names{InFolder(folder, kSnFileName + tail), InFolder(folder, kEfknFileName + tail)};
    if (!Exists(names.sn) && !Exists(names.efkn)) return names;
  }
}

int PutKeyRecordsAside(const std::string& folder, const SYSTEMTIME& time, PutAsideNames* names) {
  const PutAsideNames free = FreePutAsideNames(folder, time);
  if (names != nullptr) *names = free;
  int failed = 0;
  for (const auto& [record, aside] : {std::pair{InFolder(folder, kSnFileName), free.sn},
                                      std::pair{InFolder(folder, kEfknFileName), free.efkn}}) {
    if (Exists(record) && !MoveFileExA(record.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) ++failed;
  }
  return failed;
}

std::vector<std::string> KeyRecordFiles(const std::string& folder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA(InFolder(folder, "*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    const char* name = entry.cFileName;
    if (StartsWith(name, kSnFileName) || StartsWith(name, kEfknFileName) || _stricmp(name, kSwitchMarkerName) == 0) {
      files.push_back(InFolder(folder, name));
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return files;
}

}  // namespace tavik::keys
