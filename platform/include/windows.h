// The one header system code includes for the Win32 API.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winnls.h"
#include "winreg.h"
#include "winsvc.h"
#include "winuser.h"
#include "wingdi.h"
