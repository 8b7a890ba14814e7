// Small text files through the scripting file-system object, in the ANSI code page.
#include "program_routines.h"
#include "scrrun.h"

std::u16string TextFileIO(int mode, std::u16string text, const std::u16string& path) {
  const FileSystemObject fso;
  if (!fso.FileExists(path)) fso.CreateTextFile(path).Close();
  switch (mode) {
    case 0: fso.OpenTextFile(path, ForWriting).WriteLine(text); break;
    case 1: fso.OpenTextFile(path, ForWriting).Write(text); break;
    case 2: {
      TextStream stream = fso.OpenTextFile(path, ForReading);
      text = stream.AtEndOfStream() ? std::u16string() : stream.ReadLine();
      break;
    }
    case 3: fso.OpenTextFile(path, ForAppending).WriteLine(text); break;
    case 4: fso.OpenTextFile(path, ForAppending).Write(text); break;
    default: Err.Raise(kErrInvalidCall, u"TextFileIO");
  }
  return text;
}
