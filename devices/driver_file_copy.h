// The copy every step makes into a device's folder, and how it reports a
// failure.
#pragma once

#include "devices/device_folder.h"
#include "platform.h"

#include <string>

// Copies, overwriting an existing target. A target that is not confined to
// its device's folder is refused as the system refuses a bad name,
// ERROR_INVALID_NAME, so nothing is ever written outside the driver folders.
// False with the error in *pdwError.
bool CopyDriverFile(const std::wstring& strSource, const CDeviceFileTarget& target, DWORD* pdwError);

// Logs the two failure lines: the format naming the source, then
// "Reason: %s" with the system's text for the error.
void LogCopyFailure(const wchar_t* pszWhatFailed, const std::wstring& strSource, DWORD dwError);

// CopyDriverFile, and on failure the two failure lines.
bool CopyDriverFileOrLog(const std::wstring& strSource, const CDeviceFileTarget& target,
                         const wchar_t* pszWhatFailed);
