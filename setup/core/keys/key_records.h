// The key files of the install folder, MRVPUZSN (SN, 16 raw bytes) and MRVENTFE (EFKN, 32 raw bytes), and the one
// way they are replaced: a switch that leaves the folder holding the old pair or the new pair, never one of each,
// whatever moment a crash or power loss strikes. The logon component's key rotation switches them; every reader
// (the logon dialog's Key Puzzle, the hand-over, the uninstaller) repairs a half-done switch first.
//
// The switch: the new records go to MRVPUZSN.NEW and MRVENTFE.NEW, each written through and read back; then the
// marker MRVKEYSW is made: from that moment the new pair counts. Then each .NEW file replaces its record and the
// marker goes. A repair that finds the marker finishes the replacements; one that finds .NEW files without it
// deletes them (the switch never counted). Until a repair succeeds, a reader that sees the marker takes a .NEW
// file in place of its record.
//
// Putting the pair aside (records the driver refused): each is renamed to its name followed by the time
// "%i_%i_%i_%i_%i_%i" (year, month, day, hour, minute, second). An earlier put-aside file is never replaced: when
// either name is taken, both get the first free suffix "_1", "_2", ... instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "key_format.h"
#include "windows.h"

namespace tavik::keys {

inline constexpr char kSnFileName[] = "MRVPUZSN";
inline constexpr char kEfknFileName[] = "MRVENTFE";
inline constexpr char kNewSuffix[] = ".NEW";
inline constexpr char kSwitchMarkerName[] = "MRVKEYSW";
inline constexpr size_t kSnSize = kKeySize;

enum class RecordRead { kRead, kMissing, kShort };

// Repairs a half-done switch, then reads the record: kShort when the file holds fewer bytes than the record.
// A switch whose repair could not finish is still the new pair to these readers.
RecordRead ReadSnRecord(const std::string& folder, uint8_t sn[kSnSize]);
RecordRead ReadEfknRecord(const std::string& folder, uint8_t efkn[kEfknSize]);

enum class RepairOutcome {
  kNothingToDo,  // no switch was under way
  kFinished,     // the new pair now stands
  kUndone,       // an unfinished switch was thrown away: the old pair stands
  kIncomplete,   // a file could not be renamed or deleted; the readers still see the new pair
};
RepairOutcome RepairKeySwitch(const std::string& folder);

enum class SwitchOutcome {
  kSwitched,
  kSnNotWritten,    // MRVPUZSN.NEW could not be made, written whole or read back: the old pair stands
  kEfknNotWritten,  // the same for MRVENTFE.NEW, or the marker could not be made: the old pair stands
};
SwitchOutcome SwitchKeyRecords(const std::string& folder, const uint8_t sn[kSnSize], const uint8_t efkn[kEfknSize]);

// The put-aside names for `time` (full paths), the same suffix for both and free for both.
struct PutAsideNames {
  std::string sn;
  std::string efkn;
};
PutAsideNames FreePutAsideNames(const std::string& folder, const SYSTEMTIME& time);
// Renames each record that exists to its put-aside name; the number of renames that failed (the other is still
// tried).
int PutKeyRecordsAside(const std::string& folder, const SYSTEMTIME& time, PutAsideNames* names = nullptr);

// Every file of the key records in the folder: the records, a switch's .NEW files and marker, and the put-aside
// copies. What an uninstall removes.
std::vector<std::string> KeyRecordFiles(const std::string& folder);

}  // namespace tavik::keys
