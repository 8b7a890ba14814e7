// The web-service settings the token programs and the settings tool read, which no part of the system writes:
// four servers (three in the installing user's hive, the client in HKLM), each with a host, an HTTP and an HTTPS
// port and the transport ("1" HTTPS), plus the client's debug switch "testing" = "0". The hosts are the names the
// machine's hosts table maps to the web stand-in, which answers on the machine's ports 80 and 443. A value that
// exists is kept: the settings tool may have changed it.
#include <cstring>

#include "installer_private.h"
#include "xp/web_service.h"

namespace xp::installer {
namespace {

struct ServerKey {
  HKEY root;
  const char* key;
  const char* host_value;
  const char* host;
};

const ServerKey kServers[] = {
    {HKEY_CURRENT_USER, "SOFTWARE\\Teradolm\\Drelm\\drelmServer", "serverName", websvc::kTavikHost},
    {HKEY_CURRENT_USER, "SOFTWARE\\Teradolm\\Drelm\\registrationServer", "serverName", websvc::kRegistrationHost},
    {HKEY_CURRENT_USER, "SOFTWARE\\Teradolm\\Drelm\\recoveryServer", "serverName", websvc::kRecoveryHost},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", "serverPath", websvc::kServerPath},
};

// The keys above the server keys, deepest first, removed when nothing else is left in them.
const std::pair<HKEY, const char*> kParents[] = {
    {HKEY_CURRENT_USER, "SOFTWARE\\Teradolm\\Drelm"},
    {HKEY_CURRENT_USER, "SOFTWARE\\Teradolm"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Teradolm\\Ferrowind"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Teradolm"},
};

bool SetIfMissing(HKEY key, const char* name, const char* text) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) return true;
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

}  // namespace

bool WriteServerSettings() {
  for (const ServerKey& server : kServers) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(server.root, server.key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    bool written = SetIfMissing(key, server.host_value, server.host) && SetIfMissing(key, "httpPort", "80") &&
                   SetIfMissing(key, "httpsPort", "443") && SetIfMissing(key, "SSL", "1");
    if (server.root == HKEY_LOCAL_MACHINE) written = written && SetIfMissing(key, "testing", "0");
    RegCloseKey(key);
    if (!written) return false;
  }
  return true;
}

void RemoveServerSettings() {
  for (const ServerKey& server : kServers) RegDeleteKeyA(server.root, server.key);
  for (const auto& [root, key] : kParents) RegDeleteKeyA(root, key);
}

}  // namespace xp::installer
