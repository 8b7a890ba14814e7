// What the driver's files share: the driver-wide state, the filter devices' extension, the stream mark, and the
// routines each file offers the others (grouped by the file that defines them).
#pragma once

#include <string_view>

#include "ntifs.h"

namespace tavik::morvel {

// Pool tags, read backwards in a dump ("Mrv?").
constexpr ULONG MakeTag(char a, char b, char c, char d) {
  return static_cast<ULONG>(a) | static_cast<ULONG>(b) << 8 | static_cast<ULONG>(c) << 16 |
         static_cast<ULONG>(d) << 24;
}
inline constexpr ULONG kTagRule = MakeTag('M', 'r', 'v', 'R');     // rules and their paths
inline constexpr ULONG kTagKey = MakeTag('M', 'r', 'v', 'K');      // the held key and its schedule
inline constexpr ULONG kTagMark = MakeTag('M', 'r', 'v', 'S');     // stream marks
inline constexpr ULONG kTagBuffer = MakeTag('M', 'r', 'v', 'B');   // bounce and scratch buffers
inline constexpr ULONG kTagPath = MakeTag('M', 'r', 'v', 'P');     // stored paths, names being examined
inline constexpr ULONG kTagList = MakeTag('M', 'r', 'v', 'L');     // device enumerations
inline constexpr ULONG kTagFastIo = MakeTag('M', 'r', 'v', 'F');   // the fast-I/O table
inline constexpr ULONG kTagRequest = MakeTag('M', 'r', 'v', 'Q');  // control requests' input copies

inline constexpr ULONG kVolumeSlots = 24;  // drive letters C: to Z:
inline constexpr USHORT kDeviceNameBytes = 200;

// ---- Devices -------------------------------------------------------------------------------------------------
inline constexpr ULONG kExtensionAttached = 0x1;
inline constexpr ULONG kExtensionLinked = 0x8;

struct FilterExtension {
  PDEVICE_OBJECT self;
  PDEVICE_OBJECT lower;    // every pass-through goes here
  PDEVICE_OBJECT storage;  // the volume's storage device; none for a file system's control-device filter
  LIST_ENTRY link;         // in the device list
  ULONG flags;
  UNICODE_STRING name;  // for diagnostics: the file system's or the storage device's name
  WCHAR name_buffer[kDeviceNameBytes / sizeof(WCHAR)];
};

// ---- Protected volumes ---------------------------------------------------------------------------------------
struct ProtectedVolume {
  PDEVICE_OBJECT device;  // where requests for the volume arrive (the top of its stack when the table was filled)
  char letter;            // 'C'..'Z': rules written with this letter apply; entry 0's also takes those without
};

// ---- Stream marks --------------------------------------------------------------------------------------------
// The per-stream context that says "this stream is stored encrypted". It also remembers the length the data on
// disk is encoded for, which differs from the file size only while the driver re-encodes a size change.
struct StreamMark {
  FSRTL_PER_STREAM_CONTEXT context;
  LIST_ENTRY all_marks;  // the driver's list of marked streams (unload writes them back first)
  PFSRTL_ADVANCED_FCB_HEADER header;
  PSECTION_OBJECT_POINTERS section;
  volatile LONGLONG encoded_size;
  KEVENT size_change_lock;  // a synchronisation event: one size change of the stream at a time
};

struct HeldKey;  // cipher.cc

// ---- Driver-wide state ---------------------------------------------------------------------------------------
struct DriverState {
  PDRIVER_OBJECT driver;
  PDEVICE_OBJECT control_device;
  KSPIN_LOCK control_open_lock;
  LONG control_device_free;  // 1 while no handle is open
  FAST_MUTEX device_list_lock;
  LIST_ENTRY device_list;
  PFAST_IO_DISPATCH fast_io;
  volatile LONG requests_in_flight;  // unload waits for this to reach zero

  FAST_MUTEX control_lock;  // control requests run one at a time
  HeldKey* volatile key;
  ULONG failed_unwraps;
  ULONG flagged_attempts;
  PCHAR stored_paths[3];
  ULONG stored_path_lengths[3];
  ULONG stored_path_count;

  KSPIN_LOCK rule_lock;  // the directory rules and exceptions
  ULONG volume_serials[kVolumeSlots];
  ProtectedVolume protected_volumes[kVolumeSlots];

