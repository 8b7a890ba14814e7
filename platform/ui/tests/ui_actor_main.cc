// A machine process for the UI tests: shows what its arguments ask for, in order, and prints what the user did.
//   box CAPTION TEXT STYLE   a message box; prints "answer <id>"
//   dialog                   the demo dialog until it ends; prints "action <action>" for each, then "end <result>"
//   pump                     one pump of the demo dialog; prints "pump <action>" or "pump none"
//   ctrl-alt-del SCREEN      waits for the secure-attention keys; prints "sas"
#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo_dialog.h"
#include "xp/ui.h"

int main(int argc, char** argv) {
  using namespace xp::ui;
  for (int i = 1; i < argc; ++i) {
    const std::string command = argv[i];
    if (command == "box" && i + 3 < argc) {
      const Box box{argv[i + 1], argv[i + 2], static_cast<uint32_t>(std::strtoul(argv[i + 3], nullptr, 0))};
      std::printf("answer %d\n", ShowBox(box));
      i += 3;
    } else if (command == "dialog") {
      std::vector<std::string> taken;
      const int result = testing::RunDemoDialog(&taken);
      for (const std::string& action : taken) std::printf("action %s\n", action.c_str());
      std::printf("end %d\n", result);
    } else if (command == "pump") {
      const std::optional<Action> action = PumpAction(testing::DemoDialog());
      std::printf("pump %s\n", action ? ActionText(*action).c_str() : "none");
    } else if (command == "ctrl-alt-del" && i + 1 < argc) {
      WaitForCtrlAltDel(argv[++i]);
      std::printf("sas\n");
    } else {
      std::fprintf(stderr, "ui actor: bad argument %s\n", command.c_str());
      return 2;
    }
    std::fflush(stdout);
  }
  return 0;
}
