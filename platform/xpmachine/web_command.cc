// xpmachine web start|stop DIR: runs the web service stand-in for the machine (xp_websvc, beside xpmachine) in its
// own process, which puts the service's names in the machine's hosts table, its root among the machine's trusted
// roots, the browser on its drive and its two ports in DIR/web/server; or ends that process again.
#include <cstdio>

#include "commands.h"
#include "xp/websvc.h"

namespace xp::xpmachine {

int WebCommand(const std::vector<std::string>& arguments) {
  if (arguments.size() != 2 || (arguments[0] != "start" && arguments[0] != "stop") || arguments[1].empty()) {
    std::fputs("usage: xpmachine web start|stop DIR\n", stderr);
    return 2;
  }
  Command command;
  command.dir = arguments[1];
  const std::optional<std::filesystem::path> dir = EnterMachine(command);
  if (!dir) return 1;
  std::string error;
  if (arguments[0] == "stop") {
    if (websvc::StopService(*dir, &error)) return 0;
  } else {
    const std::filesystem::path program =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "xp_websvc";
    if (websvc::StartService(program, *dir, &error)) {
      const std::optional<websvc::ServiceRecord> record = websvc::ReadServiceRecord(*dir);
      std::printf("web service of %s: http on 127.0.0.1:%u (the machine's port 80), https on 127.0.0.1:%u (443)\n",
                  dir->c_str(), record->http_port, record->https_port);
      return 0;
    }
  }
  std::fprintf(stderr, "xpmachine: %s: %s\n", command.dir.c_str(), error.c_str());
  return 1;
}

}  // namespace xp::xpmachine
