// Message dispatch: a message runs the first handler for it in the object's map, searched from its class to its
// bases; CCmdTarget's map, at the root, is empty.
#include "mfc_private.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
  static const AFX_MSGMAP message_map = {nullptr, &entries[0]};
  return &message_map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

BOOL CWnd::OnWndMsg(UINT message, WPARAM wparam, LPARAM lparam) {
  const UINT code = message == WM_COMMAND ? HIWORD(wparam) : 0;
  const UINT id = message == WM_COMMAND ? LOWORD(wparam) : 0;
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->nMessage != 0; ++entry) {
      if (entry->nMessage == message && entry->nCode == code && entry->nID == id) {
        if (entry->pfnSysCommand != nullptr) {
          (this->*entry->pfnSysCommand)(static_cast<UINT>(wparam), lparam);
        } else {
          (this->*entry->pfn)();
        }
        return TRUE;
      }
    }
  }
  return FALSE;
}
