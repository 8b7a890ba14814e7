// The system's scripting file-system object, as far as the form-based programs use it: whether a file exists, and
// text files written, appended to and read line by line in the ANSI code page with CR LF line ends. Failures raise
// the form runtime's run-time errors (forms.h): a file that is not there (53), a folder that is not there (76), no
// access (70), a file that exists already (58), reading past the end (62).
#pragma once

#include <string>
#include <string_view>

#include "forms.h"
#include "windows.h"

enum IOMode { ForReading = 1, ForWriting = 2, ForAppending = 8 };
// Only the default (ANSI) text format is implemented.
enum Tristate { TristateUseDefault = -2, TristateTrue = -1, TristateFalse = 0 };

class TextStream {
 public:
  TextStream(TextStream&& other) noexcept;
  TextStream& operator=(TextStream&& other) noexcept;
  TextStream(const TextStream&) = delete;
  TextStream& operator=(const TextStream&) = delete;
  ~TextStream();

  void Write(std::u16string_view text);
  // The text and CR LF.
  void WriteLine(std::u16string_view text = {});
  // The text up to the next line end (CR LF or LF), which is dropped.
  std::u16string ReadLine();
  bool AtEndOfStream();
  void Close();

 private:
  friend class FileSystemObject;
  TextStream(HANDLE file, IOMode mode);
  void Fill();

  HANDLE file_ = nullptr;
  IOMode mode_ = ForReading;
  std::string pending_;  // bytes read ahead
  bool ended_ = false;
};

class FileSystemObject {
 public:
  bool FileExists(std::u16string_view path) const;
  // A new, empty file (an old one is replaced when `overwrite`), open for writing.
  TextStream CreateTextFile(std::u16string_view path, bool overwrite = true, bool unicode = false) const;
  // With `create`, a file that is not there is made, empty.
  TextStream OpenTextFile(std::u16string_view path, IOMode mode = ForReading, bool create = false,
                          Tristate format = TristateUseDefault) const;
};
