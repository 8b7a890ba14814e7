// Which framework object stands for a window. A dialog is attached to its CDialog while it is up (permanent);
// any other window gets an object of its control's class on first use (temporary), dropped once the window is gone.
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "afxcmn.h"
#include "mfc_private.h"

namespace xp::mfc {
namespace {

struct HandleMap {
  std::recursive_mutex mutex;
  std::map<HWND, CWnd*> permanent;
  std::map<HWND, std::unique_ptr<CWnd>> temporary;
};

HandleMap& Handles() {
  static HandleMap* const handles = new HandleMap;
  return *handles;
}

std::unique_ptr<CWnd> ObjectFor(HWND handle) {
  char class_name[32] = "";
  GetClassNameA(handle, class_name, sizeof class_name);
  if (std::strcmp(class_name, "Edit") == 0) return std::make_unique<CEdit>();
  if (std::strcmp(class_name, "Button") == 0) return std::make_unique<CButton>();
  if (std::strcmp(class_name, PROGRESS_CLASSA) == 0) return std::make_unique<CProgressCtrl>();
  return std::make_unique<CWnd>();
}

}  // namespace

CWnd* PermanentObject(HWND handle) {
  HandleMap& handles = Handles();
  const std::lock_guard<std::recursive_mutex> lock(handles.mutex);
  const auto found = handles.permanent.find(handle);
  return found != handles.permanent.end() ? found->second : nullptr;
}

void ForgetDeadWindows() {
  HandleMap& handles = Handles();
  const std::lock_guard<std::recursive_mutex> lock(handles.mutex);
  std::erase_if(handles.temporary, [](const auto& entry) { return !IsWindow(entry.first); });
}

}  // namespace xp::mfc

CWnd* CWnd::FromHandle(HWND handle) {
  if (handle == nullptr || !IsWindow(handle)) return nullptr;
  xp::mfc::HandleMap& handles = xp::mfc::Handles();
  const std::lock_guard<std::recursive_mutex> lock(handles.mutex);
  if (CWnd* attached = xp::mfc::PermanentObject(handle)) return attached;
  std::unique_ptr<CWnd>& object = handles.temporary[handle];
  if (object == nullptr) {
    object = xp::mfc::ObjectFor(handle);
    object->m_hWnd = handle;
  }
  return object.get();
}

BOOL CWnd::Attach(HWND handle) {
  if (handle == nullptr || m_hWnd != nullptr) return FALSE;
  xp::mfc::HandleMap& handles = xp::mfc::Handles();
  const std::lock_guard<std::recursive_mutex> lock(handles.mutex);
  handles.temporary.erase(handle);
  handles.permanent[handle] = this;
  m_hWnd = handle;
  return TRUE;
}

HWND CWnd::Detach() {
  const HWND handle = m_hWnd;
  if (handle != nullptr) {
    xp::mfc::HandleMap& handles = xp::mfc::Handles();
    const std::lock_guard<std::recursive_mutex> lock(handles.mutex);
    const auto found = handles.permanent.find(handle);
    if (found != handles.permanent.end() && found->second == this) handles.permanent.erase(found);
  }
  m_hWnd = nullptr;
  return handle;
}

CWnd::~CWnd() {
  if (m_hWnd != nullptr && xp::mfc::PermanentObject(m_hWnd) == this) Detach();
}
