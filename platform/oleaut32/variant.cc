// VARIANTs as the system passes them: empty, or holding an automation string that VariantClear frees.
#include "oleauto.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(oleaut32);

// Exported by oleaut32.
extern "C" void VariantInit(VARIANT* variant) {
  variant->vt = VT_EMPTY;
  variant->wReserved1 = variant->wReserved2 = variant->wReserved3 = 0;
  variant->bstrVal = nullptr;
}

// Exported by oleaut32.
extern "C" HRESULT VariantClear(VARIANT* variant) {
  if (variant == nullptr) return E_INVALIDARG;
  switch (variant->vt) {
    case VT_EMPTY:
      return S_OK;
    case VT_BSTR:
      SysFreeString(variant->bstrVal);
      VariantInit(variant);
      return S_OK;
    default:
      XP_FIXME("VariantClear", "variant type %u", variant->vt);
      return DISP_E_BADVARTYPE;
  }
}
