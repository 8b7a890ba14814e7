// The engine's hold on its window: progress text appended to the owner, and the window's messages pumped between
// files so that the dialog stays responsive with no second thread.
#include "init_encrypt.h"
#include "windows.h"

void CInitEncrypt::AppendProgressText(const std::string& text) { owner_->AppendText(text); }

void CInitEncrypt::PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
