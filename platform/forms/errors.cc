// Run-time errors: what Err.Raise throws, the runtime's texts for its numbers, and the end of a program whose event
// let an error through, which a box reports before the process ends.
#include "forms_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(forms);

RuntimeError::RuntimeError(long number, std::u16string source, std::u16string description)
    : number_(number),
      source_(std::move(source)),
      description_(description.empty() ? ErrorText(number) : std::move(description)),
      what_(AnsiOf(description_)) {}

const ErrObject Err;

void ErrObject::Raise(long number, std::u16string source, std::u16string description) const {
  throw RuntimeError(number, std::move(source), std::move(description));
}

std::u16string ErrorText(long number) {
  switch (number) {
    case kErrInvalidCall: return u"Invalid procedure call or argument";
    case kErrOverflow: return u"Overflow";
    case kErrDllLoad: return u"Error in loading DLL";
    case kErrFileNotFound: return u"File not found";
    case kErrInputPastEnd: return u"Input past end of file";
    case kErrPathNotFound: return u"Path not found";
    case kErrResourceNotFound: return u"Resource not found";
    case kErrReadOnlyProperty: return u"Property is read-only";
    case kErrAlreadyShownModal: return u"Form already displayed; can't show modally";
    case kErrEntryPointNotFound: return u"Can't find DLL entry point";
    default: return u"Application-defined or object-defined error";
  }
}

namespace {

void EndWithError(long number, const std::u16string& description) {
  XP_ERR("RunEvent", "run-time error %ld: %s", number, AnsiOf(description).c_str());
  MsgBox(u"Run-time error '" + CStr(number) + u"':\r\n\r\n" + description, MB_OK | MB_ICONERROR);
  ExitProcess(1);
}

}  // namespace

void RunEvent(const std::function<void()>& event) {
  try {
    event();
  } catch (const RuntimeError& error) {
    EndWithError(error.Number(), error.Description());
  } catch (const std::exception& error) {
    EndWithError(kErrInvalidCall, TextOfAnsi(error.what()));
  }
}
