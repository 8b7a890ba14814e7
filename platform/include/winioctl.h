// Device control codes and the file-system controls for user mode: ddk/io_codes.h's, shared with kernel code.
#pragma once

#include "ddk/io_codes.h"
#include "windef.h"
