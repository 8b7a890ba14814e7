// The server table and the two registry helpers every read and write of the settings goes through.
#include "server_settings.h"

#include <cstring>

#include "resource.h"
#include "setupcore.h"

namespace tavik::configpanel {

const ServerDescriptor kServers[kServerCount] = {
    {HKEY_CURRENT_USER, "SOFTWARE\\Teradolm\\Drelm\\drelmServer", "serverName", "serverName", IDC_TAVIK_HOST,
     "Read Tavik server host name failed.", "Read Tavik server HTTP port failed.",
     "Read Tavik server HTTPS port failed.", "Read Tavik server SSL failed.",
     "Invalid configuration data[Tavik Server: transport type].",
     "Update configuration failed [Tavik Server host name].", "Update configuration failed [Tavik Server SSL].",
     "Update configuration failed [Tavik Server http port].", "Update configuration failed [Tavik Server https port]."},
    {HKEY_CURRENT_USER, "SOFTWARE\\Teradolm\\Drelm\\registrationServer", "ServerName", "serverName",
     IDC_REGISTRATION_HOST, "Read Registration server host name failed.", "Read Registration server HTTP port failed.",
     "Read Registration server HTTPS port failed.", "Read Registration server SSL failed.",
     "Invalid configuration data[registration server: transport type].",
     "Update configuration failed [Registration Server host name].",
     "Update configuration failed [Registration Server SSL].",
     "Update configuration failed [Registration Server http port].",
     "Update configuration failed [Registration Server https port]."},
    {HKEY_CURRENT_USER, "SOFTWARE\\Teradolm\\Drelm\\recoveryServer", "ServerName", "serverName", IDC_RECOVERY_HOST,
     "Read Recovery server host name failed.", "Read Recovery server HTTP port failed.",
     "Read Recovery server HTTPS port failed.", "Read Recovery server SSL failed.",
     "Invalid configuration data[recovery server: transport type].",
     "Update configuration failed [Recovery Server host name].", "Update configuration failed [Recovery Server SSL].",
     "Update configuration failed [Recovery Server http port].",
     "Update configuration failed [Recovery Server https port]."},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", "ServerPath", "serverPath", IDC_CLIENT_HOST,
     "Read client host name failed.", "Read client HTTP port failed.", "Read client HTTPS port failed.",
     "Read Web client server SSL failed.", "Invalid configuration data[web client: transport type].",
     "Update configuration failed [Web client host name].", "Update configuration failed [Web client SSL].",
     "Update configuration failed [Web client http port].", "Update configuration failed [Web client https port]."},
};

bool ReadRegString(char* buffer, unsigned long size, HKEY root, const char* key, const char* value) {
  return getRegStrData(buffer, size, root, key, value) == 1;
}

bool WriteRegString(const char* text, HKEY root, const char* key, const char* value) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) return false;
  const bool written = RegSetValueExA(opened, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                      static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
  RegCloseKey(opened);
  return written;
}

}  // namespace tavik::configpanel
