// The library's in-process server face: the class factory for the SAX reader, handed out by DllGetClassObject.
#include "msxml3_private.h"

namespace xp::msxml3 {
namespace {

// One factory serves the whole process; it lives as long as the library.
class SaxReaderFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CreateSaxReader(riid, object);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

SaxReaderFactory factory;

}  // namespace
}  // namespace xp::msxml3

// Exported by msxml3.
extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualGUID(clsid, CLSID_SAXXMLReader)) return CLASS_E_CLASSNOTAVAILABLE;
  return xp::msxml3::factory.QueryInterface(riid, object);
}
