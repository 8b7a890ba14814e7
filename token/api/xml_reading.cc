// The SAX handler behind the records' XML setters. It keeps the current element's name from its start tag until
// its text or its end tag, and drops text that arrives outside any element.
#include "xml_reading.h"

#include <cstring>
#include <string>

#include "msxml2.h"

namespace tavik::tokenapi {
namespace {

std::string Narrow(const WCHAR* text, int length) {
  std::string narrow(static_cast<size_t>(length), '\0');
  for (int i = 0; i < length; ++i) narrow[static_cast<size_t>(i)] = static_cast<char>(text[i] & 0xFF);
  return narrow;
}

// Lives on the caller's stack for one parse; the reader's references to it end when the reader is released.
class RecordHandler final : public ISAXContentHandler, public ISAXErrorHandler {
 public:
  explicit RecordHandler(RecordEvents& record) : record_(record) {}

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISAXContentHandler)) {
      *object = static_cast<ISAXContentHandler*>(this);
    } else if (IsEqualIID(riid, IID_ISAXErrorHandler)) {
      *object = static_cast<ISAXErrorHandler*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }

  HRESULT putDocumentLocator(ISAXLocator*) override { return S_OK; }
  HRESULT startDocument() override { return S_OK; }
  HRESULT endDocument() override { return S_OK; }
  HRESULT startPrefixMapping(const WCHAR*, int, const WCHAR*, int) override { return S_OK; }
  HRESULT endPrefixMapping(const WCHAR*, int) override { return S_OK; }
  HRESULT startElement(const WCHAR*, int, const WCHAR* local_name, int local_name_length, const WCHAR*, int,
                       ISAXAttributes*) override {
    current_ = Narrow(local_name, local_name_length);
    record_.OpenTag(current_.c_str());
    return S_OK;
  }
  HRESULT endElement(const WCHAR*, int, const WCHAR* local_name, int local_name_length, const WCHAR*,
                     int) override {
    current_.clear();
    record_.CloseTag(Narrow(local_name, local_name_length).c_str());
    return S_OK;
  }
  HRESULT characters(const WCHAR* chars, int length) override {
    if (current_.empty()) return S_OK;
    const std::string name = std::move(current_);
    current_.clear();
    record_.Element(name.c_str(), Narrow(chars, length).c_str());
    return S_OK;
  }
  HRESULT ignorableWhitespace(const WCHAR*, int) override { return S_OK; }
  HRESULT processingInstruction(const WCHAR*, int, const WCHAR*, int) override { return S_OK; }
  HRESULT skippedEntity(const WCHAR*, int) override { return S_OK; }

  // The reader stops at any error; its parse result tells the caller.
  HRESULT error(ISAXLocator*, const WCHAR*, HRESULT) override { return S_OK; }
  HRESULT fatalError(ISAXLocator*, const WCHAR*, HRESULT) override { return S_OK; }
  HRESULT ignorableWarning(ISAXLocator*, const WCHAR*, HRESULT) override { return S_OK; }

 private:
  RecordEvents& record_;
  std::string current_;
};

// Each byte becomes the UTF-16 unit of the same value, which the narrowing above turns back into that byte.
BSTR Widen(const char* text, size_t length) {
  BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (wide == nullptr) return nullptr;
  for (size_t i = 0; i < length; ++i) wide[i] = static_cast<unsigned char>(text[i]);
  return wide;
}

}  // namespace

bool ReadRecordXml(const char* text, int length, RecordEvents& record) {
  if (text == nullptr || length < 0) return false;
  const HRESULT initialized = CoInitialize(nullptr);
  ISAXXMLReader* reader = nullptr;
  bool complete = false;
  if (SUCCEEDED(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXXMLReader,
                                 reinterpret_cast<void**>(&reader)))) {
    RecordHandler handler(record);
    reader->putContentHandler(&handler);
    reader->putErrorHandler(&handler);
    VARIANT input;
    VariantInit(&input);
    input.vt = VT_BSTR;
    input.bstrVal = Widen(text, strnlen(text, static_cast<size_t>(length)));
    complete = input.bstrVal != nullptr && reader->parse(input) == S_OK;
    VariantClear(&input);
    reader->Release();
  }
  if (SUCCEEDED(initialized)) CoUninitialize();
  return complete;
}

}  // namespace tavik::tokenapi