  FAST_MUTEX marks_lock;
  LIST_ENTRY marks;
};

DriverState& State();

// Counts a request as in flight for its scope; unload waits until none is.
class RequestScope {
 public:
  RequestScope();
  ~RequestScope();
  RequestScope(const RequestScope&) = delete;
  RequestScope& operator=(const RequestScope&) = delete;
};

// driver_entry.cc
bool IsControlDevice(PDEVICE_OBJECT device);
// The extension of one of this driver's filter devices; none for the control device or a foreign device.
FilterExtension* FilterOf(PDEVICE_OBJECT device);
NTSTATUS PassThrough(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information);

// attach.cc
void FileSystemChanged(PDEVICE_OBJECT file_system_device, BOOLEAN active);
NTSTATUS DispatchFileSystemControl(PDEVICE_OBJECT device, PIRP irp);
void UnlinkExtension(FilterExtension* extension);

// lower_io.cc: requests the driver sends down itself and waits for at passive level.
// Sends `irp` with a copy of its current location to the lower device and waits; the request is the caller's
// again afterwards.
NTSTATUS ForwardAndWait(PDEVICE_OBJECT lower, PIRP irp);
// The driver's own query of a file's information, sent to `device` and waited for (alertable).
NTSTATUS QueryFileInfo(PDEVICE_OBJECT device, PFILE_OBJECT file, FILE_INFORMATION_CLASS information_class,
                       PVOID buffer, ULONG size, ULONG_PTR* returned);
// A non-cached paging transfer of raw (on-disk) bytes between `buffer` (non-paged) and the file below the filter.
NTSTATUS TransferRaw(PDEVICE_OBJECT lower, PFILE_OBJECT file, UCHAR major, PVOID buffer, LONGLONG offset,
                     ULONG length, ULONG_PTR* transferred);

// stream_marks.cc
// The mark of the stream `file` belongs to, or none.
StreamMark* MarkOf(PFILE_OBJECT file);
// Attaches a mark to the stream; true when a new mark was attached. A stream that cannot carry contexts stays
// unmarked.
bool MarkStreamEncrypted(PFILE_OBJECT file);
// Unload, while the filters are attached: writes every marked stream's cached plaintext down through them, and
// drops the cache.
void FlushMarkedStreams();
// Unload, once no request runs in the driver: takes the marks off the streams and frees them.
void ReleaseAllMarks();

// rule_lists.cc: the directory rules and exceptions; texts as the registry writes them ("\dir" or "X:\dir").
// STATUS_OBJECT_PATH_SYNTAX_BAD for a text of another shape, STATUS_NO_MEMORY when memory is short.
NTSTATUS AddDir(const WCHAR* text, ULONG length, bool inclusion);
NTSTATUS AddException(const WCHAR* text, ULONG length);
bool RemoveDir(const WCHAR* text, ULONG length, bool inclusion);
bool ChangeDir(const WCHAR* text, ULONG length);
void FreeRuleLists();
// The shared protection decision for a volume-relative file name on volume `drive`.
bool DecideByRules(char drive, char system_drive, const WCHAR* name, ULONG length);
// True when a directory rule or an exception of volume `drive` names `path` or something beneath it.
bool AnyRuleAtOrUnder(char drive, char system_drive, const WCHAR* path, ULONG length);

// rules.cc: the registry readers and the protected-volume table.
NTSTATUS ReadExclusionRules();
void ReadInclusionRules();
void ReadExceptions();
void ScanVolumeSerials();
void LoadProtectedVolumes();
// -1 when the device is no protected volume's.
LONG ProtectedVolumeIndex(PDEVICE_OBJECT device);

// protection.cc: which opens reach protected files.
// True when the open is left alone without looking further (judged by the name as opened).
bool SkipBeforeOpen(PFILE_OBJECT file);
// After a successful open below: is the opened stream a protected file?
bool IsProtectedFile(FilterExtension* extension, PDEVICE_OBJECT device, PFILE_OBJECT file);
// Before an open goes down: would the file it names be protected? (Directories are not told apart.)
bool IsProtectedName(FilterExtension* extension, PDEVICE_OBJECT device, PFILE_OBJECT file);
// The decision for a file at a volume-relative path on the volume `device` filters (false off protected
// volumes).
bool IsProtectedPath(PDEVICE_OBJECT device, std::u16string_view path);
// True when a rule lies at or beneath the volume-relative folder `path`.
bool HasRuleAtOrUnder(PDEVICE_OBJECT device, std::u16string_view path);
// The full volume-relative name of an open file as the file system reports it, however long, in pool the caller
// frees (kTagPath); none when it cannot be had.
PFILE_NAME_INFORMATION QueryFullName(PDEVICE_OBJECT lower, PFILE_OBJECT file);
std::u16string_view NameOf(const FILE_NAME_INFORMATION* name);
// The full volume-relative name an open names (its own name, or its related file's full name and its own), in
// pool the caller frees (kTagPath); none when it cannot be put together.
PWSTR FullOpenedName(FilterExtension* extension, PFILE_OBJECT file, ULONG* length);
// `directory` + "\" + `name` in pool the caller frees (kTagPath).
PWSTR JoinPath(std::u16string_view directory, std::u16string_view name, ULONG* length);
// Frees what QueryFullName, FullOpenedName and JoinPath return.
void FreeName(PVOID name);

// cipher.cc
// Installs the 32-byte key and builds the file-data schedule from it; false when memory is short.
bool InstallKey(const UCHAR key[32]);
bool KeyHeld();
// A copy of the 32 bytes as installed; false when no key is held.
bool CopyHeldKey(UCHAR key[32]);
void FreeKey();
// The file-data cipher over [offset, offset + length) of a stream encoded for `encoded_size` bytes; `offset`
// is 16-aligned. Whole blocks, and the tail when the range reaches the encoded end; bytes at or past
// `encoded_size` are left as they are. False when no key is held.
bool EncryptRange(PUCHAR data, SIZE_T length, LONGLONG offset, LONGLONG encoded_size);
bool DecryptRange(PUCHAR data, SIZE_T length, LONGLONG offset, LONGLONG encoded_size);
// The key-operation cipher: AES-128 under the first 16 bytes of `key`, whole blocks only, nothing kept.
void KeyEncrypt(PUCHAR data, SIZE_T length, const UCHAR* key);
void KeyDecrypt(PUCHAR data, SIZE_T length, const UCHAR* key);

// dispatch_create.cc
NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp);

