// One-shot device requests: presence, status, soft reset, a caller's own device class, and the version texts.
#include <cstring>

#include "tokenio.h"
#include "tokenio_private.h"

using namespace tavik::tokenio;

// Exported by tokenio.
extern "C" int Aping(void) {
  TokenDevice device;
  return device.ok() ? 1 : 0;
}

// Exported by tokenio.
extern "C" int StatusOk(void) {
  TokenDevice device;
  uint8_t status = 0;
  return device.ok() && device.ReadStatus(&status) && status != 0 ? 1 : 0;
}

// Exported by tokenio.
extern "C" int GetRegister31(unsigned short* value) {
  if (value == nullptr) return 0;
  TokenDevice device;
  uint8_t status = 0;
  if (!device.ok() || !device.ReadStatus(&status)) return 0;
  *value = status;
  return 1;
}

// Exported by tokenio.
extern "C" HANDLE OpenUsbDevice(const GUID* interface_class) {
  if (interface_class == nullptr) return INVALID_HANDLE_VALUE;
  TokenDevice device(interface_class);
  return device.Release();
}

// Exported by tokenio.
extern "C" int SoftReset(void) {
  TokenDevice device;
  if (!device.ok()) return 0;
  const bool reset = device.WriteRegisterByte(kRegSoftReset, 1);
  const bool closed = device.Close();
  return reset && closed ? 1 : 0;
}

// Exported by tokenio.
extern "C" int DriverVersion(char* version, char* description) {
  if (version == nullptr || description == nullptr) return 0;
  static constexpr char kVersion[6] = "2.5.1";
  static constexpr char kDescription[] = "tokenio Device Driver";
  std::memcpy(version, kVersion, sizeof(kVersion));
  std::memset(description, 0, 24);
  std::memcpy(description, kDescription, sizeof(kDescription) - 1);
  return 1;
}
