// The device channel: finding the token through SetupAPI and driving its registers with DeviceIoControl.
#include <algorithm>
#include <cstring>
#include <vector>

#include "setupapi.h"
#include "tokenio_private.h"

namespace tavik::tokenio {
namespace {

constexpr GUID kTokenInterfaceClass = {0x00873FDF, 0x61A8, 0x11D1, {0xAA, 0x5E, 0x00, 0xC0, 0x4F, 0xB1, 0x72, 0x8B}};
constexpr int kReadyPolls = 10;
constexpr DWORD kReadyPollSleepMs = 200;
constexpr uint16_t kCounterRegister = 0x00FF;
constexpr uint16_t kCounterCount = 8;

void PutU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

// Opens the device path of one enumerated interface, or returns INVALID_HANDLE_VALUE.
HANDLE OpenInterface(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data) {
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required, nullptr);
  if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return INVALID_HANDLE_VALUE;
  std::vector<uint8_t> storage(required);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  if (!SetupDiGetDeviceInterfaceDetailA(set, data, detail, required, nullptr, nullptr)) return INVALID_HANDLE_VALUE;
  return CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

// The first present interface of the class that opens wins.
HANDLE Discover(const GUID* interface_class) {
  HDEVINFO set = SetupDiGetClassDevsA(interface_class, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, interface_class, index, &data)) {
      if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
      continue;
    }
    handle = OpenInterface(set, &data);
    if (handle != INVALID_HANDLE_VALUE) break;
  }
  SetupDiDestroyDeviceInfoList(set);
  return handle;
}

}  // namespace

TokenDevice::TokenDevice(const GUID* interface_class)
    : handle_(Discover(interface_class ? interface_class : &kTokenInterfaceClass)) {}

TokenDevice::~TokenDevice() { Close(); }

bool TokenDevice::Close() {
  if (handle_ == INVALID_HANDLE_VALUE) return true;
  HANDLE handle = handle_;
  handle_ = INVALID_HANDLE_VALUE;
  return CloseHandle(handle) != FALSE;
}

HANDLE TokenDevice::Release() {
  HANDLE handle = handle_;
  handle_ = INVALID_HANDLE_VALUE;
  return handle;
}

bool TokenDevice::Ioctl(DWORD code, uint8_t* buffer) {
  if (!ok()) return false;
  DWORD returned = 0;
  return DeviceIoControl(handle_, code, buffer, kRequestSize, buffer, kRequestSize, &returned, nullptr) != FALSE;
}

// The buffer is zeroed before every request so that nothing of an earlier request, or of the stack, is sent or
// mistaken for an answer.
bool TokenDevice::WriteRegister(uint16_t reg, uint16_t count, const uint8_t* data) {
  if (count > kRequestDataSize) return false;
  uint8_t buffer[kRequestSize] = {};
  PutU16(buffer, reg);
  PutU16(buffer + 2, count);
  std::memcpy(buffer + 4, data, count);
  return Ioctl(kIoctlWriteRegister, buffer);
}

bool TokenDevice::ReadRegister(uint16_t reg, uint16_t count, uint8_t* out) {
  if (count > kRequestDataSize) return false;
  uint8_t buffer[kRequestSize] = {};
  PutU16(buffer, reg);
  PutU16(buffer + 2, count);
  if (!Ioctl(kIoctlReadRegister, buffer)) return false;
  std::memcpy(out, buffer + 4, count);
  return true;
}

bool TokenDevice::WaitReady() {
  for (int poll = 0; poll < kReadyPolls; ++poll) {
    uint8_t status = 0;
    if (!ReadStatus(&status)) {
      Reset();
      return false;
    }
    if (status & kStatusReady) return true;
    Sleep(kReadyPollSleepMs);
  }
  return false;
}

bool TokenDevice::MemoryAccessAllowed() {
  uint8_t status = 0;
  return ReadStatus(&status) && (status & kStatusMemoryAccess) != 0;
}

bool TokenDevice::ProgramChunk(uint8_t block, uint8_t offset, const uint8_t* data, unsigned n) {
  if (n == 0 || n > kChunkSize || !ok()) return false;
  uint8_t address[2 + kChunkSize] = {block, offset};
  std::memcpy(address + 2, data, n);
  if (!WriteRegister(kRegAddress, sizeof(address), address)) return false;
  if (!Command(static_cast<uint8_t>((n - 1) * 16 + kCmdProgram))) return false;
  return WaitReady();
}

bool TokenDevice::ReadChunk(uint8_t block, uint8_t offset, uint8_t command, uint8_t* out, unsigned n) {
  if (n == 0 || n > kChunkSize || !ok()) return false;
  if (command != kCmdReadIdentity && command != kCmdReadUserFlash) return false;
  const uint8_t address[2] = {block, offset};
  if (!WriteRegister(kRegAddress, sizeof(address), address)) return false;
  if (!Command(static_cast<uint8_t>((n - 1) * 16 + command))) return false;
  if (!WaitReady()) return false;
  uint8_t data[kChunkSize];
  if (!ReadRegister(kRegReadData, kChunkSize, data)) return false;
  std::memcpy(out, data, n);
  return true;
}

bool TokenDevice::ProgramLinear(unsigned address, const uint8_t* data, unsigned length) {
  while (length > 0) {
    const unsigned offset = address % kBlockSize;
    const unsigned n = std::min<unsigned>({kChunkSize, kBlockSize - offset, length});
    if (!ProgramChunk(static_cast<uint8_t>(address / kBlockSize), static_cast<uint8_t>(offset), data, n)) {
      return false;
    }
    address += n;
    data += n;
    length -= n;
  }
  return true;
}

bool TokenDevice::ReadLinear(unsigned address, uint8_t* out, unsigned length) {
  while (length > 0) {
    const unsigned offset = address % kBlockSize;
    const unsigned n = std::min<unsigned>({kChunkSize, kBlockSize - offset, length});
    if (!ReadChunk(static_cast<uint8_t>(address / kBlockSize), static_cast<uint8_t>(offset), kCmdReadUserFlash, out,
                   n)) {
      return false;
    }
    address += n;
    out += n;
    length -= n;
  }
  return true;
}

bool TokenDevice::ReadFailCounter(uint16_t* value) {
  uint8_t buffer[kRequestSize] = {};
  PutU16(buffer, kCounterRegister);
  PutU16(buffer + 2, kCounterCount);
  if (!Ioctl(kIoctlReadCounter, buffer)) return false;
  *value = static_cast<uint16_t>(buffer[8] | buffer[9] << 8);
  return true;
}

bool TokenDevice::WriteFailCounter(uint16_t value) {
  uint8_t buffer[kRequestSize] = {};
  PutU16(buffer, kCounterRegister);
  PutU16(buffer + 2, kCounterCount);
  PutU16(buffer + 8, value);
  return Ioctl(kIoctlWriteCounter, buffer);
}

}  // namespace tavik::tokenio
