// The emulated USB token: its firmware and its kernel driver, one state file per token in the machine folder,
// shared by every process of the machine. kernel32 opens it, setupapi lists it, xpmachine and tests manage it.
// Included as "xp/usbtoken.h".
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "windef.h"
#include "winerror.h"
#include "xp/handles.h"

namespace xp::usbtoken {

// The device-interface class that the token's driver registers.
inline constexpr GUID kInterfaceClass = {0x00873FDF, 0x61A8, 0x11D1, {0xAA, 0x5E, 0x00, 0xC0, 0x4F, 0xB1, 0x72, 0x8B}};

// The driver's control codes; each carries one request buffer of kRequestSize bytes each way.
inline constexpr DWORD kReadRegister = 0x220000;
inline constexpr DWORD kWriteRegister = 0x220004;
inline constexpr DWORD kReadCounter = 0x220008;
inline constexpr DWORD kWriteCounter = 0x22000C;
inline constexpr DWORD kRequestSize = 20;

inline constexpr size_t kFlashSize = 16384;  // 32 pages of 512 bytes, 256 blocks of 64 bytes
inline constexpr size_t kPasswordBlockSize = 64;

// Opens the plugged token whose interface path this is (compared case-insensitively), in the machine that
// XPMACHINE names; nullptr and *error set when no token is plugged there or the open fails by injection.
std::shared_ptr<xp::DeviceFile> OpenInterface(const std::string& device_path, DWORD* error);

// Creates a token from a seed, plugged in, and returns its id ("token1", "token2", ... in creation order).
// The seed fixes the serial number (8 digits), the challenge, the key slots and the key-byte map. The machine's
// first token comes with its driver file installed (InstallDriverFile). Throws std::runtime_error when the machine
// folder cannot be written.
std::string Provision(const std::filesystem::path& machine, uint64_t seed);
// The same with a chosen identity text in place of the seeded serial number; std::invalid_argument when it
// has more than 20 characters or holds a NUL or 0xFF.
std::string Provision(const std::filesystem::path& machine, uint64_t seed, const std::string& esn);

// Plugging resets the token's volatile state; unplugging fails every open handle's later requests with
// ERROR_DEVICE_NOT_CONNECTED (also after a new plug) and hides the interface. False when there is no such token.
bool Plug(const std::filesystem::path& machine, const std::string& id);
bool Unplug(const std::filesystem::path& machine, const std::string& id);

// The Plug and Play manager's look at a plug: true, once, for each plug (and the provisioning) of token `id` since
// the last look.
bool TakeArrival(const std::filesystem::path& machine, const std::string& id);

// The token's driver (its service name), its file on the machine, and the file's bytes: a small image that carries a
// version record (the VS_FIXEDFILEINFO of a version resource, file version 1.0.0.1). A plugged token's device works
// only while the file is installed. InstallDriverFile writes it onto drive C of the machine (nothing on a machine
// without one).
inline constexpr char kDriverService[] = "nubousb";
inline constexpr char kDriverFileName[] = "nubousb.sys";
inline constexpr char kDriverFilePath[] = "C:\\WINDOWS\\system32\\drivers\\nubousb.sys";
std::string DriverFileImage();
void InstallDriverFile(const std::filesystem::path& machine);

// "\\?\usb#vid_7a5c&pid_0c01#<id>#{00873fdf-61a8-11d1-aa5e-00c04fb1728b}", the path setupapi gives for a token.
std::string InterfacePath(const std::string& id);

struct TokenInfo {
  std::string id;
  bool plugged;
  std::string interface_path;
  std::string esn;             // identity text up to its first NUL or 0xFF, at most 8 characters
};
// Every token of the machine, plugged or not, in creation order.
std::vector<TokenInfo> List(const std::filesystem::path& machine);

// A readable dump of one token (identity, password block, counter, status, used pages, faults); empty when there
// is no such token.
std::string Describe(const std::filesystem::path& machine, const std::string& id);

struct Snapshot {
  std::array<uint8_t, kFlashSize> flash;  // page 0 included: key slots at 0-255, key-byte map at 256-511
  std::array<uint8_t, kPasswordBlockSize> password_block;
  uint16_t counter;
  bool plugged;
  bool accepted;       // status bit 1
  uint8_t status;      // what a status read returns now, faults aside
  uint8_t selected_slot;
  std::array<uint8_t, 16> loaded;  // the 16 bytes loaded for the next key preparation
  uint64_t seed;
  // The key under which provisioning encrypted the password copy at identity bytes 41-104 (64 NUL bytes:
  // the empty password), for a caller of the encrypted-password reset.
  std::array<uint8_t, 16> password_copy_key;
};
std::optional<Snapshot> Inspect(const std::filesystem::path& machine, const std::string& id);

bool SetCounter(const std::filesystem::path& machine, const std::string& id, uint16_t counter);

// What the token answers to its challenge operation (key slot, 16 selector bytes, 16-byte block; tokenio's
// SolvePuzzle), worked out from its provisioned secrets whether or not it is plugged: how its maker checks an
// answer. nullopt for no such token or a slot outside 0..15.
std::optional<std::array<uint8_t, 16>> TokenAnswer(const std::filesystem::path& machine, const std::string& id,
                                                   int slot, const std::array<uint8_t, 16>& selector,
                                                   const std::array<uint8_t, 16>& block);

// One request as the driver saw it. data: the bytes written, or the bytes returned by a read (none when it
// failed); for the counter requests the counter as 2 little-endian bytes (read) or the 4 bytes sent (write).
struct Request {
  DWORD code;
  uint16_t reg;
  uint16_t count;
  std::vector<uint8_t> data;
  DWORD result;  // 0, or the Win32 error DeviceIoControl reported
  bool operator==(const Request&) const = default;
};
// The token's request log (always kept: one short line per request in <token>/requests.log).
std::vector<Request> RequestLog(const std::filesystem::path& machine, const std::string& id);
bool ClearRequestLog(const std::filesystem::path& machine, const std::string& id);

// Fault injection. Faults live in the token's state, so they act on every process; counts start when set.
inline constexpr int32_t kAlways = -1;

// Fails matching requests: after `skip` matching requests have passed, the next `times` (kAlways: every one) fail
// with `error` and have no effect. Empty filters match every request.
struct RequestFault {
  std::optional<DWORD> code;
  std::optional<uint16_t> reg;  // register requests only
  uint32_t skip = 0;
  int32_t times = 1;
  DWORD error = ERROR_GEN_FAILURE;

