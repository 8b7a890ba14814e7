// The system's message table, as far as the stand-ins give codes: XP's English texts, each ending in CR LF as the
// message compiler leaves them. SetupAPI's own codes (0xE0000000 and up) are not in XP's table.
#include <map>

#include "kernel32_private.h"

namespace xp::kernel32 {

const char* SystemMessage(DWORD code) {
  static const std::map<DWORD, const char*> kTexts = {
      {0, "The operation completed successfully.\r\n"},
      {1, "Incorrect function.\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {3, "The system cannot find the path specified.\r\n"},
      {5, "Access is denied.\r\n"},
      {6, "The handle is invalid.\r\n"},
      {8, "Not enough storage is available to process this command.\r\n"},
      {11, "An attempt was made to load a program with an incorrect format.\r\n"},
      {13, "The data is invalid.\r\n"},
      {14, "Not enough storage is available to complete this operation.\r\n"},
      {15, "The system cannot find the drive specified.\r\n"},
      {17, "The system cannot move the file to a different disk drive.\r\n"},
      {18, "There are no more files.\r\n"},
      {19, "The media is write protected.\r\n"},
      {21, "The device is not ready.\r\n"},
      {22, "The device does not recognize the command.\r\n"},
      {24, "The program issued a command but the command length is incorrect.\r\n"},
      {29, "The system cannot write to the specified device.\r\n"},
      {30, "The system cannot read from the specified device.\r\n"},
      {31, "A device attached to the system is not functioning.\r\n"},
      {32, "The process cannot access the file because it is being used by another process.\r\n"},
      {38, "Reached the end of the file.\r\n"},
      {50, "The request is not supported.\r\n"},
      {80, "The file exists.\r\n"},
      {87, "The parameter is incorrect.\r\n"},
      {111, "The file name is too long.\r\n"},
      {112, "There is not enough space on the disk.\r\n"},
      {120, "This function is not supported on this system.\r\n"},
      {122, "The data area passed to a system call is too small.\r\n"},
      {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
      {126, "The specified module could not be found.\r\n"},
      {127, "The specified procedure could not be found.\r\n"},
      {131, "An attempt was made to move the file pointer before the beginning of the file.\r\n"},
      {145, "The directory is not empty.\r\n"},
      {161, "The specified path is invalid.\r\n"},
      {183, "Cannot create a file when that file already exists.\r\n"},
      {193, "%1 is not a valid Win32 application.\r\n"},
      {206, "The filename or extension is too long.\r\n"},
      {234, "More data is available.\r\n"},
      {258, "The wait operation timed out.\r\n"},
      {259, "No more data is available.\r\n"},
      {267, "The directory name is invalid.\r\n"},
      {288, "Attempt to release mutex not owned by caller.\r\n"},
      {299, "Only part of a ReadProcessMemory or WriteProcessMemory request was completed.\r\n"},
      {317, "The system cannot find message text for message number 0x%1 in the message file for %2.\r\n"},
      {548, "An attempt was made to attach to a device that was already attached to another device.\r\n"},
      {995, "The I/O operation has been aborted because of either a thread exit or an application request.\r\n"},
      {998, "Invalid access to memory location.\r\n"},
      {1005,
       "The volume does not contain a recognized file system.\r\nPlease make sure that all required file "
       "system drivers are loaded and that the volume is not corrupted.\r\n"},
      {1016,
       "An I/O operation initiated by the registry failed unrecoverably. The registry could not read in, or "
       "write out, or flush, one of the files that contain the system's image of the registry.\r\n"},
      {1018, "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
      {1052, "The requested control is not valid for this service.\r\n"},
      {1056, "An instance of the service is already running.\r\n"},
      {1058,
       "The service cannot be started, either because it is disabled or because it has no enabled devices "
       "associated with it.\r\n"},
      {1060, "The specified service does not exist as an installed service.\r\n"},
      {1062, "The service has not been started.\r\n"},
      {1065, "The database specified does not exist.\r\n"},
      {1072, "The specified service has been marked for deletion.\r\n"},
      {1073, "The specified service already exists.\r\n"},
      {1114, "A dynamic link library (DLL) initialization routine failed.\r\n"},
      {1117, "The request could not be performed because of an I/O device error.\r\n"},
      {1167, "The device is not connected.\r\n"},
      {1168, "Element not found.\r\n"},
      {1300, "Not all privileges referenced are assigned to the caller.\r\n"},
      {1313, "A specified privilege does not exist.\r\n"},
      {1314, "A required privilege is not held by the client.\r\n"},
      {1317, "The specified user does not exist.\r\n"},
      {1326, "Logon failure: unknown user name or bad password.\r\n"},
      {1332, "No mapping between account names and security IDs was done.\r\n"},
      {1337, "The security ID structure is invalid.\r\n"},
      {1400, "Invalid window handle.\r\n"},
      {1421, "Control ID not found.\r\n"},
      {1450, "Insufficient system resources exist to complete the requested service.\r\n"},
      {1784, "The supplied user buffer is not valid for the requested operation.\r\n"},
      {1814, "The specified resource name cannot be found in the image file.\r\n"},
  };
  const auto found = kTexts.find(code);
  return found == kTexts.end() ? nullptr : found->second;
}

}  // namespace xp::kernel32
