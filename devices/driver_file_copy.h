// The copy every step makes into a device's folder, and how it reports a
// failure.
#pragma once

#include "platform.h"

#include <string>

// Copies, overwriting an existing target. The names put into the target path
// come from data (a service name, an image path, an INF entry); when one of
// them is not a plain name the copy is refused as the system refuses a bad
// name, ERROR_INVALID_NAME, so nothing is ever written outside the driver
// folders. False with the error in *pdwError.
bool CopyDriverFile(const std::wstring& strSource, const std::wstring& strTarget, bool bTargetNamesArePlain,
                    DWORD* pdwError);

// Logs the two failure lines: the format naming the source, then
// "Reason: %s" with the system's text for the error.
void LogCopyFailure(const wchar_t* pszWhatFailed, const std::wstring& strSource, DWORD dwError);

// CopyDriverFile, and on failure the two failure lines.
bool CopyDriverFileOrLog(const std::wstring& strSource, const std::wstring& strTarget, bool bTargetNamesArePlain,
                         const wchar_t* pszWhatFailed);
