// The progress bar: a range (16-bit through PBM_SETRANGE, 32-bit through PBM_SETRANGE32), a position kept inside
// it, and a step that starts over from the minimum once it passes the maximum.
#include <algorithm>

#include "user32_private.h"

namespace xp::user32 {
namespace {

LRESULT PackedRange(const Window& progress) {
  return MAKELONG(static_cast<WORD>(progress.range_min), static_cast<WORD>(progress.range_max));
}

void MoveTo(Window& progress, long long position, Effects& effects) {
  const int clamped = static_cast<int>(std::clamp<long long>(position, progress.range_min, progress.range_max));
  if (clamped == progress.position) return;
  progress.position = clamped;
  effects.Changed(progress);
}

void SetRange(Window& progress, int low, int high, Effects& effects) {
  progress.range_min = low;
  progress.range_max = high;
  progress.position = std::clamp(progress.position, low, std::max(low, high));
  effects.Changed(progress);
}

}  // namespace

LRESULT ProgressMessage(Window& progress, UINT message, WPARAM wparam, LPARAM lparam, Effects& effects) {
  const int previous = progress.position;
  switch (message) {
    case PBM_SETRANGE: {
      const LRESULT earlier = PackedRange(progress);
      SetRange(progress, LOWORD(lparam), HIWORD(lparam), effects);
      return earlier;
    }
    case PBM_SETRANGE32: {
      const LRESULT earlier = PackedRange(progress);
      SetRange(progress, static_cast<int>(wparam), static_cast<int>(lparam), effects);
      return earlier;
    }
    case PBM_GETRANGE:
      if (lparam != 0) *reinterpret_cast<PBRANGE*>(lparam) = {progress.range_min, progress.range_max};
      return wparam != 0 ? progress.range_min : progress.range_max;
    case PBM_SETPOS:
      MoveTo(progress, static_cast<int>(wparam), effects);
      return previous;
    case PBM_DELTAPOS:
      MoveTo(progress, static_cast<long long>(progress.position) + static_cast<int>(wparam), effects);
      return previous;
    case PBM_SETSTEP: {
      const int earlier = progress.step;
      progress.step = static_cast<int>(wparam);
      return earlier;
    }
    case PBM_STEPIT: {
      long long next = static_cast<long long>(progress.position) + progress.step;
      const long long span = static_cast<long long>(progress.range_max) - progress.range_min;
      if (next > progress.range_max) {
        next = span > 0 ? progress.range_min + (next - progress.range_min) % span : progress.range_min;
      }
      MoveTo(progress, next, effects);
      return previous;
    }
    case PBM_GETPOS:
      return progress.position;
    default:
      return UnsupportedMessage(progress, message);
  }
}

}  // namespace xp::user32

// Exported by user32, standing in for comctl32's: the common control classes are always registered here.
extern "C" void InitCommonControls(void) {}
