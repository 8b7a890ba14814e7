// The settings of the four web services the token programs use, as the registry keeps them (every value REG_SZ),
// with the texts that name each value when it cannot be read or written.
#pragma once

#include "windows.h"

namespace tavik::configpanel {

// One server: where it lives, which host edit shows it, and its messages.
struct ServerDescriptor {
  HKEY root;
  const char* key;
  const char* host_value;          // read; value names ignore case, so the written spelling names the same value
  const char* host_value_written;
  int host_edit;
  const char* read_host_failed;
  const char* read_http_port_failed;
  const char* read_https_port_failed;
  const char* read_transport_failed;
  const char* invalid_transport;
  const char* update_host_failed;
  const char* update_transport_failed;
  const char* update_http_port_failed;
  const char* update_https_port_failed;
};

inline constexpr int kServerCount = 4;
inline constexpr int kTavikServer = 0;
inline constexpr int kRegistrationServer = 1;
inline constexpr int kRecoveryServer = 2;
inline constexpr int kWebClient = 3;

// In record order: Tavik, Registration, Recovery, the authentication client.
extern const ServerDescriptor kServers[kServerCount];

inline constexpr int kHostLength = 200;
inline constexpr int kPortLength = 9;

// What the dialog keeps of one server.
struct ServerRecord {
  char host[kHostLength + 1] = {};
  int transport = 0;  // 1 HTTPS, 0 HTTP
  char http_port[kPortLength + 1] = {};
  char https_port[kPortLength + 1] = {};
};

inline constexpr char kHttps[] = "1";
inline constexpr char kHttp[] = "0";

// False on any failure, a value that does not fit the buffer (with its NUL) among them.
bool ReadRegString(char* buffer, unsigned long size, HKEY root, const char* key, const char* value);
// The key must exist already; the text is written with its terminating NUL.
bool WriteRegString(const char* text, HKEY root, const char* key, const char* value);

}  // namespace tavik::configpanel
