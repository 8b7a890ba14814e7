// The storage side of a drive: what the boot creates for each drive of the machine, read by the file system at
// mount (the model's stand-in for reading the boot sector).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "ddk/ntifs.h"

namespace xp::ntos {

struct DiskVolume {
  char letter = 'C';
  std::filesystem::path root;        // DIR/drives/<L>: the drive's files
  std::filesystem::path side_store;  // DIR/drives/<L>.meta
  ULONG serial = 0;
  std::u16string file_system;  // "NTFS", "FAT32", "CDFS"
  uint64_t free_bytes = 0;     // the budget when the side store is first made
  bool cdrom = false;
  bool removable = false;
  PDEVICE_OBJECT device = nullptr;  // "\Device\HarddiskVolumeN" (or "\Device\CdRomN")
};

}  // namespace xp::ntos
