// Declarations shared inside interface, grouped by the file that defines them.
#pragma once

#include "windows.h"

namespace xp::driver_interface {

// control_channel.cc: one request to the driver's control device, opened for that request alone (the device
// takes one handle at a time; while another program holds it, the open is tried again for a while). TRUE when
// the request succeeded; *returned is the reply's length.
BOOL ControlRequest(DWORD code, const void* input, DWORD input_size, void* output, DWORD output_size,
                    DWORD* returned);

}  // namespace xp::driver_interface