  // Request number n (1-based) from now, whatever it is.
  static RequestFault Nth(uint32_t n);
  // Every request to one register, or of one control code.
  static RequestFault Register(uint16_t reg);
  static RequestFault Code(DWORD code);
  // The next status read (register 0x31), or the next counter read.
  static RequestFault StatusRead();
  static RequestFault CounterRead();
};
bool AddRequestFault(const std::filesystem::path& machine, const std::string& id, const RequestFault& fault);

// Status reads show bit 0 (ready) clear for the next `reads` reads; kAlways: never ready.
bool SetStatusNotReady(const std::filesystem::path& machine, const std::string& id, int32_t reads);
// The AES engine's key-ready bit (1) or done bit (0) shows only after `polls` reads of register 0x20 that
// follow the command; kAlways: never.
bool SetAesKeyReadyDelay(const std::filesystem::path& machine, const std::string& id, int32_t polls);
bool SetAesDoneDelay(const std::filesystem::path& machine, const std::string& id, int32_t polls);
// The next `times` opens (kAlways: all) or closes fail with `error`.
bool FailOpens(const std::filesystem::path& machine, const std::string& id, int32_t times,
               DWORD error = ERROR_GEN_FAILURE);
bool FailCloses(const std::filesystem::path& machine, const std::string& id, int32_t times,
                DWORD error = ERROR_GEN_FAILURE);
// The token is unplugged right after request number n (1-based) from now has been answered; 0 cancels.
bool UnplugAfter(const std::filesystem::path& machine, const std::string& id, uint32_t n);
// Real flash: programming can only clear bits (new = old AND data) until the page is erased again.
bool SetStrictFlash(const std::filesystem::path& machine, const std::string& id, bool strict);
// Removes every fault and strict flash.
bool ClearFaults(const std::filesystem::path& machine, const std::string& id);

}  // namespace xp::usbtoken
