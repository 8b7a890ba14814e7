// The events of WM_DEVICECHANGE.
#pragma once

// A device was added to or removed from the device tree; lParam is 0.
#define DBT_DEVNODES_CHANGED 0x0007
