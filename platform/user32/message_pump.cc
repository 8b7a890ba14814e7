// The message pump of a long operation inside a dialog handler. The calling thread's queue holds what the user did
// meanwhile: PeekMessageA asks the UI driver for it (the driver's pump steps) when the queue is empty, hands it out
// as a message, and DispatchMessageA carries it out on the dialog.
#include <deque>
#include <map>

#include "user32_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(user32);

namespace xp::user32 {
namespace {

// The user's input as a queued message: a value in the system's range that no other message uses; only
// DispatchMessageA understands it (its lParam numbers the action).
constexpr UINT kUserInput = 0x03F0;

struct QueuedInput {
  MSG msg;
  ui::Action action;
};

thread_local std::deque<QueuedInput> queue;
// Removed from the queue by PeekMessageA, waiting for DispatchMessageA.
thread_local std::map<LPARAM, QueuedInput> removed;
thread_local LPARAM next_serial = 1;

bool Accepts(HWND window, UINT filter_min, UINT filter_max, const MSG& msg) {
  if (window != nullptr && window != msg.hwnd) return false;
  return (filter_min == 0 && filter_max == 0) || (msg.message >= filter_min && msg.message <= filter_max);
}

bool ShownDialog(HWND dialog) {
  const std::unique_lock<std::mutex> lock = LockWindows();
  const Window* window = Lookup(dialog);
  return window != nullptr && window->Shown();
}

// Asks the driver what the user does in the innermost dialog meanwhile, when the filter would take it.
void TakeUserInput(HWND window, UINT filter_min, UINT filter_max) {
  const HWND dialog = InnermostDialog();
  if (dialog == nullptr || !ShownDialog(dialog)) return;
  const MSG probe{dialog, kUserInput, 0, 0, GetTickCount(), {0, 0}};
  if (!Accepts(window, filter_min, filter_max, probe)) return;
  if (std::optional<ui::Action> action = ui::PumpAction(CurrentView(dialog))) {
    MSG msg = probe;
    msg.lParam = next_serial++;
    queue.push_back({msg, std::move(*action)});
  }
}

}  // namespace

bool DispatchQueuedInput(HWND dialog) {
  for (auto input = queue.begin(); input != queue.end(); ++input) {
    if (input->msg.hwnd != dialog) continue;
    const ui::Action action = input->action;
    queue.erase(input);
    PerformAction(dialog, action, true);
    return true;
  }
  return false;
}

}  // namespace xp::user32

// Exported by user32. PM_NOREMOVE leaves the message queued (the modal loop takes it later); PM_REMOVE hands it
// over for DispatchMessageA.
extern "C" BOOL PeekMessageA(LPMSG msg, HWND window, UINT filter_min, UINT filter_max, UINT remove) {
  using namespace xp::user32;
  if ((remove & ~PM_REMOVE) != 0) {
    XP_FIXME("PeekMessageA", "flags %#x are not implemented", remove);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DeliverBroadcasts();
  if (queue.empty()) TakeUserInput(window, filter_min, filter_max);
  for (auto input = queue.begin(); input != queue.end(); ++input) {
    if (!Accepts(window, filter_min, filter_max, input->msg)) continue;
    *msg = input->msg;
    if ((remove & PM_REMOVE) != 0) {
      removed.emplace(input->msg.lParam, std::move(*input));
      queue.erase(input);
    }
    return TRUE;
  }
  // Painting comes last, once no input waits.
  const UINT paint_filter_max = filter_max == 0 && filter_min == 0 ? WM_PAINT : filter_max;
  if (WM_PAINT < filter_min || WM_PAINT > paint_filter_max) return FALSE;
  if (const std::optional<MSG> paint = PendingPaint(window, (remove & PM_REMOVE) != 0)) {
    *msg = *paint;
    return TRUE;
  }
  return FALSE;
}

// Exported by user32. No key messages are queued here, so there is nothing to translate.
extern "C" BOOL TranslateMessage(const MSG*) { return FALSE; }

// Exported by user32. The user's input goes to the dialog without the dialog manager's keyboard handling (no
// IsDialogMessage): Enter and Esc do nothing; clicks, typing and the close box take effect.
extern "C" LRESULT DispatchMessageA(const MSG* msg) {
  using namespace xp::user32;
  if (msg == nullptr) return 0;
  if (msg->message != kUserInput) return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  const auto input = removed.find(msg->lParam);
  if (input == removed.end()) return 0;
  const QueuedInput taken = std::move(input->second);
  removed.erase(input);
  if (ShownDialog(taken.msg.hwnd)) PerformAction(taken.msg.hwnd, taken.action, false);
  return 0;
}
