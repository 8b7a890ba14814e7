// The SAX reader object: it holds the content and error handlers it was given and parses strings for them.
// Features, properties, URLs and the other handler kinds are outside what the system uses and fail loudly.
#include <atomic>

#include "msxml3_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(msxml3);

namespace xp::msxml3 {
namespace {

template <typename Interface>
void Replace(Interface** slot, Interface* handler) {
  if (handler != nullptr) handler->AddRef();
  if (*slot != nullptr) (*slot)->Release();
  *slot = handler;
}

HRESULT Unused(const char* method) {
  XP_FIXME(method, "not used by the system");
  return E_NOTIMPL;
}

class SaxXmlReader final : public ISAXXMLReader {
 public:
  ~SaxXmlReader() {
    Replace<ISAXContentHandler>(&content_, nullptr);
    Replace<ISAXErrorHandler>(&errors_, nullptr);
  }

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_ISAXXMLReader)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *object = static_cast<ISAXXMLReader*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT putContentHandler(ISAXContentHandler* handler) override {
    Replace(&content_, handler);
    return S_OK;
  }
  HRESULT putErrorHandler(ISAXErrorHandler* handler) override {
    Replace(&errors_, handler);
    return S_OK;
  }

  // Only a string is read; a handler may not start another parse on the same reader.
  HRESULT parse(VARIANT input) override {
    if (input.vt != VT_BSTR) {
      if (input.vt != VT_EMPTY) XP_FIXME("parse", "input of variant type %u", static_cast<unsigned>(input.vt));
      return E_INVALIDARG;
    }
    if (parsing_) return E_FAIL;
    parsing_ = true;
    const HRESULT hr = ParseDocument(std::u16string_view(input.bstrVal, SysStringLen(input.bstrVal)), content_,
                                     errors_);
    parsing_ = false;
    return hr;
  }

  HRESULT getFeature(const WCHAR*, VARIANT_BOOL*) override { return Unused("getFeature"); }
  HRESULT putFeature(const WCHAR*, VARIANT_BOOL) override { return Unused("putFeature"); }
  HRESULT getProperty(const WCHAR*, VARIANT*) override { return Unused("getProperty"); }
  HRESULT putProperty(const WCHAR*, VARIANT) override { return Unused("putProperty"); }
  HRESULT getEntityResolver(ISAXEntityResolver**) override { return Unused("getEntityResolver"); }
  HRESULT putEntityResolver(ISAXEntityResolver*) override { return Unused("putEntityResolver"); }
  HRESULT getContentHandler(ISAXContentHandler**) override { return Unused("getContentHandler"); }
  HRESULT getDTDHandler(ISAXDTDHandler**) override { return Unused("getDTDHandler"); }
  HRESULT putDTDHandler(ISAXDTDHandler*) override { return Unused("putDTDHandler"); }
  HRESULT getErrorHandler(ISAXErrorHandler**) override { return Unused("getErrorHandler"); }
  HRESULT getBaseURL(const WCHAR**) override { return Unused("getBaseURL"); }
  HRESULT putBaseURL(const WCHAR*) override { return Unused("putBaseURL"); }
  HRESULT getSecureBaseURL(const WCHAR**) override { return Unused("getSecureBaseURL"); }
  HRESULT putSecureBaseURL(const WCHAR*) override { return Unused("putSecureBaseURL"); }
  HRESULT parseURL(const WCHAR*) override { return Unused("parseURL"); }

 private:
  std::atomic<ULONG> references_{0};
  ISAXContentHandler* content_ = nullptr;
  ISAXErrorHandler* errors_ = nullptr;
  bool parsing_ = false;
};

}  // namespace

HRESULT CreateSaxReader(REFIID riid, void** object) {
  auto* reader = new SaxXmlReader;
  reader->AddRef();
  const HRESULT hr = reader->QueryInterface(riid, object);
  reader->Release();
  return hr;
}

}  // namespace xp::msxml3
