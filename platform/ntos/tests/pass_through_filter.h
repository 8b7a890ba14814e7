// A tiny legacy file-system filter for the kernel model's own tests: it attaches to every disk file system and
// its volumes (already mounted ones and later mounts), passes every request down, and records the reads,
// writes and user file-system requests that reach it. Kernel-shaped: ddk headers only.
#pragma once

#include <vector>

#include "ddk/ntifs.h"

namespace pass_through {

struct Seen {
  UCHAR major;
  ULONG irp_flags;
  LONGLONG offset;
  ULONG length;
};

// What the filter saw since the last Reset (reads and writes only), and its fast-I/O reads.
std::vector<Seen>& SeenRequests();
// The control codes of the user file-system requests it passed down since the last Reset.
std::vector<ULONG>& SeenFsControls();
int& FastReads();
void Reset();

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path);
// True for a device of this filter attached somewhere.
bool IsFilterDevice(PDEVICE_OBJECT device);

}  // namespace pass_through