// dispatch_read_write.cc
NTSTATUS DispatchRead(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchWrite(PDEVICE_OBJECT device, PIRP irp);

// dispatch_set_information.cc
NTSTATUS DispatchSetInformation(PDEVICE_OBJECT device, PIRP irp);

// rename_rule.cc: a rename that would change a file's protection becomes a copy (STATUS_NOT_SAME_DEVICE).
NTSTATUS ApplyRenameRule(PDEVICE_OBJECT device, FilterExtension* extension, PIRP irp);

// size_change.cc: keeps the data on disk encoded for the file's current size across a size change.
struct SizeChange {
  StreamMark* mark;
  LONGLONG old_size;
  LONGLONG boundary;          // start of the block holding the lower of the old and the new end
  UCHAR boundary_plain[16];   // plaintext of [boundary, min(old, new))
};
// Before a request that may change a marked stream's size to `new_size` goes down. Holds the stream's size-change
// lock until FinishSizeChange.
NTSTATUS PrepareSizeChange(FilterExtension* extension, PFILE_OBJECT file, StreamMark* mark, LONGLONG new_size,
                           SizeChange* change);
// After it (whatever its result): re-encodes what the size the file now has changed on disk. `data_start` is where
// the request's own data begins (a write's offset), or the new size for a size change without data.
NTSTATUS FinishSizeChange(FilterExtension* extension, PFILE_OBJECT file, SizeChange* change, LONGLONG data_start);

// fastio.cc
PFAST_IO_DISPATCH BuildFastIoDispatch();
NTSTATUS RegisterFilterCallbacks(PDRIVER_OBJECT driver);

// control_device.cc
// Serves one control request. The buffers may be a caller's own memory: they are probed and touched only under
// an exception handler.
void ControlDeviceIoctl(PVOID input, ULONG input_length, PVOID output, ULONG output_length, ULONG code,
                        PIO_STATUS_BLOCK status);
NTSTATUS DispatchControlDeviceRequest(PDEVICE_OBJECT device, PIRP irp);
void FreeStoredPaths();

// key_operations.cc: the key and data requests, on copies of their input (lengths checked by the caller).
NTSTATUS SetFileKey(const UCHAR* request, PUCHAR reply);
// Needs a key held.
NTSTATUS CheckFileKey(const UCHAR* request, PUCHAR reply);
NTSTATUS MakeNextSn(const UCHAR* sn, PUCHAR reply);
NTSTATUS MakeNextEfkn(const UCHAR* kn, PUCHAR reply);
// A data request: copies its `length` bytes from the caller's address into `output` and transforms them there.
NTSTATUS TransformData(const UCHAR* request, bool encrypt, PVOID output, ULONG output_length,
                       ULONG_PTR* information);

}  // namespace tavik::morvel
