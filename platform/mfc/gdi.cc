// The framework's GDI objects: bitmaps and device contexts over gdi32, owned by their objects, and the context of a
// paint handler.
#include <map>
#include <memory>
#include <mutex>

#include "mfc_private.h"

namespace xp::mfc {
namespace {

// Objects standing for handles no framework object owns (the stock bitmap a new context holds), made on first use.
struct StandIns {
  std::mutex mutex;
  std::map<HGDIOBJ, std::unique_ptr<CBitmap>> bitmaps;
  std::map<HGDIOBJ, CGdiObject*> owners;
};

StandIns& Objects() {
  static StandIns* const objects = new StandIns;
  return *objects;
}

}  // namespace
}  // namespace xp::mfc

CGdiObject::~CGdiObject() { DeleteObject(); }

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
  if (hObject == nullptr || m_hObject != nullptr) return FALSE;
  xp::mfc::StandIns& objects = xp::mfc::Objects();
  const std::lock_guard<std::mutex> lock(objects.mutex);
  objects.owners[hObject] = this;
  m_hObject = hObject;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  const HGDIOBJ handle = m_hObject;
  if (handle != nullptr) {
    xp::mfc::StandIns& objects = xp::mfc::Objects();
    const std::lock_guard<std::mutex> lock(objects.mutex);
    objects.owners.erase(handle);
  }
  m_hObject = nullptr;
  return handle;
}

BOOL CGdiObject::DeleteObject() {
  if (m_hObject == nullptr) return FALSE;
  return ::DeleteObject(Detach());
}

int CGdiObject::GetObject(int nCount, LPVOID lpObject) const { return ::GetObjectA(m_hObject, nCount, lpObject); }

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
  return Attach(::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource)));
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const { return GetObject(sizeof(BITMAP), pBitMap); }

CBitmap* CBitmap::FromHandle(HBITMAP hBitmap) {
  if (hBitmap == nullptr) return nullptr;
  xp::mfc::StandIns& objects = xp::mfc::Objects();
  const std::lock_guard<std::mutex> lock(objects.mutex);
  const auto owner = objects.owners.find(hBitmap);
  if (owner != objects.owners.end()) return static_cast<CBitmap*>(owner->second);
  std::unique_ptr<CBitmap>& stand_in = objects.bitmaps[hBitmap];
  if (stand_in == nullptr) {
    stand_in = std::make_unique<CBitmap>();
    stand_in->m_hObject = hBitmap;
  }
  return stand_in.get();
}

CDC::~CDC() {
  if (m_hDC != nullptr) DeleteDC();
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
  if (m_hDC != nullptr) return FALSE;
  m_hDC = ::CreateCompatibleDC(pDC != nullptr ? pDC->m_hDC : nullptr);
  return m_hDC != nullptr;
}

BOOL CDC::DeleteDC() {
  if (m_hDC == nullptr) return FALSE;
  const HDC dc = m_hDC;
  m_hDC = nullptr;
  return ::DeleteDC(dc);
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
  if (pBitmap == nullptr) return nullptr;
  return CBitmap::FromHandle(::SelectObject(m_hDC, pBitmap->m_hObject));
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) {
  return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC != nullptr ? pSrcDC->m_hDC : nullptr, xSrc, ySrc, dwRop);
}

BOOL CDC::StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                     int nSrcHeight, DWORD dwRop) {
  return ::StretchBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC != nullptr ? pSrcDC->m_hDC : nullptr, xSrc, ySrc,
                      nSrcWidth, nSrcHeight, dwRop);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_ps{}, m_hWnd(pWnd->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }

CPaintDC::~CPaintDC() {
  ::EndPaint(m_hWnd, &m_ps);
  m_hDC = nullptr;
}
