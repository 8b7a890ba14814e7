// Text files of the scripting file-system object over kernel32's file calls, so they reach the machine's drives
// as every other file of its programs does.
#include <cstring>
#include <utility>

#include "scrrun.h"

namespace {

constexpr long kErrPermissionDenied = 70;
constexpr long kErrFileAlreadyExists = 58;
constexpr long kErrFileAccess = 75;

[[noreturn]] void RaiseForLastError(std::u16string_view path) {
  const DWORD error = GetLastError();
  const std::u16string source = u"FileSystemObject";
  switch (error) {
    case ERROR_FILE_NOT_FOUND: Err.Raise(kErrFileNotFound, source, u"File not found: " + std::u16string(path));
    case ERROR_PATH_NOT_FOUND: Err.Raise(kErrPathNotFound, source, u"Path not found: " + std::u16string(path));
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: Err.Raise(kErrPermissionDenied, source, u"Permission denied");
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: Err.Raise(kErrFileAlreadyExists, source, u"File already exists");
    default: Err.Raise(kErrFileAccess, source, u"Path/File access error");
  }
}

HANDLE Open(std::u16string_view path, DWORD access, DWORD disposition) {
  const HANDLE file = CreateFileA(AnsiOf(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) RaiseForLastError(path);
  return file;
}

}  // namespace

TextStream::TextStream(HANDLE file, IOMode mode) : file_(file), mode_(mode) {}

TextStream::TextStream(TextStream&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)),
      mode_(other.mode_),
      pending_(std::move(other.pending_)),
      ended_(other.ended_) {}

TextStream& TextStream::operator=(TextStream&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = std::exchange(other.file_, nullptr);
    mode_ = other.mode_;
    pending_ = std::move(other.pending_);
    ended_ = other.ended_;
  }
  return *this;
}

TextStream::~TextStream() { Close(); }

void TextStream::Close() {
  if (file_ != nullptr) CloseHandle(std::exchange(file_, nullptr));
}

void TextStream::Write(std::u16string_view text) {
  if (file_ == nullptr || mode_ == ForReading) Err.Raise(54, u"TextStream", u"Bad file mode");
  const std::string bytes = AnsiOf(text);
  DWORD written = 0;
  if (!WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    Err.Raise(kErrFileAccess, u"TextStream", u"Path/File access error");
  }
}

void TextStream::WriteLine(std::u16string_view text) { Write(std::u16string(text) + u"\r\n"); }

void TextStream::Fill() {
  char buffer[4096];
  DWORD read = 0;
  if (!ReadFile(file_, buffer, sizeof buffer, &read, nullptr) || read == 0) {
    ended_ = true;
    return;
  }
  pending_.append(buffer, read);
}

bool TextStream::AtEndOfStream() {
  if (file_ == nullptr || mode_ != ForReading) Err.Raise(54, u"TextStream", u"Bad file mode");
  while (pending_.empty() && !ended_) Fill();
  return pending_.empty();
}

std::u16string TextStream::ReadLine() {
  if (AtEndOfStream()) Err.Raise(kErrInputPastEnd, u"TextStream");
  size_t end = pending_.find('\n');
  while (end == std::string::npos && !ended_) {
    Fill();
    end = pending_.find('\n');
  }
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end == std::string::npos ? pending_.size() : end + 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return TextOfAnsi(line);
}

bool FileSystemObject::FileExists(std::u16string_view path) const {
  const DWORD attributes = GetFileAttributesA(AnsiOf(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

TextStream FileSystemObject::CreateTextFile(std::u16string_view path, bool overwrite, bool unicode) const {
  if (unicode) Err.Raise(kErrInvalidCall, u"CreateTextFile", u"Unicode text files are not implemented");
  return TextStream(Open(path, GENERIC_WRITE, overwrite ? CREATE_ALWAYS : CREATE_NEW), ForWriting);
}

TextStream FileSystemObject::OpenTextFile(std::u16string_view path, IOMode mode, bool create, Tristate format) const {
  if (format == TristateTrue) Err.Raise(kErrInvalidCall, u"OpenTextFile", u"Unicode text files are not implemented");
  switch (mode) {
    case ForReading: return TextStream(Open(path, GENERIC_READ, create ? OPEN_ALWAYS : OPEN_EXISTING), ForReading);
    case ForWriting:
      return TextStream(Open(path, GENERIC_WRITE, create ? CREATE_ALWAYS : TRUNCATE_EXISTING), ForWriting);
    case ForAppending: {
      const HANDLE file = Open(path, GENERIC_WRITE, create ? OPEN_ALWAYS : OPEN_EXISTING);
      SetFilePointer(file, 0, nullptr, FILE_END);
      return TextStream(file, ForAppending);
    }
  }
  Err.Raise(kErrInvalidCall, u"OpenTextFile");
}
