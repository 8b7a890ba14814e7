// The application object and the framework's globals: the one CWinApp of the program, its name, main window and
// module, AfxMessageBox, and AfxWinMain, which runs InitInstance as a program's WinMain does.
#include <atomic>
#include <cstdlib>
#include <filesystem>

#include "mfc_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(mfc);

namespace xp::mfc {
namespace {

std::atomic<CWinApp*> the_app{nullptr};

// What a program that would run past InitInstance ends with: its main-window loop is not implemented.
constexpr int kNoMessageLoop = ERROR_CALL_NOT_IMPLEMENTED;

}  // namespace

CString ProgramName() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return CString(error ? "" : program.stem().c_str());
}

}  // namespace xp::mfc

CWinApp::CWinApp(LPCTSTR lpszAppName) : app_name_(lpszAppName != nullptr ? CString(lpszAppName)
                                                                         : xp::mfc::ProgramName()) {
  m_pszAppName = app_name_;
  CWinApp* expected = nullptr;
  if (!xp::mfc::the_app.compare_exchange_strong(expected, this)) {
    XP_ERR("CWinApp", "a program has one application object; this is the second");
    std::abort();
  }
}

CWinApp::~CWinApp() {
  CWinApp* expected = this;
  xp::mfc::the_app.compare_exchange_strong(expected, nullptr);
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() {
  XP_FIXME("CWinApp::Run", "the main window's message loop is not implemented");
  return xp::mfc::kNoMessageLoop;
}

BOOL CWinApp::Enable3dControls() { return TRUE; }

CWinApp* AfxGetApp() { return xp::mfc::the_app.load(); }

CWnd* AfxGetMainWnd() {
  const CWinApp* app = AfxGetApp();
  return app != nullptr ? app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle() {
  const CWinApp* app = AfxGetApp();
  return app != nullptr ? app->m_hInstance : nullptr;
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

HICON CWinApp::LoadIcon(UINT nIDResource) const {
  return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

LPCTSTR AfxGetAppName() {
  if (const CWinApp* app = AfxGetApp()) return app->m_pszAppName;
  static const CString program = xp::mfc::ProgramName();
  return program;
}

int AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT) {
  const CWnd* main_window = AfxGetMainWnd();
  return MessageBoxA(main_window != nullptr ? main_window->m_hWnd : nullptr, lpszText, AfxGetAppName(), nType);
}

void AfxEnableControlContainer() {}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPTSTR, int) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) {
    XP_ERR("AfxWinMain", "the program defines no application object");
    return -1;
  }
  app->m_hInstance = hInstance;
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}
