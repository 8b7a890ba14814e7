// Encrypting one file in place: the file is renamed to its temporary name (path + ".H1K"), copied back under its
// own name through the file cipher in 64 KiB chunks, each verified right after it is written, given back its
// compression, sparseness, EFS, times and attributes, written through to the disk and committed in the history;
// only then does its temporary copy go. Any failure before the commit puts the plain file back.
#include <cstring>
#include <memory>

#include "diskseal_private.h"
#include "install/init_encrypt.h"

using tavik::diskseal::Box;

namespace {

constexpr DWORD kChunkSize = 0x10000;

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
  void Close() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// One file between its rename and its commit: the handles on both names, and the way back to the plain file.
class InFlight {
 public:
  InFlight(CWnd* owner, const std::string& path) : owner_(owner), path_(path), temporary_(path + ".H1K") {}

  const std::string& temporary() const { return temporary_; }
  ScopedHandle& source() { return source_; }
  ScopedHandle& target() { return target_; }

  // Puts the plain file back under its name and gives `result`. When the rename back fails, the user is asked to
  // do it, in the words of the failure.
  int Restore(int result, const char* failure_caption) {
    source_.Close();
    target_.Close();
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path_.c_str());
    if (!MoveFileA(temporary_.c_str(), path_.c_str())) {
      if (result == kWriteFailed) {
        Box(owner_, "Please rename this file\r\n" + temporary_ + "\r\nto this file\r\n" + path_, "Rename failure",
            MB_OK);
      } else {
        Box(owner_, "Please rename this file to its original file name:\r\n" + temporary_, failure_caption, MB_OK);
      }
    }
    return result;
  }

 private:
  CWnd* owner_;
  std::string path_;
  std::string temporary_;
  ScopedHandle source_;
  ScopedHandle target_;
};

// Fills the chunk unless the file ends first: a short read in mid-file must not put a tail in mid-file.
bool ReadChunk(HANDLE file, unsigned char* chunk, DWORD* length) {
  *length = 0;
  while (*length < kChunkSize) {
    DWORD got = 0;
    if (!ReadFile(file, chunk + *length, kChunkSize - *length, &got, nullptr)) return false;
    if (got == 0) break;
    *length += got;
  }
  return true;
}

}  // namespace

int CInitEncrypt::EncryptFileInPlace(const std::string& path) {
  CWnd* owner = owner_->Window();
  FILETIME creation, access, write;
  const bool times_read = getFileTime(path.c_str(), &creation, &access, &write) != 0;

  InFlight file(owner, path);
  const std::string& temporary = file.temporary();
  if (!MoveFileA(path.c_str(), temporary.c_str())) return kRenameFailed;
  const DWORD attributes = GetFileAttributesA(temporary.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return file.Restore(kAttributesUnreadable, "Get File Attributes Failure");
  file.source().Reset(CreateFileA(temporary.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.source().valid()) return file.Restore(kOpenReadFailed, "Open File Read Failure");

  const DWORD create_attributes =
      (attributes & FILE_ATTRIBUTE_ENCRYPTED) ? FILE_ATTRIBUTE_ENCRYPTED : FILE_ATTRIBUTE_NORMAL;
  file.target().Reset(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, create_attributes, nullptr));
  if (!file.target().valid()) return file.Restore(kOpenReadFailed, "Open File Read Failure");
  file.target().Close();
  if ((attributes & FILE_ATTRIBUTE_COMPRESSED) && !setCompressSparseAttr(true, path.c_str())) {
    return file.Restore(kCompressionNotSet, tavik::diskseal::kCaption);
  }
  if ((attributes & FILE_ATTRIBUTE_SPARSE_FILE) && !setCompressSparseAttr(false, path.c_str())) {
    return file.Restore(kSparseNotSet, tavik::diskseal::kCaption);
  }
  file.target().Reset(
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.target().valid()) return file.Restore(kOpenWriteFailed, "Open File Write Failure");
  if (!bValidXCFK(key_)) return file.Restore(kWrongKey, "System Data Corrupted");

  const std::unique_ptr<unsigned char[]> chunk(new unsigned char[kChunkSize + 1]);
  const std::unique_ptr<unsigned char[]> copy(new unsigned char[kChunkSize + 1]);
  for (;;) {
    DWORD length = 0;
    if (!ReadChunk(file.source().get(), chunk.get(), &length)) {
      Box(owner, temporary, "Read error code " + std::to_string(GetLastError()), MB_OK);
      return file.Restore(kReadFailed, "Read File Data Failure");
    }
    if (length == 0) break;
    std::memcpy(copy.get(), chunk.get(), length);
    _enc(chunk.get(), length, key_, sizeof key_);
    DWORD written = 0;
    if (!WriteFile(file.target().get(), chunk.get(), length, &written, nullptr)) {
      return file.Restore(kWriteFailed, "Rename failure");
    }
    if (written != length) {
      Box(owner, "Number of bytes written is incorrect.", "Write data failed", MB_OK);
      return file.Restore(kWriteFailed, "Rename failure");
    }
    _dec(chunk.get(), length, key_, sizeof key_);
    if (std::memcmp(chunk.get(), copy.get(), length) != 0)
      return file.Restore(kVerifyFailed, "Ecnryption Verify Failure");
  }

  // Everything the file had goes back on before the commit, so that a committed file is a finished one: times
  // before the attributes, as a read-only file takes no new times.
  if (history_.durable() && !FlushFileBuffers(file.target().get())) {
    return file.Restore(kWriteFailed, "Rename failure");
  }
  file.source().Close();
  file.target().Close();
  if (attributes & FILE_ATTRIBUTE_ENCRYPTED) EncryptFileA(path.c_str());
  if (times_read) setFileTime(path.c_str(), &creation, &access, &write);
  if (!SetFileAttributesA(path.c_str(), attributes)) return file.Restore(kAttributesNotSet, tavik::diskseal::kCaption);

  // Whether a failed commit reached the disk is not known: both copies stay, and the restore of the next run
  // settles the file by what the history holds then.
  if (!history_.Commit(path)) return kHistoryNotWritten;
  done_.Add(path);
  SetFileAttributesA(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileA(temporary.c_str())) return kTemporaryNotDeleted;
  return kEncrypted;
}
