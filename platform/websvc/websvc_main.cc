// xp_websvc DIR: the web service for the machine in DIR, until SIGTERM or SIGINT. While it runs, DIR/web/server
// holds its pid and its two host ports; it removes the record, and its listeners, as it ends.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>

#include "xp/websvc.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: xp_websvc DIR\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path machine = fs::absolute(argv[1]);
  ::setenv("XPMACHINE", machine.c_str(), 1);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // before the server's threads start, so they inherit it
  try {
    xp::websvc::Server server;
    const fs::path record = machine / "web" / "server";
    {
      std::ofstream file(record.string() + ".new", std::ios::trunc);
      file << "pid = " << ::getpid() << "\nhttp_port = " << server.http_port()
           << "\nhttps_port = " << server.https_port() << "\n";
    }
    fs::rename(record.string() + ".new", record);
    std::printf("xp_websvc: serving %s on 127.0.0.1:%u (its port 80) and 127.0.0.1:%u (443)\n", machine.c_str(),
                server.http_port(), server.https_port());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&signals, &signal);
    std::error_code ignored;
    fs::remove(record, ignored);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "xp_websvc: %s\n", failure.what());
    return 1;
  }
  return 0;
}
