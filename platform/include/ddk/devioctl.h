// Device types and control-code construction, as kernel code sees them: io_codes.h, which user mode shares.
#pragma once

#include "io_codes.h"
