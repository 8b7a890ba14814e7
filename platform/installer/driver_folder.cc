// The token's driver folder the installer leaves beside the programs, for Install.exe: the INF, whose section
// "TOKENIO.Dev" copies the driver file to the system's drivers folder, and the driver file itself.
#include "installer_private.h"
#include "xp/usbtoken.h"

namespace xp::installer {
namespace {

constexpr char kInf[] =
    "; nubousb.inf: the driver of the USB authentication token\r\n"
    "\r\n"
    "[Version]\r\n"
    "Signature=\"$CHICAGO$\"\r\n"
    "Class=USB\r\n"
    "ClassGUID={36FC9E60-C465-11CF-8056-444553540000}\r\n"
    "Provider=%Maker%\r\n"
    "DriverVer=01/15/2004,1.0.0.1\r\n"
    "\r\n"
    "[SourceDisksNames]\r\n"
    "1=%DiskName%,,,\r\n"
    "\r\n"
    "[SourceDisksFiles]\r\n"
    "nubousb.sys=1\r\n"
    "\r\n"
    "[DestinationDirs]\r\n"
    "DefaultDestDir=12\r\n"
    "TOKENIO.Files=12\r\n"
    "\r\n"
    "[Manufacturer]\r\n"
    "%Maker%=Models\r\n"
    "\r\n"
    "[Models]\r\n"
    "%DeviceDesc%=TOKENIO.Dev,USB\\VID_7A5C&PID_0C01\r\n"
    "\r\n"
    "[TOKENIO.Dev]\r\n"
    "CopyFiles=TOKENIO.Files\r\n"
    "\r\n"
    "[TOKENIO.Files]\r\n"
    "nubousb.sys\r\n"
    "\r\n"
    "[Strings]\r\n"
    "Maker=\"Quillmarsh\"\r\n"
    "DiskName=\"Quillmarsh Tavik token driver disk\"\r\n"
    "DeviceDesc=\"USB authentication token\"\r\n";

}  // namespace

bool WriteDriverFolder() {
  const std::string folder = std::string(kDriverFolder) + "\\";
  return MakeFolders(kDriverFolder) && WriteMachineFile(folder + kDriverInf, kInf) &&
         WriteMachineFile(folder + usbtoken::kDriverFileName, usbtoken::DriverFileImage());
}

}  // namespace xp::installer
