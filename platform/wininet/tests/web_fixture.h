// A scratch machine with the web service running for it and a short network time-out, and one GET through the
// WinInet calls as the registration programs make it, recorded step by step. Test support of wininet's tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scratch_machine.h"
#include "windows.h"
#include "wininet.h"
#include "xp/websvc.h"

namespace xp::wininet::testing {

// Short enough that a stalled server fails a test within seconds, long enough for a TLS handshake on a loaded
// machine under the sanitizers.
inline constexpr DWORD kTimeoutMs = 3000;

struct Exchange {
  bool sent = false;
  DWORD send_error = 0;     // GetLastError after a failed send
  std::vector<DWORD> reads;  // bytes of each read pass, up to the one that gave 0 or failed
  DWORD read_error = 0;     // GetLastError of a failed read pass, 0 when the body ended
  std::string body;
};

class WebTest : public ::testing::Test {
 protected:
  explicit WebTest(const websvc::Options& options = websvc::Options{});

  // One GET of `object` on `host`, HTTP on port 80 or HTTPS on 443, read in passes of `piece` bytes.
  static Exchange Get(const std::string& host, const std::string& object, bool secure, DWORD piece = 2048,
                      INTERNET_PORT port = 0, const char* version = "HTTP/1.0");

  test::ScratchMachine machine_;
  std::unique_ptr<websvc::Server> server_;
};

}  // namespace xp::wininet::testing
