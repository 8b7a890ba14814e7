// The only way into the driver: its control device, "\\.\Morvel", opened per request and closed again, so a
// program holding the library never locks other programs out of the device.
#include <chrono>
#include <thread>

#include "interface_private.h"
#include "morvel_ioctl.h"

namespace xp::driver_interface {
namespace {

constexpr char kControlDevice[] = "\\\\.\\Morvel";
// Another program's request holds the device for a moment; real time, since that program is a real process.
constexpr auto kBusyRetry = std::chrono::milliseconds(2);
constexpr auto kBusyLimit = std::chrono::seconds(5);

HANDLE OpenControlDevice() {
  const auto deadline = std::chrono::steady_clock::now() + kBusyLimit;
  for (;;) {
    const HANDLE device =
        CreateFileA(kControlDevice, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device != INVALID_HANDLE_VALUE || GetLastError() != ERROR_DEVICE_ALREADY_ATTACHED ||
        std::chrono::steady_clock::now() >= deadline) {
      return device;
    }
    std::this_thread::sleep_for(kBusyRetry);
  }
}

}  // namespace

BOOL ControlRequest(DWORD code, const void* input, DWORD input_size, void* output, DWORD output_size,
                    DWORD* returned) {
  *returned = 0;
  const HANDLE device = OpenControlDevice();
  if (device == INVALID_HANDLE_VALUE) return FALSE;
  const BOOL done = DeviceIoControl(device, code, const_cast<void*>(input), input_size, output, output_size, returned,
                                    nullptr);
  const DWORD error = GetLastError();
  CloseHandle(device);
  SetLastError(error);
  return done;
}

}  // namespace xp::driver_interface
