// Small questions to the running Windows.
#pragma once

// True when this 32-bit process runs under WOW64 (on 64-bit Windows). Logs
// its own failures.
bool IsWow64();

// True on Windows Vista and later (major version 6 or more). Never logs.
bool IsVistaOrLater();
