// The LAN challenge listener: one thread per logon attempt accepts one connection on "logongate Port", reads one
// challenge (a puzzle record ended by a NUL within 255 bytes), has the token answer it and sends the 256-byte
// response back. The thread owns its sockets: the attempt only shuts them down to wake it, then waits for its end,
// so no socket is closed twice or by the wrong thread. A logon without the disk encryption needs a response sent
// during its attempt.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "logongate_private.h"
#include "tokenapi.h"
#include "winsock.h"

namespace tavik::logongate {
namespace {

constexpr char16_t kSettingsKey[] = u"SOFTWARE\\Teradolm\\Gorsewick";
constexpr int kBufferSize = 256;
constexpr int kWaitBudgetMs = 10000;
constexpr DWORD kPollMs = 100;
constexpr DWORD kLingerMs = 500;
constexpr int kBacklog = 5;
constexpr int kXmlResponse = 1;
// How long the attempt waits for a listener it stopped, in real time: its waits are short steps.
constexpr DWORD kEndWaitMs = 20000;

struct Listener {
  std::mutex lock;  // guards the two sockets
  SOCKET listening = INVALID_SOCKET;
  SOCKET accepted = INVALID_SOCKET;
  std::atomic<bool> stop{false};
  std::atomic<bool> response_sent{false};
  HANDLE thread = nullptr;
};

Listener& TheListener() {
  static Listener* const listener = new Listener;
  return *listener;
}

// The configured port: a decimal number from 1 to 65535, or 0 after saying why there is none.
u_short ReadPort() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    LogEvent(kTrace, "Unable to open registry key - logongate Port");
    return 0;
  }
  DWORD size = 0;
  DWORD type = 0;
  u_short port = 0;
  if (RegQueryValueExW(key, u"logongate Port", nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    LogEvent(kTrace, "Invalid port provided\n");
  } else {
    LogEvent(kTrace, "Here is the length : %d\n", static_cast<int>(size));
    std::u16string text(size / sizeof(WCHAR) + 1, u'\0');
    if (RegQueryValueExW(key, u"logongate Port", nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS) {
      LogEvent(kTrace, "No logongate Port");
    } else {
      const std::string digits = Narrow(text.c_str()).substr(0, kBufferSize - 1);
      unsigned value = 0;
      bool valid = !digits.empty();
      for (const char c : digits) valid = valid && c >= '0' && c <= '9' && (value = value * 10 + (c - '0')) <= 65535;
      if (valid && value > 0) {
        port = static_cast<u_short>(value);
        LogEvent(kTrace, "logongate Port %d\n", static_cast<int>(port));
      } else {
        LogEvent(kTrace, "Invalid port provided\n");
      }
    }
  }
  RegCloseKey(key);
  if (port == 0) LogEvent(kTrace, "Could not find the logongate port\n");
  return port;
}

void Keep(SOCKET* slot, SOCKET socket) {
  Listener& listener = TheListener();
  const std::lock_guard<std::mutex> lock(listener.lock);
  *slot = socket;
}

void CloseSockets() {
  Listener& listener = TheListener();
  const std::lock_guard<std::mutex> lock(listener.lock);
  for (SOCKET* socket : {&listener.accepted, &listener.listening}) {
    if (*socket == INVALID_SOCKET) continue;
    closesocket(*socket);
    *socket = INVALID_SOCKET;
  }
}

// Polls the socket every 100 ms for 10 seconds; false (after logging `timeout_text`) when it never became ready or
// the attempt stopped the listener.
bool WaitFor(SOCKET socket, bool for_writing, const char* timeout_text) {
  static const timeval kNoWait = {0, 0};
  for (int budget = kWaitBudgetMs; !TheListener().stop;) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    if (select(0, for_writing ? nullptr : &set, for_writing ? &set : nullptr, nullptr, &kNoWait) > 0) return true;
    Sleep(kPollMs);
    budget -= kPollMs;
    LogEvent(kTrace, "Timeout : %d\n", budget);
    if (budget < 0) {
      LogEvent(kTrace, "%s", timeout_text);
      return false;
    }
  }
  return false;
}

// A challenge ends at its NUL within 255 bytes; false for one that does not (or does not come).
bool ReceiveChallenge(SOCKET socket, char challenge[kBufferSize]) {
  int got = 0;
  while (WaitFor(socket, false, "10sec timeout waiting for reply!")) {
    const int received = recv(socket, challenge + got, kBufferSize - 1 - got, 0);
    if (received <= 0) return false;
    got += received;
    if (std::memchr(challenge, '\0', static_cast<size_t>(got)) != nullptr) return true;
    if (got == kBufferSize - 1) {
      LogEvent(kTrace, "A challenge without its end was dropped\n");
      return false;
    }
  }
  return false;
}

// Listens and answers; false when the thread is to end at once (the sockets are closed by the caller).
bool Serve(u_short port) {
  Listener& listener = TheListener();
  const SOCKET listening = socket(AF_INET, SOCK_STREAM, 0);
  if (listening == INVALID_SOCKET) {
    LogEvent(kTrace, "Listen socket failed\n");
    return false;
  }
  Keep(&listener.listening, listening);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(listening, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
    LogEvent(kTrace, "Binding failed\n");
    return false;
  }
  char host[kBufferSize] = {};
  const int host_size = sizeof host;
  if (gethostname(host, host_size) == SOCKET_ERROR) {
    LogEvent(kTrace, "Error getting host name of the machine \n");
    return false;
  }
  LogEvent(kTrace, "\nServer named %s waiting on port %d\n\n", host, static_cast<int>(port));
  if (listen(listening, kBacklog) == SOCKET_ERROR) {
    LogEvent(kTrace, "Error in Listening()\n");
    return false;
  }
  if (!WaitFor(listening, false, "10sec timeout waiting for remote connection!")) return false;
  const SOCKET accepted = accept(listening, nullptr, nullptr);
  if (accepted == INVALID_SOCKET) {
    LogEvent(kTrace, "No remote socket to Accept()\n");
    return false;
  }
  Keep(&listener.accepted, accepted);
  char challenge[kBufferSize] = {};
  if (!ReceiveChallenge(accepted, challenge)) return false;
  LogEvent(kTrace, "received challenge from Zerk %s\n", challenge);
  char response[kBufferSize] = {};
  int length = kBufferSize;
  NuboGetPrivateResponseX(challenge, kBufferSize, response, &length, kXmlResponse);
  response[kBufferSize - 1] = '\0';
  LogEvent(kTrace, "Response from logongate: %s\n", response);
  if (!WaitFor(accepted, true, "10sec timeout waiting to send!")) return false;
  if (send(accepted, response, kBufferSize, 0) == kBufferSize) listener.response_sent = true;
  Sleep(kLingerMs);
  return true;
}

DWORD ListenerThread(LPVOID) {
  LogEvent(kTrace, "Entered server code\n");
  const u_short port = ReadPort();
  if (port == 0) return 0;
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) return 0;
  if (data.wVersion != 0x0101) {
    std::fputs("\n Wrong version\n", stderr);
    WSACleanup();
    return 0;
  }
  if (Serve(port)) {
    LogEvent(kTrace, "End of the thread...\n");
  } else {
    LogEvent(kTrace, "Closing down server socket\n");
  }
  CloseSockets();
  WSACleanup();
  return 0;
}

}  // namespace

void StartLanListener() {
  Listener& listener = TheListener();
  listener.stop = false;
  listener.response_sent = false;
  listener.thread = CreateThread(nullptr, 0, ListenerThread, nullptr, CREATE_SUSPENDED, nullptr);
  if (listener.thread == nullptr) {
    LogEvent(kError, "The LAN listener did not start (error %u)\n", static_cast<unsigned>(GetLastError()));
    return;
  }
  ResumeThread(listener.thread);
}

bool StopLanListener() {
  Listener& listener = TheListener();
  if (listener.thread == nullptr) return false;
  listener.stop = true;
  {
    const std::lock_guard<std::mutex> lock(listener.lock);
    for (const SOCKET socket : {listener.listening, listener.accepted}) {
      if (socket != INVALID_SOCKET) shutdown(socket, SD_BOTH);
    }
  }
  if (WaitForSingleObject(listener.thread, kEndWaitMs) != WAIT_OBJECT_0) {
    LogEvent(kError, "The LAN listener did not end in time\n");
  }
  CloseHandle(listener.thread);
  listener.thread = nullptr;
  return listener.response_sent;
}

}  // namespace tavik::logongate
