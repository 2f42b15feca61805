// The system's text for a Win32 error code, its trailing line break
// included; empty when the system has no text for the code.
#pragma once

#include "platform.h"

#include <string>

std::wstring FormatSystemError(DWORD dwError);
