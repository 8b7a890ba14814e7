// Declarations shared inside kernel32, grouped by the file that defines them.
#pragma once

#include <string>

#include "windows.h"
#include "xp/handles.h"
#include "xp/processes.h"

namespace xp::kernel32 {

// An object WaitForSingleObject can wait on (mutexes, threads). Returns WAIT_OBJECT_0, WAIT_ABANDONED or
// WAIT_TIMEOUT; WAIT_FAILED with the last error set.
class Waitable : public KernelObject {
 public:
  virtual DWORD Wait(DWORD timeout_ms) = 0;
};

// handle_table.cc: removes a handle and tells whether it was the last one referring to its object.
bool RemoveHandleEntry(HANDLE handle, std::shared_ptr<KernelObject>* removed, bool* was_last);

// named_mutex.cc: abandons every named mutex the calling thread owns, as its end does.
void AbandonThreadMutexes();

// thread.cc: the host id of the calling thread (what Windows calls its thread id).
DWORD CurrentThreadId();

// dll_entry.cc: calls every registered DLL entry with DLL_THREAD_ATTACH or DLL_THREAD_DETACH on this thread.
void NotifyDllsOfThread(DWORD reason);
// dll_entry.cc: true while this thread is inside LoadLibraryA; an entry that fails its process attach then
// fails the load instead of ending the process.
void SetLoadingLibrary(bool loading);
bool TakeFailedDllInit();
// library.cc: true for a module LoadLibraryA gave out (and FreeLibrary has not taken back), one GetModuleHandleA
// found, or a library that registered a DLL entry.
bool IsLoadedModule(HMODULE module);

// dll_entry.cc: true for a library that registered a DLL entry (its DllMain's module handle).
bool IsRegisteredModule(HMODULE module);

// process.cc: whether the caller may open `target` for `desired_access`: ERROR_SUCCESS or ERROR_ACCESS_DENIED.
// Its own account's processes always; an administrator every process, but SYSTEM's for ending only with
// SeDebugPrivilege enabled.
DWORD ProcessAccess(const machine::ProcessRecord& target, DWORD desired_access);

// system_messages.cc: the system's text for a Win32 error code, ending in CR LF; nullptr when it has none.
const char* SystemMessage(DWORD code);

// device.cc: the emulated token's interface paths ("\\?\usb#...") and their opens, for CreateFileA.
bool IsUsbDevicePath(const char* path);
HANDLE OpenUsbDevice(LPCSTR file_name, LPSECURITY_ATTRIBUTES attributes, DWORD creation_disposition,
                     DWORD flags_and_attributes, HANDLE template_file);

}  // namespace xp::kernel32
