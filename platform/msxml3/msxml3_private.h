// Declarations shared inside msxml3, grouped by the file that defines them.
#pragma once

#include <string>
#include <string_view>

#include "msxml2.h"

namespace xp::msxml3 {

// utf.cc: the parser's UTF-8 as the UTF-16 units the handlers receive.
std::u16string Utf16FromUtf8(std::string_view text);

// document_parse.cc: parses one document held as UTF-16 text and reports it to the handlers (either may be
// null). Returns S_OK when the whole document was read, the failure a handler returned, or E_FAIL after reporting
// a malformed document to the error handler's fatalError.
HRESULT ParseDocument(std::u16string_view text, ISAXContentHandler* content, ISAXErrorHandler* errors);

// sax_reader.cc: a new reader, as the class factory hands it out.
HRESULT CreateSaxReader(REFIID riid, void** object);

}  // namespace xp::msxml3
