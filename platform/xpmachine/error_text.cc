// The texts XP gives for the Win32 errors the machine's file calls report, as its own tools print them.
#include "commands.h"

#include <utility>

namespace xp::xpmachine {
namespace {

constexpr std::pair<unsigned, const char*> kTexts[] = {
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {15, "The system cannot find the drive specified."},
    {21, "The device is not ready."},
    {32, "The process cannot access the file because it is being used by another process."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {161, "The specified path is invalid."},
    {170, "The requested resource is in use."},
    {206, "The filename or extension is too long."},
    {1117, "The request could not be performed because of an I/O device error."},
};

}  // namespace

std::string WindowsErrorText(unsigned error) {
  for (const auto& [code, text] : kTexts) {
    if (code == error) return std::string(text) + " (" + std::to_string(error) + ")";
  }
  return "Windows error " + std::to_string(error);
}

}  // namespace xp::xpmachine
