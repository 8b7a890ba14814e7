// The machine's broadcast messages: a shown dialog hears WM_DEVICECHANGE sent while it is open (from any process of
// the machine: the broadcast is a line of the machine folder) before the user's next action, each once; what was
// sent before the dialog was made is not heard.
#include "xp/window_broadcasts.h"

#include <gtest/gtest.h>

#include "dbt.h"
#include "sample_dialog.h"
#include "xp/ui_script.h"

namespace xp::user32::testing {
namespace {

using WindowBroadcastTest = DialogTest;

TEST_F(WindowBroadcastTest, AWindowHearsTheDeviceChangesSentAfterItWasMadeBeforeTheNextAction) {
  xp::machine::BroadcastToWindows(root_, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Click(kRemember).Click(IDOK);
  Play(script);
  SampleDialog sample;
  sample.on_init = [&](HWND) {
    xp::machine::BroadcastToWindows(root_, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    xp::machine::BroadcastToWindows(root_, WM_DEVICECHANGE, 0x8000, 0);
  };
  sample.on_command = [&](HWND, int id) {
    if (id == kRemember) xp::machine::BroadcastToWindows(root_, WM_DEVICECHANGE, 0x8004, 0);
  };
  EXPECT_EQ(RunSample(sample), 1);
  EXPECT_EQ(sample.messages,
            (std::vector<std::string>{"init", "devicechange 7", "devicechange 32768", "command 1002 clicked",
                                      "devicechange 32772", "command 1 clicked"}));
}

}  // namespace
}  // namespace xp::user32::testing
