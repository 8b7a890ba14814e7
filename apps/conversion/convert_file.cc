// Converting one file through the file cipher, in either direction. In place, the file is renamed to its temporary
// name and written back under its own name; as a recovery copy, the encrypted file is read where it lies and the
// plaintext goes to a new file beside it. Either way the data passes in full 64 KiB chunks, each verified right
// after it is written, and the new file gets back what the file system knew of the old one before it counts as
// done. Any failure on the way undoes the conversion: in place the old content takes its name again, a copy goes.
#include <cstring>
#include <memory>

#include "conversion.h"
#include "setupcore.h"

namespace tavik::conversion {
namespace {

constexpr DWORD kChunkSize = 0x10000;

constexpr ConversionTexts kEncryptionTexts = {
    "Get File Attributes Failure", "Open File Read Failure", nullptr, "Open File Write Failure",
    "System Data Corrupted",       "Read File Data Failure", "Ecnryption Verify Failure", kCaption, kCaption,
};
constexpr ConversionTexts kDecryptionTexts = {
    "Get File Attributes Failed", "Open File Failed",   "Create write file failed: [005]",
    "Open File(Write) Failed",    "System Data Corrupted", "Read File Data Failure",
    "Decrypt Verify Failure",     "Set File Attributes Failed", kCaption,
};

class ScopedHandle {
 public:
  ~ScopedHandle() { Close(); }
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
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A copy is written under this name beside its final one, so that a failed attempt never costs an earlier copy.
constexpr char kCopyWritingSuffix[] = ".tmp";

bool Exists(const std::string& name) { return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Where a copy's encrypted content lies: under the file's temporary name when a decryption left it there (its
// restore failed; whatever lies under the file's own name then is not the file), else under the file's name.
std::string CopySource(const FileConversion& conversion, const std::string& path) {
  const std::string left = path + conversion.suffix;
  return Exists(left) ? left : path;
}

// One file at work: what is read, what is written, and the way back.
class InFlight {
 public:
  InFlight(CWnd* owner, const FileConversion& conversion, const std::string& path, bool in_place)
      : owner_(owner),
        texts_(*conversion.texts),
        in_place_(in_place),
        path_(path),
        source_name_(in_place ? path + conversion.suffix : CopySource(conversion, path)),
        target_name_(in_place ? path : path + kCopySuffix + kCopyWritingSuffix) {}

  const ConversionTexts& texts() const { return texts_; }
  const std::string& source_name() const { return source_name_; }
  const std::string& target_name() const { return target_name_; }
  ScopedHandle& source() { return source_; }
  ScopedHandle& target() { return target_; }

  // Undoes the conversion and gives `result`, with the failure's system error still the last error. In place the
  // old content is put back under its name; when that rename fails, the user is asked to do it, in the words of
  // the failure. A copy is deleted.
  int Undo(int result, const char* failure_caption) {
    const DWORD error = GetLastError();
    source_.Close();
    target_.Close();
    SetFileAttributesA(target_name_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(target_name_.c_str());
    if (in_place_ && !MoveFileA(source_name_.c_str(), path_.c_str())) {
      if (result == kWriteFailed) {
        Box(owner_, "Please rename this file\r\n" + source_name_ + "\r\nto this file\r\n" + path_, "Rename failure",
            MB_OK);
      } else {
        Box(owner_, "Please rename this file to its original file name:\r\n" + source_name_, failure_caption, MB_OK);
      }
    }
    SetLastError(error);
    return result;
  }

 private:
  CWnd* owner_;
  const ConversionTexts& texts_;
  bool in_place_;
  std::string path_;
  std::string source_name_;
  std::string target_name_;
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

void Transform(Direction direction, unsigned char* data, DWORD length, const unsigned char* xcfk) {
  unsigned char* key = const_cast<unsigned char*>(xcfk);
  if (direction == Direction::kEncrypt) {
    _enc(data, length, key, 33);
  } else {
    _dec(data, length, key, 33);
  }
}

Direction Reverse(Direction direction) {
  return direction == Direction::kEncrypt ? Direction::kDecrypt : Direction::kEncrypt;
}

// The finished copy takes its name, in place of an earlier one (read-only or not), written through.
int PutCopyInPlace(InFlight& file, const std::string& copy) {
  const DWORD earlier = GetFileAttributesA(copy.c_str());
  if (earlier != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (MoveFileExA(file.target_name().c_str(), copy.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return kConverted;
  }
  const int result = file.Undo(kOpenWriteFailed, file.texts().open_write);
  if (earlier != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(copy.c_str(), earlier);
  return result;
}

int Convert(const FileConversion& conversion, const unsigned char* xcfk, const std::string& path, CWnd* owner,
            History* history, bool in_place) {
  InFlight file(owner, conversion, path, in_place);
  const ConversionTexts& texts = file.texts();
  const std::string& source = file.source_name();
  const std::string& target = file.target_name();
  FILETIME creation, access, write;
  const bool times_read = getFileTime((in_place ? path : source).c_str(), &creation, &access, &write) != 0;
  if (in_place) {
    if (!MoveFileA(path.c_str(), source.c_str())) return kRenameFailed;
  } else {
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(target.c_str());
  }
  const DWORD attributes = GetFileAttributesA(source.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return file.Undo(kAttributesUnreadable, texts.attributes_unreadable);
  file.source().Reset(CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.source().valid()) {
    if (in_place && texts.open_read_box != nullptr) Box(owner, texts.open_read_box, texts.open_read, MB_OK);
    return file.Undo(kOpenReadFailed, texts.open_read);
  }

  const DWORD create_attributes =
      (attributes & FILE_ATTRIBUTE_ENCRYPTED) ? FILE_ATTRIBUTE_ENCRYPTED : FILE_ATTRIBUTE_NORMAL;
  file.target().Reset(
      CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, create_attributes, nullptr));
  if (!file.target().valid()) return file.Undo(in_place ? kOpenReadFailed : kOpenWriteFailed, texts.open_read);
  file.target().Close();
  if ((attributes & FILE_ATTRIBUTE_COMPRESSED) && !setCompressSparseAttr(true, target.c_str())) {
    return file.Undo(kCompressionNotSet, texts.compression_not_set);
  }
  if ((attributes & FILE_ATTRIBUTE_SPARSE_FILE) && !setCompressSparseAttr(false, target.c_str())) {
    return file.Undo(kSparseNotSet, texts.compression_not_set);
  }
  file.target().Reset(
      CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.target().valid()) return file.Undo(kOpenWriteFailed, texts.open_write);
  if (!bValidXCFK(xcfk)) return file.Undo(kWrongKey, texts.wrong_key);

  const std::unique_ptr<unsigned char[]> chunk(new unsigned char[kChunkSize + 1]);
  const std::unique_ptr<unsigned char[]> copy(new unsigned char[kChunkSize + 1]);
  for (;;) {
    DWORD length = 0;
    if (!ReadChunk(file.source().get(), chunk.get(), &length)) {
      Box(owner, in_place ? source : path + kCopySuffix, "Read error code " + std::to_string(GetLastError()), MB_OK);
      return file.Undo(kReadFailed, texts.read_failed);
    }
    if (length == 0) break;
    std::memcpy(copy.get(), chunk.get(), length);
    Transform(conversion.direction, chunk.get(), length, xcfk);
    DWORD written = 0;
    if (!WriteFile(file.target().get(), chunk.get(), length, &written, nullptr)) {
      return file.Undo(kWriteFailed, "Rename failure");
    }
    if (written != length) {
      Box(owner, "Number of bytes written is incorrect.", "Write data failed", MB_OK);
      return file.Undo(kWriteFailed, "Rename failure");
    }
    Transform(Reverse(conversion.direction), chunk.get(), length, xcfk);
    if (std::memcmp(chunk.get(), copy.get(), length) != 0) return file.Undo(kVerifyFailed, texts.verify_failed);
  }

  // Everything the file had goes back on before the commit, so that a committed file is a finished one: times
  // before the attributes, as a read-only file takes no new times.
  const bool durable = history == nullptr || history->durable();
  if (durable && !FlushFileBuffers(file.target().get())) return file.Undo(kWriteFailed, "Rename failure");
  file.source().Close();
  file.target().Close();
  if (attributes & FILE_ATTRIBUTE_ENCRYPTED) EncryptFileA(target.c_str());
  if (times_read) setFileTime(target.c_str(), &creation, &access, &write);
  if (!SetFileAttributesA(target.c_str(), attributes)) return file.Undo(kAttributesNotSet, texts.attributes_not_set);
  if (!in_place) return PutCopyInPlace(file, path + kCopySuffix);

  // Whether a failed commit reached the disk is not known: both copies stay, and the settlement of the next run
  // decides the file by what the history holds then.
  if (history != nullptr && !history->Commit(path)) return kHistoryNotWritten;
  SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileA(source.c_str())) return kTemporaryNotDeleted;
  return kConverted;
}

}  // namespace

const FileConversion kEncryption = {Direction::kEncrypt, ".H1K", &kEncryptionTexts};
const FileConversion kDecryption = {Direction::kDecrypt, ".H0K", &kDecryptionTexts};

int ConvertFileInPlace(const FileConversion& conversion, const unsigned char* xcfk, const std::string& path,
                       CWnd* owner, History* history) {
  return Convert(conversion, xcfk, path, owner, history, /*in_place=*/true);
}

int DecryptFileToCopy(const unsigned char* xcfk, const std::string& path, CWnd* owner) {
  return Convert(kDecryption, xcfk, path, owner, nullptr, /*in_place=*/false);
}

}  // namespace tavik::conversion
