// The settings dialog paints its banner, bitmap 129, unscaled at the top left of its client area: once it is
// shown, and again when the About box over it goes.
#include <algorithm>

#include "settings_fixture.h"

namespace tavik::configpanel::testing {
namespace {

using BannerTest = SettingsTest;

TEST_F(BannerTest, TheBannerIsPaintedUnscaledAtTheTopLeftWheneverTheDialogShows) {
  xp::ui::Script script;
  script.Dialog(102).SystemMenu(16);
  script.Dialog(100).Click(IDOK);
  script.Dialog(102).Click(IDCANCEL);
  EXPECT_EQ(Run(script), 0);
  constexpr char kBanner[] = "dialog 102 paint bitmap 129 0,0 414x60 -> 0,0 414x60";
  std::vector<std::string> order;
  for (const std::string& line : shown()) {
    if (line == kBanner) order.push_back("banner");
    if (line.starts_with("dialog 102 \"Tavik Configuration\" open")) order.push_back("open");
    if (line.starts_with("dialog 102: ")) order.push_back(line.substr(12));
    if (line == "dialog 100 end 1") order.push_back("about closed");
  }
  EXPECT_EQ(order, (std::vector<std::string>{"open", "banner", "system-menu 16", "about closed", "banner",
                                             "click IDCANCEL"}));
  // The About box paints nothing of its own.
  EXPECT_EQ(std::count_if(shown().begin(), shown().end(),
                          [](const std::string& line) { return line.starts_with("dialog 100 paint"); }),
            0);
}

}  // namespace
}  // namespace tavik::configpanel::testing
