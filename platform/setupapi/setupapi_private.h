// Declarations shared by the files of the SetupAPI stand-in.
#pragma once

#include <optional>
#include <string>

#include "setupapi.h"

namespace xp::setupapi {

// Sets the last error and returns FALSE; Succeed sets ERROR_SUCCESS and returns TRUE, as SetupAPI's calls do.
BOOL Fail(DWORD error);
BOOL Succeed();

// "{4D36E97D-E325-11CE-BFC1-08002BE10318}" into *guid; false (and *guid untouched) for other text.
bool ParseGuid(const std::string& text, GUID* guid);

// The injected failure of `function` (a machine-wide fault point named after it), if one fires now.
std::optional<DWORD> FaultOf(const char* function);

}  // namespace xp::setupapi
