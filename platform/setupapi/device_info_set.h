// The device information sets that SetupDiGetClassDevsA hands out as HDEVINFO, and the injected failures;
// shared by the files of the SetupAPI stand-in.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "setupapi.h"

namespace xp::setupapi {

// A snapshot taken when the set was made: the present interfaces of one class (index = member index), or, for a
// set of every class, the device instances (index = device index).
struct DeviceInfoSet {
  GUID interface_class;
  std::vector<std::string> paths;
  struct Device {
    std::string instance_id;
    GUID class_guid;
  };
  std::vector<Device> devices;
};

// Registers a new set; its handle is the set's address.
HDEVINFO AddSet(DeviceInfoSet set);
// The set behind a handle; nullptr for anything that is not a live set.
std::shared_ptr<const DeviceInfoSet> FindSet(HDEVINFO handle);
bool DestroySet(HDEVINFO handle);

// device_list.cc: SetupDiGetClassDevsA's set of every device of the database, or of the present ones.
HDEVINFO AllDevices(bool present_only);

// The injected failures; 0 where none is set.
DWORD ClassDevsFailure();
DWORD EnumFailure(DWORD index);
DWORD DetailFailure(DWORD index);

}  // namespace xp::setupapi
