// Small questions to the running Windows.
#pragma once

#include "platform.h"

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

// The system's IsWow64Process, looked up by name at run time, since older
// Windows lacks it; null when it is missing.
IsWow64ProcessFn LookUpIsWow64Process();

// True when this 32-bit process runs under WOW64 (on 64-bit Windows). Logs
// its own failures.
bool IsWow64();

// True on Windows Vista and later (major version 6 or more). Never logs.
bool IsVistaOrLater();
