// The resize handler of the password program's forms: every control scaled with the form's outer size since the
// last pass. A pass with no size (a minimised form) is skipped: scaling to nothing would lose the layout for good.
#include "program_routines.h"

void form_resize(Form& form, ResizeRecord& record) {
  if (form.Height() == 0 || form.Width() == 0) return;
  if (record.last_height == 0 || record.last_width == 0) {
    record.last_height = form.Height();
    record.last_width = form.Width();
  }
  const float ratio_height = form.Height() / record.last_height;
  const float ratio_width = form.Width() / record.last_width;
  for (Control* control : form.Controls()) {
    // A control that lacks a property, or cannot take it, keeps it; the others still scale.
    for (const auto& step : {+[](Control& c, float h, float) { c.SetHeight(c.Height() * h); },
                             +[](Control& c, float, float w) { c.SetWidth(c.Width() * w); },
                             +[](Control& c, float h, float) { c.SetTop(c.Top() * h); },
                             +[](Control& c, float, float w) { c.SetLeft(c.Left() * w); }}) {
      try {
        step(*control, ratio_height, ratio_width);
      } catch (const RuntimeError&) {
      }
    }
  }
  record.last_height = form.Height();
  record.last_width = form.Width();
}
